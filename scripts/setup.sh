#!/usr/bin/env bash
# Installs what Quillmere needs to build, run and test on Debian. Safe to run again.
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config clang-14 libclang-rt-14-dev
  libgtk-3-dev libwebkit2gtk-4.1-dev libsoup-3.0-dev libglib2.0-dev
  libx11-dev libxi-dev libxcomposite-dev libxext-dev libxrender-dev libxtst-dev
  libpipewire-0.3-dev libpixman-1-dev
  libturbojpeg0-dev nlohmann-json3-dev liburiparser-dev libayatana-appindicator3-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth dbus dbus-x11 at-spi2-core xdotool x11-utils openbox imagemagick
  openssl desktop-file-utils xdg-utils curl python3 locales
  librsvg2-bin dpkg-dev file appstream lintian
  # the Wayland capture's contract test: PipeWire with its session manager, a test video source, the
  # stand-in portal (GLib's Python bindings)
  pipewire pipewire-bin wireplumber gstreamer1.0-pipewire gstreamer1.0-tools gstreamer1.0-plugins-base python3-gi
  # for the benchmarks only, never needed by the product: the capture benchmark's yardstick
  ffmpeg
  clang-tidy-14 libgnustep-base-dev libgnustep-gui-dev libobjc-12-dev
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO=sudo
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get -o DPkg::Lock::Timeout=900 update -q
  $SUDO apt-get -o DPkg::Lock::Timeout=900 install -y -q --no-install-recommends "${missing[@]}"
fi
# The unit tests check that address handling ignores the process locale, under a Turkish one.
if ! locale -a 2>/dev/null | grep -qi '^tr_TR\.utf-\?8$'; then
  SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO=sudo
  $SUDO localedef -i tr_TR -f UTF-8 tr_TR.UTF-8
fi
