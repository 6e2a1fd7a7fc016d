#!/usr/bin/env bash
# Signs a copy of setup.exe, as a packager would, with a certificate made
# here, and checks that the signature verifies; the release-copy tests then
# run that copy.
# Usage: sign_copy.sh SETUP_EXE SOURCE_DIR WORK_DIR
set -euo pipefail
setup=$1 source=$2 work=$3
rm -rf "$work" && mkdir -p "$work" && cd "$work" && cp "$setup" setup.exe
export SETUP_SIGN_PASSWORD=tarnvel-test
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Tarnvel test" -keyout key.pem \
  -out cert.pem 2>/dev/null
openssl pkcs12 -export -inkey key.pem -in cert.pem -out signer.p12 -passout env:SETUP_SIGN_PASSWORD
cmake -DSETUP_EXE="$work/setup.exe" -DSETUP_SIGN_PKCS12="$work/signer.p12" -P "$source/cmake/sign.cmake"
osslsigncode verify -CAfile cert.pem -in setup.exe >verify.log 2>&1 ||
  { cat verify.log; echo "sign_copy: no valid signature" >&2; exit 1; }
