#!/usr/bin/env bash
# Runs the keyed setup program's end-to-end tests: a publisher's key pair
# (tools/make-keys), the sample client published with signed lists
# (server/sample-site with the key) on the reference nginx server (loopback,
# free port), QXTSetup.exe keyed (tools/set-key) and stamped with that address,
# and KeyedSetupTest running it silently against good and spoiled
# publications, in a Wine prefix of its own. Other lists of the same files
# (signed by another key, expired) wait in BUILD/keyed-e2e/variants for the
# tests to put in place.
#   keyed_setup_e2e.sh SOURCE_DIR BUILD_DIR TEST_PROGRAM
set -euo pipefail

source_dir=$1
build=$2
program=$3
work=$build/keyed-e2e
rm -rf "$work"
mkdir -p "$work/variants"

# shellcheck source=scripts/wine-env.sh
. "$source_dir/scripts/wine-env.sh"
export WINEPREFIX=$build/keyed-e2e-prefix
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
cleanup() {
  "$source_dir/server/sample-server" stop "$work/state" || true
  wineserver -k 2>/dev/null || true
}
trap cleanup EXIT

"$source_dir/scripts/wine-prefix" "$WINEPREFIX"
wineserver -p </dev/null >/dev/null 2>&1 || true
wine cmd /c exit </dev/null >/dev/null 2>&1 || true

"$source_dir/tools/make-keys" "$work/keys" >/dev/null
"$source_dir/tools/make-keys" "$work/other" >/dev/null
"$source_dir/server/sample-site" "$build" "$work/site" "$work/keys/publisher.key"
list=$work/site/manifest/dotnet0/Client.signed
version=$(sed -n 's/^version //p' "$list")
"$source_dir/tools/make-manifest" -o "$work/variants/Client.txt" --sign "$work/other/publisher.key" \
  --signed-output "$work/variants/other-key.signed" --version "$version" "$work/site/files"
"$source_dir/tools/make-manifest" -o "$work/variants/Client.txt" --sign "$work/keys/publisher.key" \
  --signed-output "$work/variants/expired.signed" --version "$version" --expires 2001-01-01 "$work/site/files" 2>/dev/null

port=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
"$source_dir/server/sample-server" start "$work/site" "$port" "$work/state"
"$source_dir/tools/set-key" "$build/QXTSetup.exe" "$work/keys/publisher.pub" -o "$work/keyed.exe"
"$source_dir/tools/stamp-host" "$work/keyed.exe" "127.0.0.1:$port" -o "$work/QXTSetupKeyed.exe"
"$source_dir/tools/stamp-host" "$build/QXTSetup.exe" "127.0.0.1:$port" -o "$work/QXTSetupUnkeyed.exe"
# Two servers, the first of which has nothing listening on its port.
closed=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
"$source_dir/tools/stamp-host" "$work/keyed.exe" "127.0.0.1:$closed" "127.0.0.1:$port" -o "$work/QXTSetupTwoHosts.exe"

winpath() { printf 'Z:%s' "${1//\//\\}"; }
export QXT_KEYED_EXE=$(winpath "$work/QXTSetupKeyed.exe")
export QXT_UNKEYED_EXE=$(winpath "$work/QXTSetupUnkeyed.exe")
export QXT_TWO_HOSTS_EXE=$(winpath "$work/QXTSetupTwoHosts.exe")
export QXT_CLOSED_HOST=127.0.0.1:$closed QXT_SERVER_HOST=127.0.0.1:$port
export QXT_SITE=$(winpath "$work/site")
export QXT_VARIANTS=$(winpath "$work/variants")
export QXT_LIST_VERSION=$version
export QXT_LOGS=$(winpath "$build/screenshots")
mkdir -p "$build/screenshots"
wine "$program" --gtest_color=no
