#!/usr/bin/env bash
# Builds the release package for the real service into build-deb/quillmere_<version>_<arch>.deb, with the
# compiler and linker flags (hardening included) that Debian's own package builds use.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
eval "$(DEB_BUILD_MAINT_OPTIONS=hardening=+all DEB_CFLAGS_MAINT_STRIP=-g DEB_CXXFLAGS_MAINT_STRIP=-g \
        dpkg-buildflags --export=sh)"
# CMake reads CFLAGS, CXXFLAGS and LDFLAGS but not CPPFLAGS.
export CFLAGS="$CFLAGS $CPPFLAGS" CXXFLAGS="$CXXFLAGS $CPPFLAGS"
cmake -S . -B build-deb -G Ninja -DCMAKE_BUILD_TYPE=None -DQM_STANDIN=OFF -DBUILD_TESTING=OFF >/dev/null
cmake --build build-deb -j2
rm -f build-deb/quillmere_*.deb
(cd build-deb && cpack -G DEB)
