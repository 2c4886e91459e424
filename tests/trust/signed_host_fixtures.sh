#!/usr/bin/env bash
# Code-signed programs for ServerHostTest.cpp, made on the Linux side (a
# throwaway code-signing certificate, osslsigncode, tools/stamp-host) into
# BUILD/fixtures/signed-host/:
#   signed.exe          hostreport.exe signed with an unauthenticated blob, not stamped
#   stamped.exe         the same, stamped mirror.example.org:8443
#   stamped-https.exe   the same, stamped https://localhost:8443
#   noblob.exe          hostreport.exe signed without a blob
#   setup-stamped.exe   QXTSetup.exe signed with a blob and stamped setup.example.org
#   signed_host_fixtures.sh SOURCE_DIR BUILD_DIR
set -euo pipefail

tools=$1/tools
build=$2
out=$build/fixtures/signed-host
rm -rf "$out"
mkdir -p "$out"
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$out/cs.key" -out "$out/cs.crt" -days 2 \
  -subj "/CN=QXT test publisher" -addext extendedKeyUsage=codeSigning 2>/dev/null
sign() {
  local in=$1 to=$2
  shift 2
  osslsigncode sign -certs "$out/cs.crt" -key "$out/cs.key" "$@" -in "$in" -out "$to" >/dev/null
}
sign "$build/helpers/hostreport.exe" "$out/signed.exe" -addUnauthenticatedBlob
sign "$build/helpers/hostreport.exe" "$out/noblob.exe"
"$tools/stamp-host" "$out/signed.exe" mirror.example.org:8443 -o "$out/stamped.exe"
"$tools/stamp-host" "$out/signed.exe" https://localhost:8443 -o "$out/stamped-https.exe"
sign "$build/QXTSetup.exe" "$out/setup-signed.exe" -addUnauthenticatedBlob
"$tools/stamp-host" "$out/setup-signed.exe" setup.example.org -o "$out/setup-stamped.exe"
