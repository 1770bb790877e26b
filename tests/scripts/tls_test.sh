#!/usr/bin/env bash
# The tests' HTTPS (scripts/lib/tls.sh): the server certificate is the authority's, for
# 127.0.0.1 and localhost and nothing else; the pin is its key's; nginx proxies to the plain
# server behind it, is trusted only with the authority, logs the sizes of each call, and
# leaves nothing running once stopped.
# Exit codes: 0 passed, 1 failed, 77 skipped (no nginx, openssl, curl or python3).
set -uo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
source "$root/scripts/lib/tls.sh"
for tool in nginx openssl curl python3; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
work="$(mktemp -d)"
server=""
cleanup() {
  tls_cleanup
  [ -n "$server" ] && kill "$server" 2>/dev/null && wait "$server" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
failures=0
check() {
  local what="$1"
  shift
  "$@" >/dev/null 2>&1 || { echo "FAIL: $what"; failures=$((failures + 1)); }
}
not() { ! "$@"; }

# The plain server behind nginx: a folder with one file.
mkdir "$work/site"
echo "behind nginx" >"$work/site/page"
upstream_port="$(tamq_free_port)"
(cd "$work/site" && exec python3 -m http.server "$upstream_port" --bind 127.0.0.1) >/dev/null 2>&1 &
server=$!
serving() { curl -sf "http://127.0.0.1:$upstream_port/page" >/dev/null; }
tamq_poll 30 serving || { echo "FAIL: the plain server did not start"; exit 1; }

tls_start_proxy "$work/tls" "http://127.0.0.1:$upstream_port" || { echo "FAIL: nginx did not start"; exit 1; }
pem="$work/tls/server.pem"
key_pin="$(openssl x509 -in "$pem" -pubkey -noout | openssl pkey -pubin -outform der | openssl dgst -sha256 -binary | base64 -w0)"

check "the server certificate is not signed by the authority" openssl verify -CAfile "$tls_ca" "$pem"
check "the pin is not the server key's" test "$(tls_spki "$work/tls")" = "$key_pin"
while IFS='|' read -r what host resolve expected; do
  answer="$(curl -s --max-time 10 --cacert "${tls_ca:-none}" $resolve "https://$host:$tls_port/page" 2>/dev/null)"
  check "$what: '$answer', expected '$expected'" test "$answer" = "$expected"
done <<END
127.0.0.1 with the authority|127.0.0.1||behind nginx
localhost with the authority|localhost|--resolve localhost:$tls_port:127.0.0.1|behind nginx
another name with the authority|board.example|--resolve board.example:$tls_port:127.0.0.1|
END
check "trusted without the authority" not curl -sf --max-time 10 "$tls_url/page"
check "nginx listens beyond loopback" grep -q "listen 127.0.0.1:$tls_port ssl;" "$work/tls/nginx.conf"
check "no line with the sizes of a call: $(cat "$work/tls/access.log")" \
  grep -Eq '^GET /page 200 request=[0-9]+ answer=[0-9]+$' "$work/tls/access.log"
pid="$tls_nginx_pid"
tls_stop_proxy
check "nginx still runs after tls_stop_proxy" not kill -0 "$pid"
check "nginx still answers after tls_stop_proxy" not curl -s --max-time 5 --cacert "$tls_ca" "$tls_url/page"
echo "tls: $failures failed"
[ "$failures" = 0 ]
