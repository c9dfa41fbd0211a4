// Frame conversion against a bare TurboJPEG compress of the same pixels. Read the ratio, not the
// absolute times.
#include <turbojpeg.h>

#include <cstdint>
#include <cstdio>

#include "bench/bench_support.h"
#include "capture/frame_encoder.h"

namespace {

constexpr double gameBand = 28.0 / 945;

// The same rows the conversion keeps, compressed with nothing around it.
void BM_BareCompress(benchmark::State& state) {
  auto px = qm::bench::gameLikeFrame(1280, 800);
  int rows = qm::keptRows(800, gameBand);
  const unsigned char* top = px.data() + static_cast<std::size_t>(800 - rows) * 1280 * 4;
  tjhandle tj = tjInitCompress();
  for (auto _ : state) {
    unsigned char* out = nullptr;
    unsigned long size = 0;
    tjCompress2(tj, top, 1280, 1280 * 4, rows, TJPF_BGRX, &out, &size, TJSAMP_420, 60, TJFLAG_FASTDCT);
    benchmark::DoNotOptimize(size);
    tjFree(out);
  }
  tjDestroy(tj);
}
BENCHMARK(BM_BareCompress)->Unit(benchmark::kMillisecond);

void BM_FrameConversion(benchmark::State& state) {
  auto px = qm::bench::gameLikeFrame(1280, 800);
  qm::FrameEncoder encoder;
  qm::PixelFrame frame{px.data(), 1280, 800, 1280 * 4};
  for (auto _ : state) benchmark::DoNotOptimize(encoder.base64JPEG(frame, gameBand));
}
BENCHMARK(BM_FrameConversion)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  return qm::bench::runBenchmarks(argc, argv, [](qm::bench::Timings& t) {
    if (double bare = t["BM_BareCompress"]; bare > 0)
      std::printf("frame conversion / bare compress: %.3f (goal: at most 1.15)\n", t["BM_FrameConversion"] / bare);
  });
}
