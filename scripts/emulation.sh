# 32-bit programs (the 32-bit half of Wine) where the kernel runs none: qemu-user
# runs them, registered through binfmt_misc. Shared by scripts/bootstrap.sh,
# which installs the emulator, and the Wine rig, which registers it. Source it.
#   TARNVEL_EMULATE_I386=1   take the emulated path even where the kernel runs
#                            32-bit programs itself (a binfmt_misc entry takes
#                            precedence over the kernel's own loader)

TARNVEL_QEMU=/usr/bin/qemu-i386
TARNVEL_BINFMT_DIR=/proc/sys/fs/binfmt_misc
TARNVEL_BINFMT_ENTRY=$TARNVEL_BINFMT_DIR/tarnvel-i386

tarnvel_as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

tarnvel_emulation_forced() { [ "${TARNVEL_EMULATE_I386:-}" = 1 ]; }

# Runs a 96-byte i386 program that only exits with 7.
tarnvel_probe_i386() {
  local probe rc=0
  probe=$(mktemp)
  printf '\177ELF\1\1\1\0\0\0\0\0\0\0\0\0\2\0\3\0\1\0\0\0\124\200\4\10\64\0\0\0\0\0\0\0\0\0\0\0\64\0\40\0\1\0\0\0\0\0\0\0' >"$probe"
  printf '\1\0\0\0\0\0\0\0\0\200\4\10\0\200\4\10\140\0\0\0\140\0\0\0\5\0\0\0\0\20\0\0' >>"$probe"
  printf '\270\1\0\0\0\273\7\0\0\0\315\200' >>"$probe" # mov eax,1; mov ebx,7; int 0x80
  chmod +x "$probe"
  "$probe" 2>/dev/null || rc=$?
  rm -f "$probe"
  [ "$rc" = 7 ]
}

# Whether the kernel itself runs 32-bit programs. Our own entry, when there is
# one, is switched off for the probe, or it would answer for the kernel.
tarnvel_kernel_runs_i386() {
  local rc=0
  if [ -e "$TARNVEL_BINFMT_ENTRY" ] && [ "$(head -n 1 "$TARNVEL_BINFMT_ENTRY")" = enabled ]; then
    echo 0 | tarnvel_as_root tee "$TARNVEL_BINFMT_ENTRY" >/dev/null
    tarnvel_probe_i386 || rc=$?
    echo 1 | tarnvel_as_root tee "$TARNVEL_BINFMT_ENTRY" >/dev/null
    return $rc
  fi
  tarnvel_probe_i386
}

