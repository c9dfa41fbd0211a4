#!/usr/bin/env bash
# Installs, builds and runs every test: unit tests (also under ASan+UBSan and, for the threaded
# capture code, TSan), the compile check of the macOS backend, the end-to-end tests under private Xvfb
# servers, and the benchmarks' figures.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh
for kind in asan tsan; do
  option=QM_SANITIZE; [ "$kind" = tsan ] && option=QM_TSAN
  cmake -S . -B "build-$kind" -G Ninja -DCMAKE_BUILD_TYPE=Debug -D$option=ON -DQM_BUILD_GTK=OFF >/dev/null
  cmake --build "build-$kind"
done
status=0
# The macOS backend, compiled as far as Linux can: clang with ARC against GNUstep, then clang-tidy.
cmake --build build --target mac_check || status=1
ASAN_OPTIONS=detect_leaks=1 ctest --test-dir build-asan --output-on-failure || status=1
TSAN_OPTIONS=halt_on_error=1 ctest --test-dir build-tsan --output-on-failure -R 'Capture|Frame' || status=1
ctest --test-dir build --output-on-failure || status=1
build/bench/quillmere_bench --benchmark_min_time=0.2 || status=1
# The capture path needs an X server as large as the game window it films.
scripts/with-xvfb.sh 2560x1440 build/bench/capture_bench --benchmark_min_time=0.5 || status=1
scripts/with-xvfb.sh 1280x1024 build/bench/frame_event_bench --benchmark_min_time=0.5 || status=1
cat build/key-latency.txt 2>/dev/null || true
exit $status
