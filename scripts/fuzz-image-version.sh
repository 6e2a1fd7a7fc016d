#!/usr/bin/env bash
# Fuzzes the image version reader with libFuzzer under ASan and UBSan for a
# bounded time; a crash, a sanitizer report or too many reads fails the run and
# leaves the input in build/fuzz/. The seeds are the hand-made images and, when
# the win32 preset has built them, the stand-ins as linked (without the zeros
# that pad them to size, which would only slow each run).
# Usage: scripts/fuzz-image-version.sh [seconds, default 60]
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
out=build/fuzz
mkdir -p "$out/seeds" "$out/corpus"
sources=(tests/fuzz/image_version_fuzz.cpp install/image_version.cpp app/number_text.cpp)
flags=(-std=c++17 -g -O1 -I. -Itests -Wall -Wextra -Werror)
clang++ "${flags[@]}" -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
  "${sources[@]}" -o "$out/image_version_fuzz"
clang++ "${flags[@]}" -DIMAGE_VERSION_SEEDS "${sources[@]}" -o "$out/image_version_seeds"
"$out/image_version_seeds" "$out/seeds"
cp build/win32/payload/standin/linked/* "$out/seeds/" 2>/dev/null || true

# Its progress goes to a log; a failure shows the end of it.
if ! "$out/image_version_fuzz" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
  -artifact_prefix="$out/" "$out/corpus" "$out/seeds" >"$out/fuzz.log" 2>&1; then
  tail -n 60 "$out/fuzz.log"
  echo "fuzz: the image version reader failed; the input is in $out/" >&2
  exit 1
fi
grep -E '^stat::(number_of_executed_units|new_units_added)' "$out/fuzz.log"