# The Debian archive this machine already uses for its own release, from its
# apt sources (Deb822 .sources files, then one-line .list files): "URI
# [keyring]". Nothing when there is none.
tarnvel_release_archive() {
  local codename
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
  [ -n "$codename" ] || return 1
  {
    local f
    for f in /etc/apt/sources.list.d/*.sources; do
      [ -f "$f" ] || continue
      awk -v suite="$codename" '
        function flush() {
          if (types ~ /(^| )deb( |$)/ && (" " suites " ") ~ (" " suite " ") && enabled != "no" && uri != "")
            print uri, keyring
          types = suites = uri = keyring = enabled = ""
        }
        /^[ \t]*$/ { flush(); next }
        /^#/ { next }
        { key = tolower($1); sub(/:$/, "", key); $1 = ""; sub(/^ +/, "") }
        key == "types" { types = $0 }
        key == "suites" { suites = $0 }
        key == "uris" { split($0, u, " "); uri = u[1] }
        key == "signed-by" { keyring = $0 }
        key == "enabled" { enabled = tolower($0) }
        END { flush() }' "$f"
    done
    cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null |
      awk -v suite="$codename" '
        $1 != "deb" { next }
        { keyring = ""; i = 2 }
        $2 ~ /^\[/ {
          while (i <= NF) {
            if (match($i, /signed-by=[^] ]+/)) keyring = substr($i, RSTART + 10, RLENGTH - 10)
            if ($i ~ /\]$/) { i++; break }
            i++
          }
        }
        $(i + 1) == suite { print $i, keyring }'
  } | head -n 1
}

# Installs qemu-user from the backports suite of the machine's own release
# (Debian 12's own qemu 7.2 takes about a minute per Windows process, 10
# about a quarter second). Falls back to the release's own qemu-user, with a
# warning, when backports cannot be reached.
tarnvel_install_qemu() {
  local version codename archive uri keyring list=/etc/apt/sources.list.d/tarnvel-backports.sources
  version=$(dpkg-query -W -f='${Version}' qemu-user 2>/dev/null || true)
  if [ -n "$version" ] && dpkg --compare-versions "$version" ge 1:9.1; then
    return 0
  fi
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
  archive=$(tarnvel_release_archive || true)
  if [ -n "$archive" ]; then
    read -r uri keyring <<<"$archive"
    if [ ! -f "$list" ]; then
      echo "bootstrap: adding ${codename}-backports from $uri"
      {
        echo "Types: deb"
        echo "URIs: $uri"
        echo "Suites: ${codename}-backports"
        echo "Components: main"
        [ -n "$keyring" ] && echo "Signed-By: $keyring"
      } | tarnvel_as_root tee "$list" >/dev/null
    fi
    tarnvel_as_root apt-get update -qq || true
    if tarnvel_as_root apt-get install -y -qq --no-install-recommends \
      -t "${codename}-backports" qemu-user >/dev/null; then
      return 0
    fi
    # An unreachable suite would trouble every later apt-get update.
    tarnvel_as_root rm -f "$list"
    tarnvel_as_root apt-get update -qq || true
  fi
  echo "bootstrap: WARNING: ${codename:-this release}-backports cannot be reached; installing the" \
    "release's own qemu-user, under which each Windows process takes about a minute" >&2
  [ -n "$version" ] || tarnvel_as_root apt-get install -y -qq --no-install-recommends qemu-user >/dev/null
}

# Registers qemu-user for i386 programs (flag F: the interpreter is opened
# now, so it works in any mount namespace later). An entry of ours that names
# another interpreter is replaced.
tarnvel_register_qemu() {
  [ -x "$TARNVEL_QEMU" ] || {
    echo "wine-rig: cannot run 32-bit programs and $TARNVEL_QEMU is missing (run scripts/bootstrap.sh)" >&2
    return 1
  }
  [ -e "$TARNVEL_BINFMT_DIR/register" ] ||
    tarnvel_as_root mount -t binfmt_misc binfmt_misc "$TARNVEL_BINFMT_DIR" || return 1
  if [ -e "$TARNVEL_BINFMT_ENTRY" ]; then
    grep -qx "interpreter $TARNVEL_QEMU" "$TARNVEL_BINFMT_ENTRY" && return 0
    echo -1 | tarnvel_as_root tee "$TARNVEL_BINFMT_ENTRY" >/dev/null || return 1
  fi
  printf '%s' ':tarnvel-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:'"$TARNVEL_QEMU"':F' |
    tarnvel_as_root tee "$TARNVEL_BINFMT_DIR/register" >/dev/null || return 1
  if ! "$TARNVEL_QEMU" --version | grep -qE 'version ([1-9][0-9]|9\.[1-9])'; then
    echo "wine-rig: WARNING: $("$TARNVEL_QEMU" --version | head -n 1): each Windows process takes about a minute" >&2
  fi
}

# Drops our entry where the kernel runs 32-bit programs itself and emulation
# is not asked for, so an earlier forced run does not slow this one.
tarnvel_unregister_qemu() {
  [ -e "$TARNVEL_BINFMT_ENTRY" ] || return 0
  echo -1 | tarnvel_as_root tee "$TARNVEL_BINFMT_ENTRY" >/dev/null
}
