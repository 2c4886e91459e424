#!/usr/bin/env bash
# The signed file list: tools/make-manifest --sign, checked with
# python3-cryptography against the publisher's public key, and the reference
# nginx server answering the signed list's request; server/sample-site with a key.
#   signed_list_test.sh SOURCE_DIR BUILD_DIR
set -euo pipefail

source_dir=$1
build=$2
tools=$source_dir/tools
check="/usr/bin/python3 $(dirname "$0")/check_signed_list.py"
work=$(mktemp -d /tmp/qxt-signed.XXXXXX)
nginx_pid=""
cleanup() {
  if [ -n "$nginx_pid" ]; then
    kill -TERM "$nginx_pid" 2>/dev/null || true
    wait "$nginx_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

"$tools/make-keys" "$work/keys" >/dev/null
"$tools/make-keys" "$work/stranger" >/dev/null
key=$work/keys/publisher.key
pub=$work/keys/publisher.pub

# Names whose byte order differs from a case-blind one, files of one byte and
# of several MiB.
client=$work/client
mkdir "$client"
head -c 5000 /dev/urandom >"$client/QXTClient.exe"
head -c 3000000 /dev/urandom >"$client/big.bin"
printf 'x' >"$client/a_b-c.1.ax"
printf 'zz' >"$client/Zeta.txt"
printf 'codec' >"$client/qxtcodec.dll"
# What the list must hold, worked out here with coreutils: size, SHA-256, name.
expected_files() {  # expected_files [EXCLUDED]...
  (cd "$client" && for f in $(ls | LC_ALL=C sort); do
    case " $* " in *" $f "*) continue ;; esac
    printf '%s %s %s\n' "$(stat -c %s "$f")" "$(sha256sum "$f" | cut -c1-64)" "$f"
  done)
}

# ---- make-manifest --sign -------------------------------------------------
"$tools/make-manifest" -o "$work/plain.txt" "$client"
before=$(date -u +%s)
"$tools/make-manifest" --sign "$key" --signed-output "$work/Client.signed" -o "$work/Client.txt" "$client" ||
  fail "make-manifest --sign failed"
after=$(date -u +%s)
cmp -s "$work/Client.txt" "$work/plain.txt" || fail "--sign changed Client.txt"
if out=$($check "$work/Client.signed" "$pub"); then
  version=$(sed -n 1p <<<"$out")
  expires=$(sed -n 2p <<<"$out")
  [ "$version" -ge "$before" ] && [ "$version" -le "$after" ] || fail "default version $version is not the time ($before..$after)"
  expires_at=$(date -u -d "$expires" +%s)
  [ $((expires_at - version)) -ge $((30 * 86400 - 2)) ] && [ $((expires_at - version)) -le $((30 * 86400 + 2)) ] ||
    fail "default expiry $expires is not 30 days after $version"
  [ "$(sed -n '3,$p' <<<"$out")" = "$(expected_files)" ] ||
    fail "the signed list's files differ:"$'\n'"$(sed -n '3,$p' <<<"$out")"$'\n'"expected"$'\n'"$(expected_files)"
else
  fail "the signed list does not check"
fi
# The checker itself refuses another key and any changed byte.
$check "$work/Client.signed" "$work/stranger/publisher.pub" >/dev/null 2>&1 && fail "the list checks with another key"
size=$(stat -c %s "$work/Client.signed")
for at in 0 40 $((size / 2)) $((size - 140)); do
  /usr/bin/python3 -c 'import sys; d = bytearray(open(sys.argv[1], "rb").read()); d[int(sys.argv[3])] ^= 1; open(sys.argv[2], "wb").write(d)' \
    "$work/Client.signed" "$work/flipped" "$at"
  $check "$work/flipped" "$pub" >/dev/null 2>&1 && fail "the list checks with byte $at changed"
done

# Given version and expiry, and the exclusions of Client.txt.
"$tools/make-manifest" --exclude big.bin --exclude Zeta.txt --sign "$key" --signed-output "$work/given.signed" \
  --version 9223372036854775807 --expires 2031-02-28 -o "$work/given.txt" "$client" || fail "make-manifest refused --version/--expires"
