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

# A cluster keeps the port it was made with: the standby's copy names the primary's.
port_of() { if [ -f "$1/port" ]; then cat "$1/port"; else tamq_free_port; fi; }

tamq_step "The primary PostgreSQL cluster in $home/postgres"
board_prepare "$home"
tamq_stop_point
board_database_up "$home" "$(port_of "$home/postgres")"
tamq_stop_point

tamq_step "Its synchronous standby in $home/standby"
if [ ! -d "$home/standby/data" ]; then
  mkdir -p "$home/standby"
  tamq_pg_replica "$home/postgres" "$home/standby" "$(tamq_free_port)" synchronous
elif [ ! -f "$home/standby/data/postmaster.pid" ]; then
  tamq_pg_start "$home/standby" "$(cat "$home/standby/port")"
fi
tamq_stop_point

tamq_step "Two tamq-board instances"
database="$(tamq_pg_conninfo_any "$home/postgres" "$home/standby" board)"
# The options of the service's edge and admin address, once the service has them.
upstreams=() metrics=()
help="$("$board_exe" --help 2>&1 || true)"
for instance in 1 2; do
  options=()
  if grep -q -- '--trusted-proxies' <<<"$help"; then options+=(--trusted-proxies 127.0.0.1); fi
  if grep -q -- '--admin-listen' <<<"$help"; then
    admin="127.0.0.1:$(tamq_free_port)"
    options+=(--admin-listen "$admin")
    metrics+=("http://$admin/metrics")
  fi
  cd "$TAMQ_ROOT"
  board_serve "$home/board-$instance.log" "$board_exe" --listen 127.0.0.1:0 --database "$database" \
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
  plain HTTP:      http://127.0.0.1:$http_port
  the instances:   ${upstreams[*]} (logs $home/board-1.log, board-2.log)
  their metrics:   ${metrics[*]:-none (this build has no admin address)}
  the databases:   primary $home/postgres (port $(cat "$home/postgres/port")), synchronous standby $home/standby (port $(cat "$home/standby/port"))
END
board_wait_for_stop
tamq_stop_point
