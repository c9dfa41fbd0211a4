#!/usr/bin/env bash
# Installs, builds and runs every test: unit tests (also under ASan+UBSan, with clang and libc++ as on
# a Mac and, for the threaded capture code, TSan), fuzz targets, the compile check of the macOS backend, the end-to-end tests under
# private Xvfb servers (quitting also under the sanitizers), the Debian package (built, installed with apt,
# tried and removed) and the benchmarks' figures.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh -DQM_WERROR=ON
# The product and its tests under ASan+UBSan; the threaded capture code under TSan; the fuzz targets (clang).
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQM_SANITIZE=ON -DQM_WERROR=ON >/dev/null
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQM_TSAN=ON -DQM_WERROR=ON >/dev/null
CC=clang-14 CXX=clang++-14 cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQM_SANITIZE=ON \
  -DQM_FUZZ=ON -DQM_BUILD_GTK=OFF -DQM_WERROR=ON >/dev/null
# The portable core and its unit tests with the standard library a Mac has, warnings as errors.
CC=clang-14 CXX=clang++-14 CXXFLAGS="-stdlib=libc++ -Werror" LDFLAGS="-stdlib=libc++" cmake -S . -B build-libcxx \
  -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQM_BUILD_GTK=OFF -DQM_GTEST_SOURCE=/usr/src/googletest >/dev/null
for kind in asan fuzz libcxx; do cmake --build "build-$kind"; done
cmake --build build-tsan --target unit_tests x11_capture_tests
status=0
# Formatting, clang-tidy over the build just made, the core's toolkit boundary, shellcheck.
scripts/lint.sh build || status=1
# The macOS backend, compiled as far as Linux can: clang with ARC against GNUstep, then clang-tidy.
cmake --build build --target mac_check || status=1
ASAN_OPTIONS=detect_leaks=1 ctest --test-dir build-asan --output-on-failure -E '^(e2e|gtk_contract)' || status=1
# The real binary under the sanitizers, quitting with work under way. GTK keeps allocations to the end on
# purpose, so leaks are not counted there.
ASAN_OPTIONS=detect_leaks=0 ctest --test-dir build-asan --output-on-failure -R '^(gtk_contract|e2e.test_quitting)$' \
  || status=1
TSAN_OPTIONS=halt_on_error=1 ctest --test-dir build-tsan --output-on-failure -R 'Capture|Frame' || status=1
ctest --test-dir build-fuzz --output-on-failure || status=1
ctest --test-dir build-libcxx --output-on-failure || status=1
ctest --test-dir build --output-on-failure || status=1
# The Debian package, built for the real service, installed with apt, started, removed again.
/usr/bin/python3 tests/package/test_deb.py || status=1
build/bench/quillmere_bench || status=1
# The capture path needs an X server as large as the game window it films.
scripts/with-xvfb.sh 2560x1440 build/bench/capture_bench || status=1
# The same on a Wayland session: a 2560x1440 window shared through the stand-in portal and PipeWire.
QM_STANDIN_WINDOW=2560x1440@10 tests/platform/with_portal.py build/bench/portal_capture_bench || status=1
scripts/with-xvfb.sh 1280x1024 build/bench/frame_event_bench --benchmark_min_time=0.5 || status=1
port=$(sed -n 's/^QM_STANDIN_PORT:[A-Z]*=//p' build/CMakeCache.txt)
QM_STANDIN_PORT=$port /usr/bin/python3 bench/key_latency.py || status=1
QM_STANDIN_PORT=$port /usr/bin/python3 bench/launch_memory.py || status=1
exit $status
