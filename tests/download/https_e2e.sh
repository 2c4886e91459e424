#!/usr/bin/env bash
# Downloads over HTTPS under Wine against the reference nginx server: test
# certificates from make-test-certs, one server per certificate on loopback
# ports of their own, the test authority trusted in the prefix's machine Root
# store by trustcert.exe (and taken out again at the end). Then the setup
# program itself, stamped with a server whose authority nobody trusts, in a
# silent run: exit code 254, nothing installed, the certificate problem in
# the log's last line. nginx is always stopped, whatever happens.
#   https_e2e.sh SOURCE_DIR BUILD_DIR TEST_PROGRAM
set -euo pipefail

source_dir=$1
build=$2
program=$3
work=$(mktemp -d /tmp/qxt-https.XXXXXX)
pids=()
trusted=""

winpath() { printf 'Z:%s' "${1//\//\\}"; }
cleanup() {
  [ -z "$trusted" ] || "$source_dir/scripts/wine-run" "$build/helpers/trustcert.exe" remove "$(winpath "$work/certs/ca.pem")" || true
  for pid in "${pids[@]}"; do
    kill -TERM "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  [ -n "${KEEP:-}" ] || rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; cat "$work"/state-*/error.log >&2 2>/dev/null || true; exit 1; }

"$source_dir/tests/download/make-test-certs" "$work/certs"

site=$work/site
mkdir -p "$site/files" "$site/manifest/dotnet0" "$site/manifest/dotnet1"
head -c 300000 /dev/urandom >"$site/files/QXTClient.exe"
head -c 32768 /dev/urandom >"$site/files/qxtcodec.dll"
printf '[CONFIG]\r\n' >"$site/files/default_settings-1.ini"
"$source_dir/tools/make-manifest" -o "$site/manifest/dotnet0/Client.txt" "$site/files"
cp "$site/manifest/dotnet0/Client.txt" "$site/manifest/dotnet1/Client.txt"

free_port() { /usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }
# serve CERTIFICATE: an HTTPS server with that certificate; prints its port.
serve() {
  local name=$1 port
  port=$(free_port)
  QXT_TLS_CERT="$work/certs/$name.pem" QXT_TLS_KEY="$work/certs/$name.key" \
    "$source_dir/server/run-nginx" "$site" "$port" "$work/state-$name" >"$work/nginx-$name.out" 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do
    # Any TLS answer will do here: curl is not asked to trust anything.
    curl -sk -o /dev/null "https://127.0.0.1:$port/" && break
    kill -0 "${pids[-1]}" 2>/dev/null || { cat "$work/nginx-$name.out" >&2; fail "nginx ($name) did not start"; }
    sleep 0.1
  done
  ports[$name]=$port
}
declare -A ports
for name in localhost untrusted wrong-name expired; do
  serve "$name"
done

# The servers hold the certificates the tests expect, as curl sees them.
curl -s --cacert "$work/certs/ca.pem" -o "$work/got.txt" \
  "https://localhost:${ports[localhost]}/Custom/DownloadClient?filename=files&dotnet=0" || fail "curl does not trust the test server"
cmp -s "$work/got.txt" "$site/manifest/dotnet0/Client.txt" || fail "manifest over HTTPS differs"
code=0
curl -s --cacert "$work/certs/ca.pem" -o /dev/null "https://localhost:${ports[untrusted]}/" || code=$?
[ "$code" = 60 ] || fail "curl accepted the untrusted server (exit code $code)"

export QXT_HTTPS_FILES=$(winpath "$site/files")
export QXT_HTTPS_MANIFEST=$(winpath "$site/manifest/dotnet0/Client.txt")
export QXT_HTTPS_TRUSTED="https://localhost:${ports[localhost]}"
export QXT_HTTPS_UNTRUSTED="https://localhost:${ports[untrusted]}"
export QXT_HTTPS_WRONG_NAME="https://localhost:${ports[wrong-name]}"
export QXT_HTTPS_EXPIRED="https://localhost:${ports[expired]}"

# A test authority left in the prefix by an earlier run that was killed
# would make the first phase meaningless: it is a new one every run.
"$source_dir/scripts/wine-run" "$program" --gtest_color=no --gtest_filter='HttpsBeforeTrust.*' ||
  fail "the download before the authority was trusted did not fail as it should"

trusted=yes
"$source_dir/scripts/wine-run" "$build/helpers/trustcert.exe" add "$(winpath "$work/certs/ca.pem")" ||
  fail "trustcert.exe could not trust the test authority"
"$source_dir/scripts/wine-run" "$program" --gtest_color=no --gtest_filter='HttpsEndToEnd.*' ||
  fail "the downloads over HTTPS under Wine failed"

# The setup program itself, silent, against the server nobody vouches for.
"$source_dir/tools/stamp-host" "$build/QXTSetup.exe" "https://localhost:${ports[untrusted]}" -o "$work/QXTSetup.exe"
mkdir -p "$work/install"
code=0
# /D= comes last: unquoted, it takes the rest of the command line.
"$source_dir/scripts/wine-run" "$work/QXTSetup.exe" /S "/LOG=$(winpath "$work/setup.log")" \
  "/D=$(winpath "$work/install/Quolix")" || code=$?
[ "$code" = 254 ] || { cat "$work/setup.log" >&2 || true; fail "the setup program ended with $code, not 254"; }
[ -z "$(find "$work/install" -type f)" ] || { find "$work/install" -type f >&2; fail "the setup program installed files"; }
last=$(tr -d '\r' <"$work/setup.log" | grep -v '^[[:space:]]*$' | tail -n 1)
case $last in
  *"Installation failed at step: download of the client's files"*"(exit code 254): 安全连接失败：服务器的证书不是受信任的机构颁发的。 ("*"(12045))") ;;
  *) cat "$work/setup.log" >&2; fail "the log's last line does not name the certificate problem: $last" ;;
esac
grep -q "Server host: https://localhost:${ports[untrusted]} " "$work/setup.log" || fail "the log does not name the stamped host"
echo "PASS: HTTPS downloads checked against ${#ports[@]} nginx servers; silent setup ended with 254: $last"
