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
# As the package does, for this user: quillmere:// opens this build, so the browser comes back after sign-in.
apps="${XDG_DATA_HOME:-$HOME/.local/share}/applications"
mkdir -p "$apps"
sed "s|^Exec=quillmere |Exec=$PWD/build/quillmere |" resources/app.quillmere.Quillmere.desktop \
  >"$apps/app.quillmere.Quillmere.desktop"
update-desktop-database "$apps" 2>/dev/null || true
xdg-mime default app.quillmere.Quillmere.desktop x-scheme-handler/quillmere
build/quillmere-devsite build/devsite/cert.pem build/devsite/key.pem &
service=$!
trap 'kill $service 2>/dev/null' EXIT
sleep 0.5
echo "Stand-in service on https://main.localhost:8443 — starting Quillmere (quit it to stop the demo)."
GDK_BACKEND=x11 build/quillmere
