#!/usr/bin/env bash
# Installs what Quillmere needs to build, run and test on Debian. Safe to run again.
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config clang-14 libclang-rt-14-dev
  libgtk-3-dev libwebkit2gtk-4.1-dev libsoup-3.0-dev libglib2.0-dev
  libx11-dev libxi-dev libxcomposite-dev libxext-dev libxrender-dev libxtst-dev
  libpipewire-0.3-dev libyuv-dev
  libturbojpeg0-dev nlohmann-json3-dev liburiparser-dev libayatana-appindicator3-dev libxkbcommon-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth dbus dbus-x11 at-spi2-core xdotool openbox
  openssl desktop-file-utils xdg-utils curl python3 locales
  librsvg2-bin dpkg-dev file appstream lintian
  # the headless Wayland session of the end-to-end tests: KWin with XWayland, its fake-input protocol,
  # the desktop portals with KDE's backend, PipeWire; the stand-in game and portal use GTK and GDBus from Python
  kwin-wayland xwayland plasma-wayland-protocols libwayland-dev xdg-desktop-portal xdg-desktop-portal-kde
  qtwayland5 pipewire wireplumber python3-gi gir1.2-gtk-3.0
  # and sway with XWayland (xhost lets the tests into it), its portal, screenshots (grim)
  sway x11-xserver-utils xdg-desktop-portal-wlr grim
  # and GNOME's mutter with XWayland and GNOME's portal; its screen cast taken as a picture (pngenc)
  mutter xdg-desktop-portal-gnome gstreamer1.0-plugins-good
  # the end-to-end tests read windows and pictures, and close windows as a window manager does
  python3-xlib python3-pil
  # the Wayland capture's contract test: a test video source for PipeWire, pw-dump
  gstreamer1.0-pipewire gstreamer1.0-tools gstreamer1.0-plugins-base pipewire-bin
  # for the benchmarks only, never needed by the product: the capture benchmark's yardstick
  ffmpeg
  clang-tidy-14 libgnustep-base-dev libgnustep-gui-dev libobjc-12-dev
  # the portable core and its unit tests also build against libc++, as on a Mac
  libc++-14-dev libc++abi-14-dev googletest
  # the web pages' sandbox
  bubblewrap xdg-dbus-proxy
  # the house's checks: formatting and shell scripts
  clang-format-14 shellcheck
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
