#!/usr/bin/env bash
# Installs, builds and starts Quillmere on your display, against the local stand-in service.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -z "${DISPLAY:-}" ]; then
  echo "Quillmere needs an X11 display (DISPLAY is not set). Run this from a desktop session;" >&2
  echo "on Wayland, XWayland provides DISPLAY. For a headless check, run scripts/test.sh instead." >&2
  exit 1
fi
scripts/build.sh
build/quillmere-devsite build/devsite/cert.pem build/devsite/key.pem &
service=$!
trap 'kill $service 2>/dev/null' EXIT
sleep 0.5
echo "Stand-in service on https://main.localhost:8443 — starting Quillmere (quit it to stop the demo)."
GDK_BACKEND=x11 build/quillmere
