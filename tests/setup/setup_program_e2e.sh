#!/usr/bin/env bash
# Runs the setup program's end-to-end tests: the sample client published on
# the reference nginx server (loopback, free port), QXTSetup.exe stamped with
# that address, and the tests of tests/setup/program/ driving the program as
# a person would, in a Wine prefix of its own so that installing the client
# touches nothing the other tests use. Screenshots go to BUILD/screenshots.
# The logs of two silent runs are kept there too. Two HTTPS servers of the
# same site take part: one whose test authority the prefix trusts for this
# run, and one whose authority nobody trusts.
#   setup_program_e2e.sh SOURCE_DIR BUILD_DIR TEST_PROGRAM
set -euo pipefail

source_dir=$1
build=$2
program=$3
work=$build/setup-e2e
rm -rf "$work/site" "$work/state"
mkdir -p "$work" "$build/screenshots"

# shellcheck source=scripts/wine-env.sh
. "$source_dir/scripts/wine-env.sh"
export WINEPREFIX=$build/setup-e2e-prefix
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
control=$work/control
watcher=""
tls_trusted=""
small_disk=$work/small-disk
proxy_pid=""
cleanup() {
  [ -z "$proxy_pid" ] || { kill "$proxy_pid" 2>/dev/null || true; wait "$proxy_pid" 2>/dev/null || true; }
  umount "$small_disk" 2>/dev/null || true
  [ -z "$tls_trusted" ] || wine "$build/helpers/trustcert.exe" remove "$tls_trusted" </dev/null || true
  rm -rf "$control"
  [ -z "$watcher" ] || { kill "$watcher" 2>/dev/null || true; wait "$watcher" 2>/dev/null || true; }
  "$source_dir/server/sample-server" stop "$work/state" || true
  "$source_dir/server/sample-server" stop "$work/state-tls" || true
  "$source_dir/server/sample-server" stop "$work/state-untrusted" || true
  wineserver -k 2>/dev/null || true
}
trap cleanup EXIT

"$source_dir/scripts/wine-prefix" "$WINEPREFIX"
wineserver -p </dev/null >/dev/null 2>&1 || true
# Wine's background processes start detached from ctest's output pipe.
wine cmd /c exit </dev/null >/dev/null 2>&1 || true

"$source_dir/server/sample-site" "$build" "$work/site"
port=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
"$source_dir/server/sample-server" start "$work/site" "$port" "$work/state"
"$source_dir/tools/stamp-host" "$build/QXTSetup.exe" "127.0.0.1:$port" -o "$work/QXTSetup.exe"

# The tests stop and start the server (start-slow: at 4 MB/s) by dropping a
# request file into the control folder; the answer file tells them it is
# done. (A server started through Wine would be ended with the Wine process
# that started it.)
rm -rf "$control"
mkdir -p "$control"
(
  while [ -d "$control" ]; do
    for request in stop start start-slow; do
      if [ -f "$control/$request" ]; then
        rm -f "$control/$request"
        case $request in
          stop) "$source_dir/server/sample-server" stop "$work/state" || true ;;
          start) "$source_dir/server/sample-server" start "$work/site" "$port" "$work/state" || true ;;
          # A slow network: long enough a transfer to drop it half-way.
          start-slow) QXT_LIMIT_RATE=4m "$source_dir/server/sample-server" start "$work/site" "$port" "$work/state" || true ;;
        esac
        touch "$control/$request.done"
      fi
    done
    sleep 0.05
  done
) &
watcher=$!
# A second copy points at a port where nothing listens.
dead=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
"$source_dir/tools/stamp-host" "$build/QXTSetup.exe" "127.0.0.1:$dead" -o "$work/QXTSetupNoServer.exe"

winpath() { printf 'Z:%s' "${1//\//\\}"; }

rm -rf "$work/certs"
"$source_dir/tests/download/make-test-certs" "$work/certs"
free_port() { /usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }
tls_port=$(free_port)
QXT_TLS_CERT=$work/certs/localhost.pem QXT_TLS_KEY=$work/certs/localhost.key \
  "$source_dir/server/sample-server" start "$work/site" "$tls_port" "$work/state-tls"
untrusted_port=$(free_port)
QXT_TLS_CERT=$work/certs/untrusted.pem QXT_TLS_KEY=$work/certs/untrusted.key \
  "$source_dir/server/sample-server" start "$work/site" "$untrusted_port" "$work/state-untrusted"
tls_trusted=$(winpath "$work/certs/ca.pem")
wine "$build/helpers/trustcert.exe" add "$tls_trusted" </dev/null
"$source_dir/tools/stamp-host" "$build/QXTSetup.exe" "https://localhost:$tls_port" -o "$work/QXTSetupHttps.exe"
"$source_dir/tools/stamp-host" "$build/QXTSetup.exe" "https://localhost:$untrusted_port" -o "$work/QXTSetupUntrusted.exe"
export QXT_SETUP_EXE_HTTPS=$(winpath "$work/QXTSetupHttps.exe")
export QXT_SETUP_EXE_UNTRUSTED=$(winpath "$work/QXTSetupUntrusted.exe")
export QXT_TLS_HOST="localhost:$tls_port"
# A proxy that asks for a login (tinyproxy with BasicAuth), which the tests
# name with /PROXY= or in the prefix's Internet settings.
proxy_port=$(free_port)
rm -f "$work/tinyproxy.log"
cat >"$work/tinyproxy.conf" <<EOF
Port $proxy_port
Listen 127.0.0.1
Timeout 60
LogLevel Info
LogFile "$work/tinyproxy.log"
PidFile "$work/tinyproxy.pid"
MaxClients 50
Allow 127.0.0.1
BasicAuth qxt proxy-pass-1
DisableViaHeader Yes
EOF
tinyproxy -d -c "$work/tinyproxy.conf" >"$work/tinyproxy.out" 2>&1 &
proxy_pid=$!
for _ in $(seq 100); do
  [ "$(curl -s -o /dev/null -w '%{http_code}' -x "http://127.0.0.1:$proxy_port" "http://127.0.0.1:$port/")" = 407 ] && break
  kill -0 "$proxy_pid" 2>/dev/null || { cat "$work/tinyproxy.out" >&2; echo "tinyproxy did not start" >&2; exit 1; }
  sleep 0.1
done
export QXT_PROXY_HOST="127.0.0.1:$proxy_port"
export QXT_PROXY_USER=qxt QXT_PROXY_PASSWORD=proxy-pass-1
export QXT_PROXY_LOG=$(winpath "$work/tinyproxy.log")

# A disk with room for 1 MiB, for the full-disk box (mounting needs root, as
# scripts/setup does; without it that test says it was skipped).
mkdir -p "$small_disk"
umount "$small_disk" 2>/dev/null || true
if mount -t tmpfs -o size=1m qxt-small-disk "$small_disk" 2>/dev/null; then
  export QXT_SMALL_DISK=$(winpath "$small_disk")
fi
export QXT_SETUP_EXE=$(winpath "$work/QXTSetup.exe")
export QXT_SETUP_EXE_NO_SERVER=$(winpath "$work/QXTSetupNoServer.exe")
export QXT_SERVER_HOST="127.0.0.1:$port"
export QXT_SERVER_CONTROL=$(winpath "$control")
export QXT_SERVER_PORT="$port"
export QXT_SERVER_SITE=$(winpath "$work/site")
export QXT_SERVER_STATE=$(winpath "$work/state")
export QXT_SCREENSHOTS=$(winpath "$build/screenshots")
wine "$program" --gtest_color=no
