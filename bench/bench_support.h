// What the benchmarks share: game-like pixels, and a run that prints the figures their goals are
// stated in after the usual table.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <ctime>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace qm::bench {

// A busy pattern, 4 bytes a pixel in B, G, R, X order, so JPEG has real work to do.
inline std::vector<std::uint8_t> gameLikeFrame(int w, int h) {
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

// CPU seconds used so far, by the calling thread or by the whole process.
inline double cpuSeconds(clockid_t clock) {
  timespec t{};
  clock_gettime(clock, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Repeated measurements of one figure: the median says what it is, min and max how noisy the machine was.
struct Spread {
  double median = 0, min = 0, max = 0;
};
inline Spread spreadOf(std::vector<double> values) {
  if (values.empty()) return {};
  std::sort(values.begin(), values.end());
  std::size_t mid = values.size() / 2;
  double median = values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
  return {median, values.front(), values.back()};
}

// Seconds per iteration of each benchmark that ran, by name.
using Timings = std::map<std::string, double>;

class FigureReporter : public benchmark::ConsoleReporter {
 public:
  explicit FigureReporter(std::function<void(Timings&)> figures)
      : ConsoleReporter(OO_Tabular), figures(std::move(figures)) {}
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const auto& run : runs)
      if (run.iterations > 0 && !run.error_occurred)
        timings[run.benchmark_name()] = run.real_accumulated_time / static_cast<double>(run.iterations);
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    figures(timings);
  }

 private:
  std::function<void(Timings&)> figures;
  Timings timings;
};

inline int runBenchmarks(int argc, char** argv, std::function<void(Timings&)> figures) {
  benchmark::Initialize(&argc, argv);
  FigureReporter reporter(std::move(figures));
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}

}  // namespace qm::bench
