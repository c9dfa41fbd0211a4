#!/usr/bin/env bash
# Installs what is missing and builds Quillmere against the local stand-in service into build/;
# arguments go to CMake.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQM_STANDIN=ON "$@" >/dev/null
cmake --build build
