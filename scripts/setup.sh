#!/usr/bin/env bash
# Installs what Quillmere needs to build, run and test on Debian. Safe to run again.
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config
  libgtk-3-dev libwebkit2gtk-4.1-dev libsoup-3.0-dev libglib2.0-dev
  libx11-dev libxi-dev libxcomposite-dev libxext-dev libxrender-dev libxtst-dev
  libturbojpeg0-dev nlohmann-json3-dev libayatana-appindicator3-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth dbus dbus-x11 at-spi2-core xdotool x11-utils openbox imagemagick
  openssl desktop-file-utils xdg-utils curl python3
  clang-14 clang-tidy-14 libgnustep-base-dev libgnustep-gui-dev libobjc-12-dev
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO=sudo
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -q
  $SUDO apt-get -o DPkg::Lock::Timeout=900 install -y -q --no-install-recommends "${missing[@]}"
fi
