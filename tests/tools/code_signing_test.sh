#!/usr/bin/env bash
# Stamping a code-signed program: signed once with osslsigncode and
# -addUnauthenticatedBlob (a throwaway code-signing certificate made here),
# stamped with tools/stamp-host into several copies that each still verify
# and each report their own host when run under Wine (hostreport.exe reads
# it as the setup program does); the keyed, signed and stamped QXTSetup.exe.
#   code_signing_test.sh SOURCE_DIR BUILD_DIR
set -euo pipefail

source_dir=$1
build=$2
tools=$source_dir/tools
wine_run=$source_dir/scripts/wine-run
resource=$(dirname "$0")/pe_resource.py
work=$(mktemp -d /tmp/qxt-codesign.XXXXXX)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
python=/usr/bin/python3

openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/cs.key" -out "$work/cs.crt" -days 2 \
  -subj "/CN=QXT test publisher" -addext extendedKeyUsage=codeSigning 2>/dev/null
sign() {  # sign IN OUT [osslsigncode options]
  local in=$1 out=$2
  shift 2
  rm -f "$out"  # osslsigncode writes no file that exists
  osslsigncode sign -certs "$work/cs.crt" -key "$work/cs.key" -n "QXTSetup" "$@" -in "$in" -out "$out" >/dev/null
}
# verified EXE: osslsigncode finds the signature good and the image checksum right.
verified() {
  local out
  out=$(osslsigncode verify -in "$1" -CAfile "$work/cs.crt" 2>&1) || { echo "$out" >&2; return 1; }
  grep -q '^Signature verification: ok' <<<"$out" && ! grep -qi 'invalid PE checksum' <<<"$out" ||
    { echo "$out" >&2; return 1; }
}
# reports EXE "expected report": what the program reads in itself at run time.
reports() {
  local got
  rm -f "$work/report"
  "$wine_run" "$1" "Z:${work//\//\\}\\report" >/dev/null 2>&1 || true
  got=$(iconv -f UTF-16LE -t UTF-8 "$work/report" 2>/dev/null | tr '\n' ' ')
  [ "$got" = "$2" ] || fail "$(basename "$1") reported '$got', expected '$2'"
}

# The marker that the stamper writes and the program looks for must be
# nowhere in the program's image, or the search would find the wrong one.
for exe in "$build/QXTSetup.exe" "$build/i686/QXTSetup.exe" "$build/helpers/hostreport.exe"; do
  [ -f "$exe" ] || continue
  grep -q -a 'QXT-SERVER-HOST=' "$exe" && fail "$exe holds the host marker's text"
done

# ---- one signing, several stamped copies --------------------------------
sign "$build/helpers/hostreport.exe" "$work/signed.exe" -addUnauthenticatedBlob
verified "$work/signed.exe" || fail "the freshly signed program does not verify"
reports "$work/signed.exe" "0 dl.quolix.cn"

hosts=(127.0.0.1:8080 mirror.example.org "https://localhost:8443" "$(printf 'h%.0s' $(seq 259))")
for i in "${!hosts[@]}"; do
  "$tools/stamp-host" "$work/signed.exe" "${hosts[$i]}" -o "$work/copy$i.exe" || fail "stamp-host refused ${hosts[$i]}"
done
cmp -s "$work/signed.exe" "$build/helpers/hostreport.exe" && fail "nothing was signed"
for i in "${!hosts[@]}"; do
  copy=$work/copy$i.exe
  [ "$(stat -c %s "$copy")" = "$(stat -c %s "$work/signed.exe")" ] || fail "copy$i: stamping changed the size"
  verified "$copy" || fail "copy$i (${hosts[$i]}) does not verify after stamping"
  reports "$copy" "2 ${hosts[$i]}"
done
# Only bytes inside the signature's certificate table (and the image checksum) changed.
"$python" - "$work/signed.exe" "$work/copy1.exe" <<'PY' || fail "stamping changed bytes outside the certificate table"
import struct, sys
a, b = open(sys.argv[1], "rb").read(), open(sys.argv[2], "rb").read()
pe = struct.unpack_from("<I", a, 0x3C)[0]
checksum = pe + 24 + 64
# The data directories follow the optional header's fixed part: 96 bytes in
# a 32-bit image, 112 in a 64-bit one (the tests' build where the kernel
# runs no 32-bit programs).
directories = pe + 24 + (112 if struct.unpack_from("<H", a, pe + 24)[0] == 0x20B else 96)
table_at, table_size = struct.unpack_from("<II", a, directories + 8 * 4)
changed = [i for i in range(len(a)) if a[i] != b[i]]
assert changed and all(table_at <= i < table_at + table_size or checksum <= i < checksum + 4 for i in changed), changed[:8]
PY

# Stamping a stamped copy again, in place, replaces its host.
cp "$work/copy0.exe" "$work/again.exe"
"$tools/stamp-host" "$work/again.exe" second.example.org || fail "stamp-host refused to restamp"
verified "$work/again.exe" || fail "a restamped copy does not verify"
reports "$work/again.exe" "2 second.example.org"

