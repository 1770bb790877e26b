#!/usr/bin/env bash
# What every script of the project shares: where the project is, how many jobs a build or
# a test run may use, and the polling wait. Sourced (by scripts/env.sh and the other
# libraries), never run.

TAMQ_ROOT="${TAMQ_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}"
TAMQ_JOBS="${TAMQ_JOBS:-$(nproc)}"
# Warnings stop the normal and the Windows build in CI only (scripts pass it on as
# -DTAMQ_WERROR): a newer compiler on a developer's machine may warn about code that CI's
# accepts.
TAMQ_WERROR=OFF
if [ "${CI:-}" = "true" ]; then
  TAMQ_WERROR=ON
fi

tamq_step() { echo "== $*"; }

# tamq_usage TEXT: a script's arguments are checked before it installs or builds anything,
# so that a typo never passes for the default; a wrong one gets the usage on standard
# error and exit 2.
tamq_usage() {
  echo "$1" >&2
  exit 2
}

# tamq_arguments_checked: the end of a script's argument check. With TAMQ_ARGUMENTS_ONLY=1
# the script stops there, with 0: how the README's test runs every command it names.
tamq_arguments_checked() {
  if [ "${TAMQ_ARGUMENTS_ONLY:-0}" = 1 ]; then
    exit 0
  fi
}

# tamq_one_of WORD CHOICE...: whether WORD is one of the choices.
tamq_one_of() {
  local word="$1" choice
  shift
  for choice in "$@"; do
    [ "$word" = "$choice" ] && return 0
  done
  return 1
}

# tamq_whole_numbers WORD...: whether every word is a whole number.
tamq_whole_numbers() {
  local word
  for word in "$@"; do
    [[ "$word" =~ ^[0-9]+$ ]] || return 1
  done
}

tamq_as_root() {
  if [ "$(id -u)" -ne 0 ]; then sudo "$@"; else "$@"; fi
}

# tamq_poll SECONDS COMMAND...: runs COMMAND every tenth of a second until it succeeds.
# Returns 1 when SECONDS (a whole number) pass first.
tamq_poll() {
  local end=$((${EPOCHREALTIME//[!0-9]/} + $1 * 1000000))
  shift
  until "$@"; do
    if [ "${EPOCHREALTIME//[!0-9]/}" -ge "$end" ]; then
      return 1
    fi
    sleep 0.1
  done
}

# tamq_free_port: a port of 127.0.0.1 that nothing listens on now. It is drawn below the
# kernel's range for outgoing connections: a port there can be held by a client's socket,
# which no probe sees, and a server then fails to bind it. Another program may still take
# it before the caller binds it: callers that can tell retry with another.
tamq_free_port() {
  local port low=32768 _
  read -r low _ </proc/sys/net/ipv4/ip_local_port_range 2>/dev/null || true
  [ "$low" -gt 12000 ] || low=32768
  while :; do
    port=$((10000 + RANDOM % (low - 10000)))
    if ! (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
      echo "$port"
      return 0
    fi
  done
}
