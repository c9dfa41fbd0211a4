// The whole bodycam path for one frame on a real X server: grab a 2560x1440 game window, scale it to
// 1280x720 in the server, convert it to base64 JPEG. Frames are taken back to back, so the time per
// frame is the path's own cost; the figure is its share of the 250 ms between frames.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <vector>

#include "bench/bench_support.h"
#include "capture/frame_encoder.h"
#include "platform/gtk/x11/x11_capture.h"

namespace {

constexpr int kGameW = 2560, kGameH = 1440, kOutW = 1280, kOutH = 720;

// A mapped game-classed window painted with a busy pattern, as a running game would show.
class GameWindow {
 public:
  GameWindow() : dpy(XOpenDisplay(nullptr)) {
    if (!dpy) return;
    int screen = DefaultScreen(dpy);
    window = XCreateSimpleWindow(dpy, RootWindow(dpy, screen), 0, 0, kGameW, kGameH, 0, 0, 0);
    XClassHint hint{const_cast<char*>("sober"), const_cast<char*>("sober")};
    XSetClassHint(dpy, window, &hint);
    XSelectInput(dpy, window, ExposureMask);
    XMapWindow(dpy, window);
    for (XEvent e; XNextEvent(dpy, &e), e.type != Expose;) {
    }
    paint(screen);
  }
  ~GameWindow() {
    if (dpy) XCloseDisplay(dpy);
  }
  GameWindow(const GameWindow&) = delete;
  GameWindow& operator=(const GameWindow&) = delete;
  Display* dpy;
  Window window = 0;

 private:
  void paint(int screen) {
    auto px = qm::bench::gameLikeFrame(kGameW, kGameH);
    XImage* image = XCreateImage(dpy, DefaultVisual(dpy, screen), 24, ZPixmap, 0, reinterpret_cast<char*>(px.data()),
                                 kGameW, kGameH, 32, 0);
    XPutImage(dpy, window, DefaultGC(dpy, screen), image, 0, 0, 0, 0, kGameW, kGameH);
    image->data = nullptr;  // the pixels are ours
    XDestroyImage(image);
    XSync(dpy, False);
  }
};

// Counts converted frames as the capture worker hands them over.
struct FrameCounter {
  std::mutex mutex;
  std::condition_variable arrived;
  long frames = 0;
  std::size_t lastSize = 0;
  void add(std::size_t size) {
    {
      std::lock_guard lock(mutex);
      frames++;
      lastSize = size;
    }
    arrived.notify_all();
  }
  bool waitBeyond(long count) {
    std::unique_lock lock(mutex);
    return arrived.wait_for(lock, std::chrono::seconds(5), [&] { return frames > count; });
  }
};

void BM_WholeCapturePath(benchmark::State& state) {
  GameWindow game;
  qm::gtk::X11Capture capture("");
  if (!game.dpy) return state.SkipWithError("cannot open the X display");
  if (!capture.available()) return state.SkipWithError("the X display lacks Composite 0.2, XShm or RENDER");
  FrameCounter counter;
  qm::FrameEncoder encoder;  // used on the capture worker only
  std::mutex startMutex;
  std::condition_variable started;
  std::shared_ptr<qm::CaptureStream> stream;
  bool answered = false;
  qm::StreamCallbacks callbacks{
      [&](const qm::PixelFrame& f) {
        auto text = encoder.base64JPEG(f, 28.0 / kGameH);
        counter.add(text ? text->size() : 0);
      },
      [] {},
      [&](std::shared_ptr<qm::CaptureStream> s, std::optional<std::string>) {
        std::lock_guard lock(startMutex);
        stream = std::move(s);
        answered = true;
        started.notify_all();
      }};
  capture.startStream(game.window, {kOutW, kOutH, 0.0, 3, false}, callbacks);
  {
    std::unique_lock lock(startMutex);
    started.wait_for(lock, std::chrono::seconds(5), [&] { return answered; });
  }
  if (!stream) return state.SkipWithError("the capture stream did not start");
  long seen = 0;
  for (auto _ : state) {
    if (!counter.waitBeyond(seen)) {
      state.SkipWithError("no frame within 5 s");
      break;
    }
    std::lock_guard lock(counter.mutex);
    seen = counter.frames;
  }
  stream->stop();
  state.counters["frames"] = static_cast<double>(seen);
  state.counters["base64 bytes"] = static_cast<double>(counter.lastSize);
}
BENCHMARK(BM_WholeCapturePath)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  return qm::bench::runBenchmarks(argc, argv, [](qm::bench::Timings& t) {
    if (double frame = t["BM_WholeCapturePath/real_time"]; frame > 0)
      std::printf("whole capture path (2560x1440 grab, scale to 1280x720, convert): %.1f ms a frame, %.1f %% of the "
                  "250 ms frame interval\n",
                  frame * 1000, frame / 0.250 * 100);
  });
}