# Several servers, in the order given, go into the one blob with commas
# between them; restamping with one host leaves nothing of the longer list.
several="127.0.0.1:1,https://localhost:8443,$(printf 'm%.0s' $(seq 200))"
"$tools/stamp-host" "$work/signed.exe" 127.0.0.1:1 https://localhost:8443 "$(printf 'm%.0s' $(seq 200))" \
  -o "$work/several.exe" || fail "stamp-host refused several hosts"
[ "$(stat -c %s "$work/several.exe")" = "$(stat -c %s "$work/signed.exe")" ] || fail "several hosts changed the size"
verified "$work/several.exe" || fail "a copy stamped with several hosts does not verify"
reports "$work/several.exe" "2 $several"
"$tools/stamp-host" "$work/several.exe" one.example || fail "stamp-host refused to restamp several hosts with one"
verified "$work/several.exe" || fail "a copy restamped with one host does not verify"
reports "$work/several.exe" "2 one.example"
# All of them with their commas get the room of one host, and no host holds a comma.
cp "$work/several.exe" "$work/several.before"
"$tools/stamp-host" "$work/several.exe" "$(printf 'a%.0s' $(seq 130))" "$(printf 'b%.0s' $(seq 129))" 2>/dev/null &&
  fail "stamp-host accepted hosts of 260 bytes with their comma"
"$tools/stamp-host" "$work/several.exe" a.example,b.example 2>/dev/null && fail "stamp-host accepted a host with a comma"
"$tools/stamp-host" "$work/several.exe" a.example "" 2>/dev/null && fail "stamp-host accepted an empty second host"
cmp -s "$work/several.exe" "$work/several.before" || fail "stamp-host changed a signed file for refused hosts"

# The old way, a trailer appended after the signature, breaks it; stamping
# such a file moves the host into the signature and cuts the trailer off.
cp "$work/signed.exe" "$work/appended.exe"
printf '$old.example.org' >>"$work/appended.exe"
verified "$work/appended.exe" 2>/dev/null && fail "osslsigncode accepts a trailer after the signature (the test proves nothing)"
"$tools/stamp-host" "$work/appended.exe" new.example.org || fail "stamp-host refused a signed file with a trailer"
[ "$(stat -c %s "$work/appended.exe")" = "$(stat -c %s "$work/signed.exe")" ] || fail "the trailer after the signature was not cut off"
verified "$work/appended.exe" || fail "a signed file with a trailer does not verify after stamping"
reports "$work/appended.exe" "2 new.example.org"

# A signature without the blob has no room for a host: refused, file kept.
sign "$build/helpers/hostreport.exe" "$work/noblob.exe"
cp "$work/noblob.exe" "$work/noblob.before"
"$tools/stamp-host" "$work/noblob.exe" h.example 2>"$work/err" && fail "stamp-host stamped a signature without a blob"
grep -q -- '-addUnauthenticatedBlob' "$work/err" || fail "the refusal does not say how to sign: $(cat "$work/err")"
cmp -s "$work/noblob.exe" "$work/noblob.before" || fail "stamp-host changed a signed file without a blob"
# Unstamped it keeps the default host. A signed program reads no trailer: its
# last bytes are the signature's (this one may hold a "$" anywhere).
reports "$work/noblob.exe" "0 dl.quolix.cn"
printf '$trailer.example' >>"$work/noblob.before"
reports "$work/noblob.before" "0 dl.quolix.cn"

# Bad hosts are refused for signed files as for unsigned ones.
cp "$work/copy0.exe" "$work/before.exe"
for host in "$(printf 'h%.0s' $(seq 260))" "two words" "" "https://host/path" "ftp://host" "$(printf 'caf\xc3\xa9')"; do
  "$tools/stamp-host" "$work/copy0.exe" "$host" 2>/dev/null && fail "stamp-host accepted host '$host' for a signed file"
done
cmp -s "$work/copy0.exe" "$work/before.exe" || fail "stamp-host changed a signed file for a refused host"

# Other data after the signature is never cut off.
cp "$work/signed.exe" "$work/overlay.exe"
printf 'PK\003\004 archive data' >>"$work/overlay.exe"
"$tools/stamp-host" "$work/overlay.exe" h 2>/dev/null && fail "stamp-host cut off data after a signature"

# ---- the publisher's program: keyed, signed, stamped --------------------
"$tools/make-keys" "$work/keys" >/dev/null
for exe in "$build/QXTSetup.exe" "$build/i686/QXTSetup.exe"; do
  [ -f "$exe" ] || continue
  "$tools/set-key" "$exe" "$work/keys/publisher.pub" -o "$work/keyed.exe" || { fail "set-key refused $exe"; continue; }
  sign "$work/keyed.exe" "$work/keyed-signed.exe" -addUnauthenticatedBlob
  "$tools/stamp-host" "$work/keyed-signed.exe" https://localhost:8443 -o "$work/setup.exe" || fail "stamp-host refused $exe"
  verified "$work/setup.exe" || fail "$exe: keyed, signed and stamped, it does not verify"
  [ "$("$python" "$resource" "$work/setup.exe" 10 PUBLISHERKEY)" = "$("$python" "$resource" "$work/keyed.exe" 10 PUBLISHERKEY)" ] ||
    fail "$exe: the key slot changed on the way"
done

if [ "$failures" -ne 0 ]; then
  echo "$failures failure(s)" >&2
  exit 1
fi
echo "PASS"
