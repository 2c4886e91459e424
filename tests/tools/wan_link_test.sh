#!/usr/bin/env bash
# scripts/wan-link, the emulated wide-area link of `scripts/bench wan`, in
# front of the reference nginx server: bytes arrive intact, and the link's
# delays and its shared pipe are applied. Every time checked is a lower bound
# the link itself sets (a busy machine only makes a transfer slower), never a
# speed the machine must reach.
#   wan_link_test.sh SOURCE_DIR
set -euo pipefail

source_dir=$1
work=$(mktemp -d /tmp/qxt-wanlink.XXXXXX)
nginx_pid="" link_pid=""
cleanup() {
  for pid in $link_pid $nginx_pid; do
    kill -TERM "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
free_port() { /usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }
at_least() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a >= b) }'; }

site=$work/site
mkdir -p "$site/files" "$site/manifest/dotnet0" "$site/manifest/dotnet1"
# A million bytes takes one second at 8 Mbit/s.
head -c 1000000 /dev/urandom >"$site/files/big.bin"
head -c 3000 /dev/urandom >"$site/files/small.bin"
port=$(free_port)
"$source_dir/server/run-nginx" "$site" "$port" "$work/nginx" >"$work/nginx.out" 2>&1 &
nginx_pid=$!
for _ in $(seq 200); do curl -s --noproxy '*' -o /dev/null "http://127.0.0.1:$port/" && break; sleep 0.05; done

rtt=0.3
"$source_dir/scripts/wan-link" --rtt-ms 300 --rate-mbit 8 --target "127.0.0.1:$port" \
  --port-file "$work/link.port" >"$work/link.out" &
link_pid=$!
for _ in $(seq 200); do [ -s "$work/link.port" ] && break; sleep 0.05; done
[ -s "$work/link.port" ] || { echo "wan-link did not start" >&2; exit 1; }
url="http://127.0.0.1:$(cat "$work/link.port")/Custom/DownloadClient?filename="
fetch() { curl -sS --noproxy '*' --max-time 60 "$@"; }

# One connection, two requests: the first answer's first byte comes two round
# trips after connecting (the connection's round trip, then the request's),
# the second's one round trip after it was asked for; the big file takes its
# size / rate.
times=$(fetch -w '%{time_starttransfer} %{time_total}\n' -o "$work/small.out" "${url}small.bin" \
              -o "$work/big.out" "${url}big.bin")
read -r first_byte_new _ <<<"$(sed -n 1p <<<"$times")"
read -r first_byte_kept total_big <<<"$(sed -n 2p <<<"$times")"
cmp -s "$work/small.out" "$site/files/small.bin" || fail "the small file arrived changed"
cmp -s "$work/big.out" "$site/files/big.bin" || fail "the big file arrived changed"
at_least "$first_byte_new" "$(awk -v r="$rtt" 'BEGIN { print 2 * r }')" ||
  fail "first byte on a new connection after $first_byte_new s, expected at least two round trips ($rtt s each)"
at_least "$first_byte_kept" "$rtt" ||
  fail "first byte on a kept connection after $first_byte_kept s, expected at least one round trip"
at_least "$total_big" "$(awk -v r="$rtt" 'BEGIN { print 1.0 + r }')" ||
  fail "a million bytes at 8 Mbit/s took $total_big s, expected at least 1 s plus a round trip"

# Two connections at once share the one pipe: two million bytes take at least
# two seconds whichever way they are split, and both arrive intact.
start=$(date +%s.%N)
fetch --parallel --parallel-immediate -o "$work/p1.out" "${url}big.bin" -o "$work/p2.out" "${url}big.bin" 2>/dev/null
end=$(date +%s.%N)
cmp -s "$work/p1.out" "$site/files/big.bin" && cmp -s "$work/p2.out" "$site/files/big.bin" ||
  fail "a parallel transfer arrived changed"
at_least "$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }')" 2.0 ||
  fail "two parallel transfers of a million bytes took under 2 s: the connections do not share the pipe"

# The link's own account: three connections, and every byte of the answers
# (bodies and headers) went through it.
kill -TERM "$link_pid"
wait "$link_pid" || fail "wan-link did not end cleanly"
link_pid=""
[ "$(awk '/^connections/ { print $2 }' "$work/link.out")" = 3 ] ||
  fail "wan-link counted other than the three connections made: $(cat "$work/link.out")"
at_least "$(awk '/^bytes_down/ { print $2 }' "$work/link.out")" 3003000 ||
  fail "wan-link carried fewer answer bytes than the three bodies: $(cat "$work/link.out")"

# A target that is not loopback is refused: the link never leaves this machine.
if "$source_dir/scripts/wan-link" --rtt-ms 10 --rate-mbit 1 --target 192.0.2.1:80 >/dev/null 2>&1; then
  fail "wan-link accepted a target outside loopback"
fi

[ "$failures" -eq 0 ] || { echo "$failures failure(s)" >&2; exit 1; }
echo "wan-link: all checks passed"
