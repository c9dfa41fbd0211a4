#!/usr/bin/env bash
# Runs a command with a private session bus, PipeWire and WirePlumber in a private runtime directory, and
# the stand-in portal on that bus.
set -euo pipefail
[ -n "${QM_IN_BUS:-}" ] || QM_IN_BUS=1 exec dbus-run-session -- "$0" "$@"
here=$(cd "$(dirname "$0")" && pwd)
dir=$(mktemp -d)
mkdir -m 700 "$dir/runtime"
export XDG_RUNTIME_DIR=$dir/runtime PIPEWIRE_RUNTIME_DIR=$dir/runtime HOME=$dir/home
export XDG_CONFIG_HOME=$dir/home/.config XDG_STATE_HOME=$dir/home/.state XDG_DATA_HOME=$dir/home/.local/share
mkdir -p "$XDG_CONFIG_HOME"
pids=()
cleanup() {
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; wait "${pids[i]}" 2>/dev/null || true; done
  rm -rf "$dir"
}
trap cleanup EXIT
wait_for() {  # what, test
  for _ in $(seq 200); do eval "$2" && return 0; sleep 0.05; done
  echo "$1 did not start" >&2; cat "$dir"/*.log >&2; exit 1
}
pipewire >"$dir/pipewire.log" 2>&1 &
pids+=($!)
wait_for PipeWire '[ -S "$XDG_RUNTIME_DIR/pipewire-0" ]'
wireplumber >"$dir/wireplumber.log" 2>&1 &
pids+=($!)
wait_for WirePlumber 'pw-cli info 0 >/dev/null 2>&1 && pw-dump 2>/dev/null | grep -q "\"wireplumber\""'
/usr/bin/python3 "$here/standin_portal.py" >"$dir/portal.log" 2>&1 &
pids+=($!)
wait_for "the stand-in portal" 'gdbus call --session -d org.freedesktop.DBus -o /org/freedesktop/DBus \
  -m org.freedesktop.DBus.NameHasOwner org.freedesktop.portal.Desktop 2>/dev/null | grep -q true'
status=0
"$@" || status=$?
[ $status -eq 0 ] || tail -n 20 "$dir"/*.log >&2
exit $status
