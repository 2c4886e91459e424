#!/usr/bin/env bash
# End-to-end download: a sample client published with tools/make-manifest,
# served by the reference nginx set-up on a free loopback port, installed by
# DownloadClientFiles under Wine (EndToEndTest.cpp) twice. nginx is always
# stopped, whatever happens.
#   nginx_e2e.sh SOURCE_DIR TEST_PROGRAM
set -euo pipefail

source_dir=$1
program=$2
work=$(mktemp -d /tmp/qxt-e2e.XXXXXX)
nginx_pid=""

cleanup() {
  if [ -n "$nginx_pid" ]; then
    kill -TERM "$nginx_pid" 2>/dev/null || true
    wait "$nginx_pid" 2>/dev/null || true
  fi
  [ -n "${KEEP:-}" ] || rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; [ -f "$work/state/error.log" ] && cat "$work/state/error.log" >&2; exit 1; }

# The sample client: an executable-sized file, files of one byte and of
# exactly one chunk, and names with dots, dashes and underscores.
site=$work/site
mkdir -p "$site/files" "$site/manifest/dotnet0" "$site/manifest/dotnet1"
head -c 300000 /dev/urandom >"$site/files/QXTClient.exe"
head -c 70000 /dev/urandom >"$site/files/QXTUnist.exe"
head -c 32768 /dev/urandom >"$site/files/qxtcodec.dll"
printf 'x' >"$site/files/CoreAVC.ax"
printf '[CONFIG]\r\n' >"$site/files/default_settings-1.ini"
"$source_dir/tools/make-manifest" -o "$site/manifest/dotnet0/Client.txt" "$site/files"
# Machines with .NET 4 get the same list here: the sample has no .NET installers.
cp "$site/manifest/dotnet0/Client.txt" "$site/manifest/dotnet1/Client.txt"

port=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
"$source_dir/server/run-nginx" "$site" "$port" "$work/state" >"$work/nginx.out" 2>&1 &
nginx_pid=$!
for _ in $(seq 100); do
  curl -s -o /dev/null "http://127.0.0.1:$port/" && break
  kill -0 "$nginx_pid" 2>/dev/null || { cat "$work/nginx.out" >&2; fail "nginx did not start"; }
  sleep 0.1
done
url="http://127.0.0.1:$port/Custom/DownloadClient?filename="

# What the server promises: the manifest and files with a Content-Length, no
# chunked or compressed body, nothing outside the files folder.
headers=$(curl -s -D - -o "$work/got.txt" -H 'Accept-Encoding: gzip, deflate' "${url}files&dotnet=0")
cmp -s "$work/got.txt" "$site/manifest/dotnet0/Client.txt" || fail "manifest differs"
grep -qi '^Content-Length: ' <<<"$headers" || fail "manifest without Content-Length"
grep -qi '^Transfer-Encoding\|^Content-Encoding' <<<"$headers" && fail "manifest sent chunked or compressed"
for name in ../manifest/dotnet0/Client.txt nothing.dll files '' 'files&dotnet=2'; do
  code=$(curl -s -o /dev/null -w '%{http_code}' "${url}${name}")
  [ "$code" = 404 ] || fail "filename=$name answered $code"
done

winpath() { printf 'Z:%s' "${1//\//\\}"; }
QXT_E2E_HOST="127.0.0.1:$port" QXT_E2E_FILES=$(winpath "$site/files") \
  QXT_E2E_MANIFEST=$(winpath "$site/manifest/dotnet0/Client.txt") \
  "$source_dir/scripts/wine-run" "$program" --gtest_color=no || fail "the download under Wine failed (exit code $?)"

# The server saw: the lists with the .NET flag and every file once, with
# the setup program's header block; then only the lists again.
requests=$(awk -F'"' '{ print $2 " | " $4 " | " $6 }' "$work/state/access.log" | grep 'Custom/DownloadClient' | grep -v curl || true)
# Each run asks for the signed list first; this site has none (404).
expected=$( {
  echo "GET /Custom/DownloadClient?filename=files&dotnet=F&signed=1 HTTP/1.1 | QXTSetup | */*"
  echo "GET /Custom/DownloadClient?filename=files&dotnet=F HTTP/1.1 | QXTSetup | */*"
  cut -d'|' -f1 "$site/manifest/dotnet0/Client.txt" | while read -r name; do
    echo "GET /Custom/DownloadClient?filename=$name HTTP/1.1 | QXTSetup | */*"
  done
  echo "GET /Custom/DownloadClient?filename=files&dotnet=F&signed=1 HTTP/1.1 | QXTSetup | */*"
  echo "GET /Custom/DownloadClient?filename=files&dotnet=F HTTP/1.1 | QXTSetup | */*"
} )
actual=$(sed 's/dotnet=[01]/dotnet=F/' <<<"$requests")
# The files come side by side, so the log has them in the order they ended:
# the lists' places are fixed, the files between them in any order.
in_order() { local text=$1 n; n=$(wc -l <<<"$text"); { head -n 2 <<<"$text"; sed -n "3,$((n - 2))p" <<<"$text" | sort; tail -n 2 <<<"$text"; }; }
actual=$(in_order "$actual")
expected=$(in_order "$expected")
if [ "$actual" != "$expected" ]; then
  echo "expected requests:"; echo "$expected"; echo "actual requests:"; echo "$requests"
  fail "the server saw other requests"
fi
echo "PASS: $(wc -l <<<"$requests") requests served by nginx on port $port"
