#!/usr/bin/env bash
# The board's whole arrangement on this machine, all on loopback, as a studio runs it on
# several: a PostgreSQL primary with a synchronous standby, two tamq-board instances
# sharing the secret and naming both servers, and nginx in front (deploy/nginx) with a
# throwaway certificate. Prints where to point the game, and serves until Ctrl+C or one
# TERM, which stops everything it started.
#   scripts/board-stack.sh [tamq-board options...]
# TAMQ_BOARD_STACK_HOME keeps the databases, the secret and the certificate between runs;
# without it they live in a temporary folder removed at the stop. The one-process board is
# scripts/board.sh; docs/board-deploy.md says how the same parts go onto servers.
set -euo pipefail
source "$(dirname "$0")/env.sh"
source "$TAMQ_ROOT/scripts/lib/local-board.sh"
# A connection is an open file: the soft limit (often 1024) up to the hard one, so that the
# service's caps (4096 connections) fit; the service says so at start when they still do not.
ulimit -n "$(ulimit -Hn)" 2>/dev/null || true
source "$TAMQ_ROOT/scripts/lib/edge.sh"
# Every argument is the service's, which checks them itself once it is built.
tamq_arguments_checked
tamq_stop_on_signal

home="${TAMQ_BOARD_STACK_HOME:-}"
throwaway=""
if [ -z "$home" ]; then
  home="$(mktemp -d)"
  throwaway=1
fi
mkdir -p "$home"
home="$(cd "$home" && pwd)"
# The server's own account (for root: "postgres") reaches the clusters below it.
chmod 755 "$home"
instances=()
stop_all() {
  tamq_edge_stop "$home/edge"
  board_end "${instances[@]}"
  tamq_pg_stop "$home/standby" 2>/dev/null || true
  tamq_pg_stop "$home/postgres" 2>/dev/null || true
  if [ -n "$throwaway" ]; then rm -rf "$home"; fi
}
# Set before anything starts, so that whatever had started when a stop came is stopped.
trap stop_all EXIT

tamq_install_board_deps
tamq_install_tls_deps
board_build
tamq_stop_point

tamq_step "The primary PostgreSQL cluster in $home/postgres"
board_prepare "$home"
tamq_stop_point
board_database_up "$home" tcp
tamq_stop_point

tamq_step "Its synchronous standby in $home/standby"
board_standby_up "$home"
tamq_stop_point

tamq_step "Two tamq-board instances"
upstreams=() metrics=()
board_edge_options
for instance in 1 2; do
  options=("${board_options[@]}")
  # Each instance's metrics on an admin address of its own, once the service has one.
  if "$board_exe" --help 2>&1 | grep -q -- '--admin-listen'; then
    admin="127.0.0.1:$(tamq_free_port)"
    options+=(--admin-listen "$admin")
    metrics+=("http://$admin/metrics")
  fi
  cd "$TAMQ_ROOT"
  board_serve "$home/board-$instance.log" "$board_exe" --listen 127.0.0.1:0 --database "$board_database" \
    --secret-file "$home/secret" --data "$TAMQ_ROOT/data" "${options[@]}" "$@"
  instances+=("$board_pid")
  upstreams+=("127.0.0.1:$board_port")
  tamq_stop_point
done

tamq_step "nginx in front of them"
https_port="$(tamq_free_port)"
http_port="$(tamq_free_port)"
tamq_edge_start "$home/edge" "$https_port" "$http_port" "${upstreams[@]}"
tamq_stop_point

cat <<END
The board is up (Ctrl+C stops it all):
  the game:        --board https://127.0.0.1:$https_port --board-ca $home/edge/ca.pem
  plain HTTP:      http://127.0.0.1:$http_port (sends reads to HTTPS, refuses runs)
  the instances:   ${upstreams[*]} (logs $home/board-1.log, board-2.log)
  their metrics:   ${metrics[*]:-none (this build has no admin address)}
  the databases:   primary $home/postgres (port $(cat "$home/postgres/port")), synchronous standby $home/standby (port $(cat "$home/standby/port"))
END
board_wait_for_stop
tamq_stop_point
