// What the bodycam costs on a Wayland session, in one run: CPU per frame of our process (the PipeWire
// stream, scaling a 2560x1440 window into 1280x720 frames, JPEG, base64) against the JPEG and base64 of
// the same frame alone. Repetitions alternate between the two; the median ratio is the figure. The
// desktop's own cost of sharing the window is not ours to measure here. Run it under
// tests/platform/with_portal.py with QM_STANDIN_WINDOW=2560x1440@10.
#include <gio/gio.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <vector>

#include "bench/bench_support.h"
#include "capture/frame_encoder.h"
#include "capture/window_choice.h"
#include "platform/gtk/portal/portal_capture.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRepetitions = 5, kFrames = 20;

class MemorySettings : public qm::Settings {
 public:
  std::optional<nlohmann::json> get(const std::string&) const override { return std::nullopt; }
  void set(const std::string&, const nlohmann::json&) override {}
  void remove(const std::string&) override {}
};

bool turnLoopUntil(const std::function<bool()>& ready) {
  auto until = Clock::now() + std::chrono::seconds(60);
  while (!ready() && Clock::now() < until) g_main_context_iteration(nullptr, FALSE), g_usleep(5000);
  return ready();
}

// The stream's frames as the bodycam's worker handles them; one kept aside for the yardstick.
struct Receiver {
  qm::FrameEncoder encoder;
  std::string text;
  std::atomic<long> frames = 0;
  std::mutex mutex;
  std::vector<std::uint8_t> kept;
  qm::PixelFrame keptFrame;

  std::condition_variable counted;

  void take(const qm::PixelFrame& f) {
    encoder.base64JPEG(f, 0, text);
    // Counted before the lock, which the yardstick holds: a frame converted then is not one of the next count.
    long before = frames++;
    std::lock_guard lock(mutex);
    if (before == 0) {
      kept.assign(f.pixels, f.pixels + static_cast<std::size_t>(f.stride) * f.height);
      keptFrame = {kept.data(), f.width, f.height, f.stride};
    }
    counted.notify_one();
  }
};

// The main thread sleeps until the frames are in: turning its loop every few milliseconds to look cost
// about as much CPU as the scaling, and it is the benchmark's, not the stream's (no frame needs that loop).
double streamCostPerFrame(Receiver& receiver) {
  long from = receiver.frames;
  double before = qm::bench::cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
  {
    std::unique_lock lock(receiver.mutex);
    receiver.counted.wait_for(lock, std::chrono::seconds(60), [&] { return receiver.frames >= from + kFrames; });
  }
  return (qm::bench::cpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - before) / static_cast<double>(receiver.frames - from);
}

double encodeCostPerFrame(const qm::PixelFrame& frame) {
  qm::FrameEncoder encoder;
  std::string text;
  double before = qm::bench::cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
  for (int i = 0; i < kFrames; ++i) encoder.base64JPEG(frame, 0, text);
  return (qm::bench::cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - before) / kFrames;
}

}  // namespace

int main() {
  MemorySettings settings;
  qm::gtk::PortalCapture capture(settings, nullptr);
  std::optional<std::optional<std::vector<qm::CaptureWindow>>> listing;
  if (capture.available()) capture.listWindows([&](auto windows) { listing = std::move(windows); });
  if (!turnLoopUntil([&] { return listing.has_value(); }) || !*listing || (*listing)->empty())
    return std::fprintf(stderr, "portal_capture_bench needs the stand-in portal (with_portal.py)\n"), 1;
  const auto& window = (*listing)->front();
  auto size = qm::outputSizeFor(window.frame);
  Receiver receiver;
  std::shared_ptr<qm::CaptureStream> stream;
  // Every frame the window gives, as the X11 benchmark takes frames back to back.
  capture.startStream(window.id, {size.width, size.height, 0, 3, false},
                      {[&](const qm::PixelFrame& f) { receiver.take(f); }, [] {},
                       [&](std::shared_ptr<qm::CaptureStream> s, auto) { stream = std::move(s); }, nullptr});
  if (!stream || !turnLoopUntil([&] { return receiver.frames > 2; }))
    return std::fprintf(stderr, "the shared window gave no frames\n"), 1;
  std::vector<double> ours, encode, ratios;
  for (int r = 0; r < kRepetitions; ++r) {
    ours.push_back(streamCostPerFrame(receiver) * 1e3);
    std::lock_guard lock(receiver.mutex);
    encode.push_back(encodeCostPerFrame(receiver.keptFrame) * 1e3);
    ratios.push_back(ours.back() / encode.back());
  }
  stream->stop();
  auto o = qm::bench::spreadOf(ours), e = qm::bench::spreadOf(encode), q = qm::bench::spreadOf(ratios);
  std::printf("%gx%g shared window into %dx%d frames, %d frames a repetition\n", window.frame.w, window.frame.h,
              size.width, size.height, kFrames);
  std::printf(
      "portal bodycam CPU a frame: %.2f ms own (min %.2f, max %.2f); JPEG and base64 alone: %.2f ms "
      "(min %.2f, max %.2f)\n",
      o.median, o.min, o.max, e.median, e.min, e.max);
  std::printf(
      "portal bodycam / JPEG alone, CPU a frame: median %.3f of %d interleaved repetitions (min %.3f, max "
      "%.3f)\n",
      q.median, kRepetitions, q.min, q.max);
  return 0;
}
