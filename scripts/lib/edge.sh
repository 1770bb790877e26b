#!/usr/bin/env bash
# The board's edge, deploy/nginx/tamq-board.conf, rendered for a server or run on loopback
# in front of tamq-board instances. Sourced.
#
#   tamq_edge_render OUT HTTPS_LISTEN HTTP_LISTEN CERTIFICATE KEY UPSTREAM_ADDR...
#                  writes the site to OUT; the listens are what nginx's "listen" takes
#                  ("443", "127.0.0.1:8443"), each UPSTREAM_ADDR a host:port of an
#                  instance. Plain HTTP answers a read with a redirect to HTTPS and
#                  refuses a write. The limits per address come from TAMQ_EDGE_READ_RATE
#                  (20r/s), TAMQ_EDGE_WRITE_RATE (2r/s) and TAMQ_EDGE_CONNECTIONS (32);
#                  the address nginx reaches the instances from, TAMQ_EDGE_PROXY_BIND
#                  (off: the system's choice; tamq_edge_start: 127.0.0.2);
#                  the board page's folder from TAMQ_EDGE_PAGE_ROOT (deploy/page) and
#                  the browser build's, served at /play/, from TAMQ_EDGE_GAME_ROOT (build-web)
#   tamq_edge_start DIR HTTPS_PORT HTTP_PORT UPSTREAM_ADDR...
#                  the site on 127.0.0.1 (HTTPS and plain HTTP) with a throwaway
#                  certificate (DIR/ca.pem is its authority), nginx with DIR as its
#                  prefix (configuration, pid, logs, temporary files); returns once both
#                  ports answer; prints nothing
#   tamq_edge_stop DIR
#                  stops that nginx and waits until it has gone
#
# nginx comes from tamq_install_tls_deps (scripts/lib/deps.sh).
source "$(dirname "${BASH_SOURCE[0]}")/tls.sh"

tamq_edge_render() {
  local out="$1" https="$2" http="$3" certificate="$4" key="$5"
  shift 5
  if [ $# -eq 0 ]; then
    echo "tamq_edge_render: no upstream instance named" >&2
    return 1
  fi
  local servers="" address
  for address in "$@"; do
    # Two failures take an instance out for a second, so a dead one costs a few connect
    # attempts, not one a request. Kept short: while the database fails over every
    # instance answers 503, which nginx counts against them too, and a long pause would
    # leave players with "no live upstreams" after the database is back.
    servers+="server $address max_fails=2 fail_timeout=1s; "
  done
  local site="$TAMQ_ROOT/deploy/nginx/tamq-board.conf"
  # The redirect names the HTTPS port unless it is HTTPS's own.
  local https_port=":${https##*:}"
  if [ "$https_port" = ":443" ]; then https_port=""; fi
  sed -e "s|@HTTPS_LISTEN@|$https|" -e "s|@HTTP_LISTEN@|$http|" -e "s|@HTTPS_PORT@|$https_port|" \
    -e "s|@CERTIFICATE@|$certificate|" -e "s|@CERTIFICATE_KEY@|$key|" \
    -e "s|@UPSTREAM_SERVERS@|$servers|" \
    -e "s|@READ_RATE@|${TAMQ_EDGE_READ_RATE:-20r/s}|" \
    -e "s|@WRITE_RATE@|${TAMQ_EDGE_WRITE_RATE:-2r/s}|" \
    -e "s|@CONNECTIONS@|${TAMQ_EDGE_CONNECTIONS:-32}|" -e "s|@PROXY_BIND@|${TAMQ_EDGE_PROXY_BIND:-off}|" \
    -e "s|@PAGE_ROOT@|${TAMQ_EDGE_PAGE_ROOT:-$TAMQ_ROOT/deploy/page}|" \
    -e "s|@GAME_ROOT@|${TAMQ_EDGE_GAME_ROOT:-$TAMQ_ROOT/build-web}|" "$site" >"$out.new" &&
    mv "$out.new" "$out"
  if grep -q '@[A-Z_]*@' "$out"; then
    echo "$out: left unfilled: $(grep -o '@[A-Z_]*@' "$out" | sort -u | tr '\n' ' ')" >&2
    return 1
  fi
}

tamq_edge_start() {
  local dir="$1" https_port="$2" http_port="$3"
  shift 3
  mkdir -p "$dir/temp"
  dir="$(cd "$dir" && pwd)"
  [ -f "$dir/server.pem" ] || tls_make_certificates "$dir" || return 1
  # nginx reaches the instances from 127.0.0.2, the one address they trust as a proxy.
  TAMQ_EDGE_PROXY_BIND="${TAMQ_EDGE_PROXY_BIND:-127.0.0.2}" tamq_edge_render "$dir/tamq-board.conf" "127.0.0.1:$https_port" "127.0.0.1:$http_port" \
    "$dir/server.pem" "$dir/server.key" "$@" || return 1
  local user=""
  # A master started as root hands its workers to "nobody", who cannot enter a folder
  # made by mktemp.
  if [ "$(id -u)" -eq 0 ]; then user="user root root;"; fi
  cat >"$dir/nginx.conf" <<END
$user
worker_processes 2;
pid $dir/nginx.pid;
error_log $dir/error.log warn;
events { worker_connections 4096; }
http {
  access_log $dir/access.log;
  client_body_temp_path $dir/temp/body;
  proxy_temp_path $dir/temp/proxy;
  fastcgi_temp_path $dir/temp/fastcgi;
  uwsgi_temp_path $dir/temp/uwsgi;
  scgi_temp_path $dir/temp/scgi;
  include $dir/tamq-board.conf;
}
END
  rm -f "$dir/nginx.pid"
  : >"$dir/error.log"
  # nginx detaches itself; its pid file names the master.
  if ! nginx -p "$dir" -c "$dir/nginx.conf" -e "$dir/error.log" >"$dir/nginx.out" 2>&1; then
    echo "nginx did not start in $dir:" >&2
    cat "$dir/nginx.out" "$dir/error.log" >&2
    return 1
  fi
  if ! tamq_poll 30 tamq_edge_answers "$dir" "$https_port" "$http_port"; then
    echo "nginx in $dir does not answer on 127.0.0.1:$https_port and :$http_port:" >&2
    cat "$dir/error.log" >&2
    tamq_edge_stop "$dir"
    return 1
  fi
}

# Both ports give an HTTP answer (any status: the instances may not be up yet).
tamq_edge_answers() {
  local dir="$1"
  curl -s -o /dev/null --max-time 2 --cacert "$dir/ca.pem" "https://127.0.0.1:$2/" &&
    curl -s -o /dev/null --max-time 2 "http://127.0.0.1:$3/"
}

tamq_edge_stop() {
  local dir="$1" pid
  pid="$(cat "$dir/nginx.pid" 2>/dev/null)" || return 0
  [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null || return 0
  # QUIT lets the workers finish the requests in hand; TERM, then KILL, if that lingers.
  kill -QUIT "$pid" 2>/dev/null || true
  tamq_poll 10 tamq_edge_gone "$pid" || kill -TERM "$pid" 2>/dev/null || true
  if ! tamq_poll 5 tamq_edge_gone "$pid"; then
    # A killed master leaves its workers behind: they go first, by their ids.
    local workers
    workers="$(ps -o pid= --ppid "$pid" 2>/dev/null | tr -d ' ' | tr '\n' ' ')" || true
    # shellcheck disable=SC2086 # one pid a word
    kill -KILL $workers "$pid" 2>/dev/null || true
    tamq_poll 5 tamq_edge_gone "$pid"
  fi
}

tamq_edge_gone() { ! kill -0 "$1" 2>/dev/null; }
