#!/usr/bin/env bash
# Makes resources/Quillmere.icns, the macOS application icon, from resources/quillmere.svg.
# Run it after changing the SVG (Debian: librsvg2-bin for rsvg-convert, icnsutils for png2icns);
# the result is committed so that a Mac build needs neither tool.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
sizes=(16 32 48 128 256 512 1024)
pngs=()
for size in "${sizes[@]}"; do
  rsvg-convert -w "$size" -h "$size" resources/quillmere.svg -o "$dir/icon_$size.png"
  pngs+=("$dir/icon_$size.png")
done
png2icns resources/Quillmere.icns "${pngs[@]}" >/dev/null
