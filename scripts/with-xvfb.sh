#!/usr/bin/env bash
# Runs a command on a private Xvfb screen of the given size, e.g. with-xvfb.sh 2560x1440 build/bench/capture_bench.
# The server picks a free display itself (-displayfd), as the end-to-end tests' servers do.
set -euo pipefail
size=$1
shift
dir=$(mktemp -d)
Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp -noreset 3>"$dir/display" 2>"$dir/log" &
server=$!
trap 'kill "$server" 2>/dev/null || true; rm -rf "$dir"' EXIT
for _ in $(seq 100); do
  [ -s "$dir/display" ] && break
  kill -0 "$server" 2>/dev/null || break
  sleep 0.1
done
if [ ! -s "$dir/display" ]; then
  echo "Xvfb did not start:" >&2
  cat "$dir/log" >&2
  exit 1
fi
# The server's process id lets benchmarks count the CPU the server spends for them.
DISPLAY=":$(tr -d '\n' <"$dir/display")" QM_XSERVER_PID=$server "$@"
