#!/usr/bin/env bash
# The publisher tools: tools/make-manifest and tools/stamp-host. A stamped
# program is run under Wine to show that the setup program reads the host
# back and that the executable still starts.
#   tools_test.sh SOURCE_DIR HOSTREPORT_EXE
set -euo pipefail

tools=$1/tools
wine_run=$1/scripts/wine-run
host_report=$2
work=$(mktemp -d /tmp/qxt-tools.XXXXXX)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# ---- make-manifest -------------------------------------------------------
mkdir "$work/client"
head -c 5000 /dev/urandom >"$work/client/QXTClient.exe"
printf 'codec' >"$work/client/qxtcodec.dll"
printf 'x' >"$work/client/a_b-c.1.ax"
printf 'zz' >"$work/client/Zeta.txt"
expected=$(cd "$work/client" && for f in $(ls | LC_ALL=C sort); do
  printf '%s|%s\r\n' "$f" "$(md5sum <"$f" | cut -c1-32 | tr a-f A-F)"
done | od -An -c)
actual=$("$tools/make-manifest" "$work/client" | od -An -c)
[ "$actual" = "$expected" ] || fail "make-manifest: unexpected output"$'\n'"$actual"$'\n'"expected"$'\n'"$expected"

"$tools/make-manifest" --exclude Zeta.txt -o "$work/Client.txt" "$work/client"
grep -q '^Zeta.txt|' "$work/Client.txt" && fail "make-manifest: --exclude ignored"
[ "$(wc -l <"$work/Client.txt")" = 3 ] || fail "make-manifest -o: expected 3 lines"

