// Frame conversion against a bare TurboJPEG compress of the same rows into a buffer made once: the ratio
// is what cropping, base64 and the conversion's own bookkeeping add. Both are timed on CPU time, frame
// by frame in turns, so a busy machine slows both alike; the median ratio of the repetitions is the figure.
#include <turbojpeg.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "bench/bench_support.h"
#include "capture/frame_encoder.h"

namespace {

constexpr int kWidth = 1280, kHeight = 800, kRepetitions = 11, kFramesPerRepetition = 16;
constexpr double kGameBand = 28.0 / 945;

double cpuOf(const std::function<void()>& convert) {
  double start = qm::bench::cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
  convert();
  return qm::bench::cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - start;
}

// CPU a frame of each in one repetition, frame by frame in turns, so both see the same machine.
std::pair<double, double> repetition(const std::function<void()>& bare, const std::function<void()>& conversion) {
  double b = 0, c = 0;
  for (int i = 0; i < kFramesPerRepetition; ++i) {
    // Alternate which goes first, so neither always finds the caches as the other left them.
    if (i % 2) {
      c += cpuOf(conversion);
      b += cpuOf(bare);
    } else {
      b += cpuOf(bare);
      c += cpuOf(conversion);
    }
  }
  return {b / kFramesPerRepetition, c / kFramesPerRepetition};
}

}  // namespace

int main() {
  auto px = qm::bench::gameLikeFrame(kWidth, kHeight);
  int rows = qm::keptRows(kHeight, kGameBand);
  const unsigned char* top = px.data() + static_cast<std::size_t>(kHeight - rows) * kWidth * 4;
  std::unique_ptr<void, int (*)(tjhandle)> tj(tjInitCompress(), tjDestroy);
  unsigned long capacity = tjBufSize(kWidth, rows, TJSAMP_420);
  std::unique_ptr<unsigned char, void (*)(unsigned char*)> buffer(tjAlloc(static_cast<int>(capacity)), tjFree);
  unsigned long size = 0;
  auto bare = [&] {
    unsigned char* out = buffer.get();
    size = capacity;
    tjCompress2(tj.get(), top, kWidth, kWidth * 4, rows, TJPF_BGRX, &out, &size, TJSAMP_420, 60,
                TJFLAG_FASTDCT | TJFLAG_NOREALLOC);
    benchmark::DoNotOptimize(out);
  };
  qm::FrameEncoder encoder;
  std::string text;
  const qm::PixelFrame frame{px.data(), kWidth, kHeight, kWidth * 4};
  auto conversion = [&] {
    encoder.base64JPEG(frame, kGameBand, text);
    benchmark::DoNotOptimize(text.data());
  };
  repetition(bare, conversion);  // warm both up: buffers faulted in, caches filled
  std::vector<double> ratios, bareTimes, conversionTimes;
  for (int r = 0; r < kRepetitions; ++r) {
    auto [b, c] = repetition(bare, conversion);
    bareTimes.push_back(b);
    conversionTimes.push_back(c);
    ratios.push_back(c / b);
  }
  auto ratio = qm::bench::spreadOf(ratios);
  auto b = qm::bench::spreadOf(bareTimes), c = qm::bench::spreadOf(conversionTimes);
  std::printf("bare compress: %.3f ms CPU a frame (min %.3f, max %.3f), %lu JPEG bytes\n", b.median * 1e3, b.min * 1e3,
              b.max * 1e3, size);
  std::printf("frame conversion: %.3f ms CPU a frame (min %.3f, max %.3f), %zu base64 bytes\n", c.median * 1e3,
              c.min * 1e3, c.max * 1e3, text.size());
  std::printf(
      "frame conversion / bare compress: median %.3f of %d interleaved repetitions (min %.3f, max %.3f; "
      "goal: at most 1.05)\n",
      ratio.median, kRepetitions, ratio.min, ratio.max);
}
