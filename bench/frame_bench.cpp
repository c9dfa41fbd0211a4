// Frame conversion against a bare TurboJPEG compress of the same pixels. Read the ratio, not the
// absolute times.
#include <benchmark/benchmark.h>
#include <turbojpeg.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "capture/frame_encoder.h"

namespace {

std::vector<std::uint8_t> gameLikeFrame(int w, int h) {
  std::vector<std::uint8_t> px(static_cast<std::size_t>(w) * h * 4);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      auto* p = &px[(static_cast<std::size_t>(y) * w + x) * 4];
      p[0] = static_cast<std::uint8_t>((x * 3 + y) & 255);
      p[1] = static_cast<std::uint8_t>((y * 2) & 255);
      p[2] = static_cast<std::uint8_t>(((x ^ y) * 5) & 255);
      p[3] = 0;
    }
  return px;
}

constexpr double gameBand = 28.0 / 945;

// The same rows the conversion keeps, compressed with nothing around it.
void BM_BareCompress(benchmark::State& state) {
  auto px = gameLikeFrame(1280, 800);
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
  auto px = gameLikeFrame(1280, 800);
  qm::FrameEncoder encoder;
  qm::PixelFrame frame{px.data(), 1280, 800, 1280 * 4};
  for (auto _ : state) benchmark::DoNotOptimize(encoder.base64JPEG(frame, gameBand));
}
BENCHMARK(BM_FrameConversion)->Unit(benchmark::kMillisecond);

// Prints the usual table, then the figure the goal is stated in.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  RatioReporter() : ConsoleReporter(OO_None) {}
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const auto& run : runs)
      if (run.iterations > 0) seconds[run.benchmark_name()] = run.real_accumulated_time / static_cast<double>(run.iterations);
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    double bare = seconds["BM_BareCompress"], conversion = seconds["BM_FrameConversion"];
    if (bare > 0) std::printf("frame conversion / bare compress: %.3f (goal: at most 1.15)\n", conversion / bare);
  }

 private:
  std::map<std::string, double> seconds;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
}