# Each folder holds one good file and one that the setup program could not install.
refused_cases=(
  "sub-folder:mkdir sub"
  "blank in name:printf x >'a b.dll'"
  "colon:printf x >'a:b'"
  "bar:printf x >'a|b'"
  "percent:printf x >'a%20b'"
  "non-ASCII:printf x >'$(printf 'caf\xc3\xa9')'"
  "dots only:printf x >..."
  "trailing dot:printf x >'name.'"
  "reserved device name:printf x >CON.dll"
  "manifest's own name:printf x >client.txt"
  "manifest's own name, as written:printf x >Client.txt"
  "manifest's temporary file:printf x >Client.txt.tmp"
  "manifest's temporary file, other case:printf x >CLIENT.TXT.tmp"
  "manifest request name:printf x >files"
  "signed list's own name:printf x >Client.signed"
  "signed list's temporary file:printf x >client.SIGNED.tmp"
  "case twins:printf x >Good.dll"
  "temporary name:printf x >good.dll.tmp"
  "empty file:: >empty.dll"
)
for case in "${refused_cases[@]}"; do
  label=${case%%:*}
  make=${case#*:}
  dir="$work/refuse-$RANDOM$RANDOM"
  mkdir "$dir"
  printf 'good' >"$dir/good.dll"
  (cd "$dir" && eval "$make")
  if out=$("$tools/make-manifest" -o "$dir.txt" "$dir" 2>"$dir.err"); then
    fail "make-manifest accepted a folder with: $label"
  fi
  [ -z "$out" ] && [ ! -e "$dir.txt" ] || fail "make-manifest wrote something for: $label"
  [ -s "$dir.err" ] || fail "make-manifest gave no reason for: $label"
  grep -q "^make-manifest: good.dll:" "$dir.err" && fail "make-manifest blamed the good file for: $label"
done

# Names Windows opens as a device or reads as a pattern are refused for that
# reason: file|what the refusal says. The superscript digits count as port
# numbers, whether the name's bytes are UTF-8 or the single bytes the setup
# program reads.
reason_cases=(
  "$(printf 'COM\xc2\xb9.dll')|the name is reserved by Windows"
  "$(printf 'lpt\xc2\xb3')|the name is reserved by Windows"
  "$(printf 'LPT\xb2.ax')|the name is reserved by Windows"
  "Com3.txt|the name is reserved by Windows"
  "a*b.dll|Windows takes '*' and '?' as a pattern"
  "what?.dll|Windows takes '*' and '?' as a pattern"
)
for case in "${reason_cases[@]}"; do
  file=${case%%|*}
  reason=${case#*|}
  dir="$work/reason-$RANDOM$RANDOM"
  mkdir "$dir"
  printf 'good' >"$dir/good.dll"
  printf 'x' >"$dir/$file"
  "$tools/make-manifest" "$dir" >/dev/null 2>"$dir.err" && fail "make-manifest accepted $file"
  grep -qF "$reason" "$dir.err" || fail "make-manifest: refusal of $file does not say '$reason': $(cat "$dir.err")"
done
# Names that only begin like one are files.
mkdir "$work/lookalike"
printf 'x' >"$work/lookalike/COM10.dll"
printf 'x' >"$work/lookalike/lpt0.ax"
"$tools/make-manifest" "$work/lookalike" >/dev/null || fail "make-manifest refused COM10.dll or lpt0.ax"

# The refusal names the file and says why.
mkdir "$work/own-temp"
printf 'good' >"$work/own-temp/good.dll"
printf 'x' >"$work/own-temp/Client.txt.tmp"
"$tools/make-manifest" "$work/own-temp" >/dev/null 2>"$work/own-temp.err" && fail "make-manifest accepted Client.txt.tmp"
grep -q '^make-manifest: Client.txt.tmp: the setup program downloads its manifest into this file' "$work/own-temp.err" ||
  fail "make-manifest: unclear refusal of Client.txt.tmp: $(cat "$work/own-temp.err")"

# ---- stamp-host ----------------------------------------------------------
cp "$host_report" "$work/plain.exe"
plain_size=$(stat -c %s "$work/plain.exe")
# hostreport.exe OUT writes what ReadServerHost finds in the program itself:
# "1" or "0", a line feed, the host (UTF-16).
runs_as() {  # runs_as EXE "expected report"
  local got
  rm -f "$work/report"
  "$wine_run" "$1" "Z:${work//\//\\}\\report" >/dev/null 2>&1 || true
  got=$(iconv -f UTF-16LE -t UTF-8 "$work/report" 2>/dev/null | tr '\n' ' ')
  [ "$got" = "$2" ] || fail "$(basename "$1") reported '$got', expected '$2'"
}

cp "$work/plain.exe" "$work/a.exe"
"$tools/stamp-host" "$work/a.exe" 127.0.0.1:8080 || fail "stamp-host refused a plain host"
[ "$(tail -c 15 "$work/a.exe")" = '$127.0.0.1:8080' ] || fail "stamp-host: trailer not at the end"
runs_as "$work/a.exe" "1 127.0.0.1:8080"

# Stamping again replaces the trailer instead of adding a second one.
"$tools/stamp-host" "$work/a.exe" dl.example.org || fail "stamp-host refused to replace"
[ "$(stat -c %s "$work/a.exe")" = $((plain_size + 15)) ] || fail "stamp-host: old trailer not replaced"
runs_as "$work/a.exe" "1 dl.example.org"

# A scheme before the host is stamped with it; the program reads it whole.
"$tools/stamp-host" "$work/a.exe" https://localhost:8443 -o "$work/tls.exe" || fail "stamp-host refused https://host:port"
runs_as "$work/tls.exe" "1 https://localhost:8443"

long=$(printf 'h%.0s' $(seq 259))
"$tools/stamp-host" "$work/a.exe" "$long" -o "$work/long.exe" || fail "stamp-host refused 259 bytes"
runs_as "$work/long.exe" "1 $long"

# Several servers go into one trailer, in the order given, with commas
# between them; up to 259 bytes in all. Stamped again with one host, the
# program reads that one alone.
"$tools/stamp-host" "$work/a.exe" 127.0.0.1:1 https://localhost:8443 dl.example.org -o "$work/several.exe" ||
  fail "stamp-host refused several hosts"
[ "$(tail -c 50 "$work/several.exe")" = '$127.0.0.1:1,https://localhost:8443,dl.example.org' ] ||
  fail "stamp-host: several hosts are not one trailer in order"
runs_as "$work/several.exe" "1 127.0.0.1:1,https://localhost:8443,dl.example.org"
"$tools/stamp-host" "$work/several.exe" one.example || fail "stamp-host refused to restamp several hosts"
runs_as "$work/several.exe" "1 one.example"
"$tools/stamp-host" "$work/a.exe" "$(printf 'a%.0s' $(seq 129))" "$(printf 'b%.0s' $(seq 129))" -o "$work/two-long.exe" ||
  fail "stamp-host refused two hosts of 259 bytes with their comma"
runs_as "$work/two-long.exe" "1 $(printf 'a%.0s' $(seq 129)),$(printf 'b%.0s' $(seq 129))"
cp "$work/a.exe" "$work/before.exe"
"$tools/stamp-host" "$work/a.exe" "$(printf 'a%.0s' $(seq 130))" "$(printf 'b%.0s' $(seq 129))" 2>/dev/null &&
  fail "stamp-host accepted hosts of 260 bytes with their comma"
"$tools/stamp-host" "$work/a.exe" a.example,b.example 2>/dev/null && fail "stamp-host accepted a host with a comma"
"$tools/stamp-host" "$work/a.exe" a.example "ftp://b" 2>/dev/null && fail "stamp-host accepted a bad second host"
cmp -s "$work/a.exe" "$work/before.exe" || fail "stamp-host changed the file for refused hosts"

# A "$" in the image's own last bytes would be read as the marker: the tool
# keeps it out of the reader's window.
/usr/bin/python3 - "$work/plain.exe" "$work/dollar.exe" <<'PY'
import sys
data = bytearray(open(sys.argv[1], "rb").read())
data[-3] = ord("$")
open(sys.argv[2], "wb").write(data)
PY
"$tools/stamp-host" "$work/dollar.exe" short.host || fail "stamp-host refused an image ending in \$"
runs_as "$work/dollar.exe" "1 short.host"

# Refused hosts leave the file as it was.
cp "$work/a.exe" "$work/before.exe"
for host in "$long"h "two words" $'tab\there' "" "http://host/path" "ftp://host" "https://" "$(printf 'caf\xc3\xa9')"; do
  if "$tools/stamp-host" "$work/a.exe" "$host" 2>/dev/null; then
    fail "stamp-host accepted host '$host'"
  fi
done
cmp -s "$work/a.exe" "$work/before.exe" || fail "stamp-host changed the file of a refused host"

# The built setup programs (the test build and the shipped 32-bit one beside
# it) end in 260 bytes without a "$": unstamped they keep the default host, a
# "$host" appended by hand is found, and stamp-host needs no padding.
built=("$QXT_BUILD_DIR/QXTSetup.exe")
[ -f "$QXT_BUILD_DIR/i686/QXTSetup.exe" ] && built+=("$QXT_BUILD_DIR/i686/QXTSetup.exe")
for exe in "${built[@]}"; do
  [ -s "$exe" ] || { fail "$exe is not built"; continue; }
  tail -c 260 "$exe" | grep -q '\$' && fail "$exe: a \$ in the last 260 bytes of the image"
  cat "$exe" >"$work/appended.exe"
  printf '$%s' 127.0.0.1:8080 >>"$work/appended.exe"
  # What the setup program reads: from the first "$" of the last 260 bytes on.
  first=$(/usr/bin/python3 -c 'import sys; d = open(sys.argv[1], "rb").read()[-260:]; print(d[d.find(b"$"):].decode("latin-1") if b"$" in d else "")' "$work/appended.exe")
  [ "$first" = '$127.0.0.1:8080' ] ||
    fail "$exe: a plain appended trailer is not the first \$ of the last 260 bytes"
  "$tools/stamp-host" "$exe" 127.0.0.1:8080 -o "$work/stamped.exe" || fail "stamp-host refused $exe"
  cmp -s "$work/stamped.exe" "$work/appended.exe" || fail "stamp-host padded $exe"
done

# Data after the image that is not a trailer (an overlay) is never cut off.
cp "$work/plain.exe" "$work/overlay.exe"
printf 'PK\003\004 archive data' >>"$work/overlay.exe"
"$tools/stamp-host" "$work/overlay.exe" h 2>/dev/null && fail "stamp-host cut off an overlay"
"$tools/stamp-host" "$work/Client.txt" h 2>/dev/null && fail "stamp-host stamped a text file"

if [ "$failures" -ne 0 ]; then
  echo "$failures failure(s)" >&2
  exit 1
fi
echo "PASS"