if out=$($check "$work/given.signed" "$pub"); then
  [ "$(sed -n 1,2p <<<"$out")" = $'9223372036854775807\n2031-02-28T00:00:00Z' ] ||
    fail "version and expiry not as given: $(sed -n 1,2p <<<"$out")"
  [ "$(sed -n '3,$p' <<<"$out")" = "$(expected_files big.bin Zeta.txt)" ] || fail "--exclude not applied to the signed list"
else
  fail "the list with a given version does not check"
fi
# An expiry in the past is written (for tests of refusing it), with a warning.
"$tools/make-manifest" --sign "$key" --signed-output "$work/past.signed" --expires 2020-01-01 -o /dev/null "$client" \
  2>"$work/err" || fail "make-manifest refused an expiry in the past"
grep -q 'already past' "$work/err" || fail "no warning for an expiry in the past"

# Refusals write neither list, and keep an existing one.
printf 'old' >"$work/kept.signed"
printf 'old' >"$work/kept.txt"
mkdir "$work/badfolder"
printf 'x' >"$work/badfolder/good.dll"
printf 'x' >"$work/badfolder/a b.dll"
refusals=(
  "a public key|--sign $pub --signed-output $work/kept.signed $client|public key"
  "another curve's key|--sign $work/p384.key --signed-output $work/kept.signed $client|not an ECDSA P-256"
  "no key file|--sign $work/none.key --signed-output $work/kept.signed $client|No such file"
  "--sign without --signed-output|--sign $key $client|go together"
  "--signed-output without --sign|--signed-output $work/kept.signed $client|go together"
  "--version without --sign|--version 5 $client|need --sign"
  "version 0|--sign $key --signed-output $work/kept.signed --version 0 $client|whole number"
  "a leading zero|--sign $key --signed-output $work/kept.signed --version 07 $client|whole number"
  "a sign|--sign $key --signed-output $work/kept.signed --version +7 $client|whole number"
  "2^63|--sign $key --signed-output $work/kept.signed --version 9223372036854775808 $client|whole number"
  "a month 13|--sign $key --signed-output $work/kept.signed --expires 2027-13-01 $client|YYYY-MM-DD"
  "a time of day|--sign $key --signed-output $work/kept.signed --expires 2027-01-01T10:00:00 $client|YYYY-MM-DD"
  "a file the setup cannot install|--sign $key --signed-output $work/kept.signed $work/badfolder|a b.dll"
)
openssl ecparam -name secp384r1 -genkey -noout 2>/dev/null | openssl pkcs8 -topk8 -nocrypt -out "$work/p384.key"
for case in "${refusals[@]}"; do
  IFS='|' read -r label arguments reason <<<"$case"
  # shellcheck disable=SC2086 # the arguments are words without blanks
  if "$tools/make-manifest" -o "$work/kept.txt" $arguments >/dev/null 2>"$work/err"; then
    fail "make-manifest accepted $label"
  fi
  grep -q -- "$reason" "$work/err" || fail "refusal of $label does not say '$reason': $(cat "$work/err")"
  [ "$(cat "$work/kept.signed")$(cat "$work/kept.txt")" = oldold ] || fail "make-manifest wrote a list for $label"
done

