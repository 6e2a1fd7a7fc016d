#!/usr/bin/env bash
# A copy of setup.exe signed with a certificate made here verifies, and runs
# silently with no display at all against a present target, which then holds
# the payload and is registered.
# Usage: signed_headless.sh SETUP_EXE PAYLOAD_DIR SOURCE_DIR WORK_DIR
set -euo pipefail
setup=$1 payload=$2 source=$3 work=$4
fail() { echo "signed_headless: $*" >&2; exit 1; }
. "$source/tests/wine/wine-env.sh"
[ -n "${TARNVEL_WINE_SESSION:-}" ] || { trap tarnvel_wine_session_stop EXIT; tarnvel_wine_session_start; }

rm -rf "$work" && mkdir -p "$work" && cd "$work" && cp "$setup" setup.exe
export SETUP_SIGN_PASSWORD=tarnvel-test
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Tarnvel test" -keyout key.pem \
  -out cert.pem 2>/dev/null
openssl pkcs12 -export -inkey key.pem -in cert.pem -out signer.p12 -passout env:SETUP_SIGN_PASSWORD
cmake -DSETUP_EXE="$work/setup.exe" -DSETUP_SIGN_PKCS12="$work/signer.p12" -P "$source/cmake/sign.cmake"
osslsigncode verify -CAfile cert.pem -in setup.exe >verify.log 2>&1 || { cat verify.log; fail "no valid signature"; }

name=MSCOMM32.OCX key='HKCU\Software\Tarnvel\StandIn\Registered' rc=0
{ printf 'MZ'; head -c 4094 /dev/zero; } >"$TARNVEL_SYSDIR_UNIX/$name"
tarnvel_wine64 reg delete "$key" /v $name /f >/dev/null 2>&1 || true
env -u DISPLAY WINEDEBUG=-all timeout "$(tarnvel_deadline_s)" /usr/lib/wine/wine setup.exe /s || rc=$?
[ "$rc" != 124 ] || fail "setup.exe /s without a display still ran after $(tarnvel_deadline_s) s"
[ "$rc" = 0 ] || fail "exit code $rc without a display"
cmp -s "$TARNVEL_SYSDIR_UNIX/$name" "$payload/$name" || fail "$name does not hold the payload"
# The registration runs beside the setup and outlives it: polled until the deadline.
end=$(($(date +%s%3N) + TARNVEL_DEADLINE_MS))
until tarnvel_wine64 reg query "$key" /v $name >/dev/null 2>&1; do
  [ "$(date +%s%3N)" -lt "$end" ] || fail "gave up after $(tarnvel_deadline_s) s waiting for" \
    "$name to be registered; last saw:$(tarnvel_wine64 reg query "$key" 2>&1 | tr -s '\r\n ' ' ')"
  sleep 1
done