# ---- the reference server -------------------------------------------------
start_nginx() {  # start_nginx SITE
  port=$(/usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  "$source_dir/server/run-nginx" "$1" "$port" "$work/state-$port" >"$work/nginx.out" 2>&1 &
  nginx_pid=$!
  for _ in $(seq 100); do
    curl -s -o /dev/null "http://127.0.0.1:$port/" && return 0
    kill -0 "$nginx_pid" 2>/dev/null || break
    sleep 0.1
  done
  cat "$work/nginx.out" >&2
  fail "nginx did not start"
  return 1
}
stop_nginx() {
  kill -TERM "$nginx_pid" 2>/dev/null || true
  wait "$nginx_pid" 2>/dev/null || true
  nginx_pid=""
}

site=$work/site
mkdir -p "$site/manifest/dotnet0" "$site/manifest/dotnet1"
cp -r "$client" "$site/files"
"$tools/make-manifest" --sign "$key" --signed-output "$site/manifest/dotnet0/Client.signed" --version 100 \
  -o "$site/manifest/dotnet0/Client.txt" "$site/files"
"$tools/make-manifest" --exclude big.bin --sign "$key" --signed-output "$site/manifest/dotnet1/Client.signed" \
  --version 100 -o "$site/manifest/dotnet1/Client.txt" "$site/files"
if start_nginx "$site"; then
  url="http://127.0.0.1:$port/Custom/DownloadClient?filename="
  for flag in 0 1; do
    for kind in "&signed=1:Client.signed" ":Client.txt"; do
      headers=$(curl -s -D - -o "$work/got" "${url}files&dotnet=$flag${kind%%:*}")
      cmp -s "$work/got" "$site/manifest/dotnet$flag/${kind#*:}" || fail "dotnet=$flag${kind%%:*} did not answer ${kind#*:}"
      grep -qi "^Content-Length: $(stat -c %s "$site/manifest/dotnet$flag/${kind#*:}")"$'\r'"\$" <<<"$headers" ||
        fail "dotnet=$flag${kind%%:*} without its Content-Length"
    done
  done
  # Only the exact request: anything else about the list is not found.
  for query in "files&dotnet=0&signed=0" "files&dotnet=0&signed=2" "files&dotnet=0&signed=1&x=1" \
               "files&signed=1" "files&signed=1&dotnet=0" "files&dotnet=2&signed=1" "Client.signed" \
               "../manifest/dotnet0/Client.signed"; do
    code=$(curl -s -o /dev/null -w '%{http_code}' "${url}$query")
    [ "$code" = 404 ] || fail "filename=$query answered $code"
  done
  stop_nginx
fi

# A server of a publisher who does not sign: the old requests as before, the
# signed one not found.
rm "$site/manifest/dotnet0/Client.signed" "$site/manifest/dotnet1/Client.signed"
if start_nginx "$site"; then
  for flag in 0 1; do
    code=$(curl -s -o /dev/null -w '%{http_code}' "http://127.0.0.1:$port/Custom/DownloadClient?filename=files&dotnet=$flag&signed=1")
    [ "$code" = 404 ] || fail "a server without a signed list answered $code for dotnet=$flag"
    curl -s -o "$work/got" "http://127.0.0.1:$port/Custom/DownloadClient?filename=files&dotnet=$flag"
    cmp -s "$work/got" "$site/manifest/dotnet$flag/Client.txt" || fail "a server without a signed list lost Client.txt"
  done
  stop_nginx
fi

# ---- sample-site with a key ------------------------------------------------
"$source_dir/server/sample-site" "$build" "$work/sample" "$key" || fail "sample-site with a key failed"
versions=()
for flag in 0 1; do
  list=$work/sample/manifest/dotnet$flag
  if out=$($check "$list/Client.signed" "$pub"); then
    versions+=("$(sed -n 1p <<<"$out")")
    [ "$(sed -n '3,$p' <<<"$out" | cut -d' ' -f3-)" = "$(cut -d'|' -f1 "$list/Client.txt")" ] ||
      fail "sample-site: the signed list of dotnet$flag names other files than Client.txt"
  else
    fail "sample-site: the signed list of dotnet$flag does not check"
  fi
done
[ "${#versions[@]}" = 2 ] && [ "${versions[0]}" = "${versions[1]}" ] || fail "sample-site: the two lists differ in version: ${versions[*]}"
"$source_dir/server/sample-site" "$build" "$work/unsigned-sample"
ls "$work/unsigned-sample/manifest"/*/Client.signed >/dev/null 2>&1 && fail "sample-site signed without a key"

if [ "$failures" -ne 0 ]; then
  echo "$failures failure(s)" >&2
  exit 1
fi
echo "PASS"
