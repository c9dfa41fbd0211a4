// One bodycam frame event on a real WebKitGTK view: what it costs our main thread (building the script
// and handing it to the web process) and the whole round trip until the page's listener has run, each
// as a share of the 250 ms between frames; and the web process's CPU a frame for a page that only reads
// the frame's data, against our own JPEG and base64 of the same frame, interleaved in one run.
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "bench/bench_support.h"
#include "capture/frame_encoder.h"
#include "tests/platform/run_until.h"
#include "web/page_script.h"

namespace {

using Clock = std::chrono::steady_clock;

// A dashboard-like listener: it shows each frame, as the service's page does, unless it only reads them.
constexpr const char* kPage =
    "<!DOCTYPE html><img id=f><script>var readOnly = false, read = 0;"
    "window.addEventListener('qm-app', function (e) { if (e.detail.type !== 'frame') return;"
    " if (readOnly) read += e.detail.data.length;"
    " else document.getElementById('f').src = 'data:image/jpeg;base64,' + e.detail.data; });</script>";

const std::vector<std::uint8_t> pixels = qm::bench::gameLikeFrame(1280, 720);
constexpr int kFrames = 200, kRepetitions = 5;  // the process clock ticks in 10 ms steps

std::string frameText() {
  qm::FrameEncoder encoder;
  std::string text;
  encoder.base64JPEG({pixels.data(), 1280, 720, 1280 * 4}, 0, text);
  return text;
}

// CPU seconds a process of ours has used (utime + stime of /proc/PID/stat).
double processSeconds(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string stat((std::istreambuf_iterator<char>(in)), {});
  unsigned long user = 0, system = 0;
  auto end = stat.rfind(')');
  if (end == std::string::npos ||
      std::sscanf(stat.c_str() + end + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu", &user, &system) != 2)
    return 0;
  return static_cast<double>(user + system) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// The web process our view's page runs in: our child that WebKit named so.
pid_t webProcess() {
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    std::ifstream status(entry.path() / "status");
    std::string line, name;
    pid_t parent = 0;
    while (std::getline(status, line))
      if (line.starts_with("Name:"))
        name = line.substr(5);
      else if (line.starts_with("PPid:"))
        parent = std::stoi(line.substr(5));
    if (parent == getpid() && name.find("WebKitWebProces") != std::string::npos)
      return std::stoi(entry.path().filename());
  }
  return 0;
}

// An off-screen web view with the page loaded.
struct Page {
  Page() : window(gtk_offscreen_window_new()), view(WEBKIT_WEB_VIEW(webkit_web_view_new())) {
    gtk_container_add(GTK_CONTAINER(window), GTK_WIDGET(view));
    gtk_widget_show_all(window);
    g_signal_connect(view, "load-changed", G_CALLBACK(+[](WebKitWebView*, WebKitLoadEvent e, gpointer loaded) {
                       if (e == WEBKIT_LOAD_FINISHED) *static_cast<bool*>(loaded) = true;
                     }),
                     &loaded);
    webkit_web_view_load_html(view, kPage, "https://bench.localhost/");
    runUntil([this] { return loaded; });
  }
  ~Page() { gtk_widget_destroy(window); }
  Page(const Page&) = delete;
  Page& operator=(const Page&) = delete;
  // Evaluates the script; returns once the page has run it.
  void evaluateAndWait(const std::string& script, Clock::time_point* handedOver) {
    bool done = false;
    webkit_web_view_evaluate_javascript(
        view, script.data(), static_cast<gssize>(script.size()), nullptr, nullptr, nullptr,
        +[](GObject* source, GAsyncResult* result, gpointer d) {
          // The answer is the listener's return value; only its arrival counts.
          if (JSCValue* value = webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), result, nullptr))
            g_object_unref(value);
          *static_cast<bool*>(d) = true;
        },
        &done);
    if (handedOver) *handedOver = Clock::now();
    runUntil([&done] { return done; });
  }
  GtkWidget* window;
  WebKitWebView* view;
  bool loaded = false;
};

// The web process's CPU a frame against our encoding of one, repetitions interleaved; the median ratio.
void printWebProcessFigure(Page& page, const std::string& frame) {
  const pid_t web = webProcess();
  if (!web) return (void)std::fprintf(stderr, "frame event bench: the web process was not found\n");
  page.evaluateAndWait("readOnly = true", nullptr);
  std::vector<double> inPage, encode, ratios;
  for (int r = 0; r < kRepetitions; ++r) {
    double before = processSeconds(web);
    for (int i = 0; i < kFrames; ++i) page.evaluateAndWait(qm::frameEventScript(frame), nullptr);
    inPage.push_back((processSeconds(web) - before) / kFrames * 1e3);
    qm::FrameEncoder encoder;
    std::string text;
    before = qm::bench::cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    for (int i = 0; i < kFrames; ++i) encoder.base64JPEG({pixels.data(), 1280, 720, 1280 * 4}, 0, text);
    encode.push_back((qm::bench::cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - before) / kFrames * 1e3);
    ratios.push_back(inPage.back() / encode.back());
  }
  auto w = qm::bench::spreadOf(inPage), e = qm::bench::spreadOf(encode), q = qm::bench::spreadOf(ratios);
  std::printf("web process CPU a frame, page only reading it: %.2f ms (min %.2f, max %.2f); JPEG and base64: %.2f ms\n",
              w.median, w.min, w.max, e.median);
  std::printf(
      "web process / JPEG and base64, CPU a frame: median %.3f of %d interleaved repetitions (min %.3f, max %.3f)\n",
      q.median, kRepetitions, q.min, q.max);
}

Page* page = nullptr;
const std::string* frame = nullptr;

double seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

void BM_FrameEventOnTheMainThread(benchmark::State& state) {
  for (auto _ : state) {
    auto start = Clock::now();
    Clock::time_point handedOver;
    page->evaluateAndWait(qm::frameEventScript(*frame), &handedOver);
    state.SetIterationTime(seconds(handedOver - start));
  }
}
BENCHMARK(BM_FrameEventOnTheMainThread)->Unit(benchmark::kMicrosecond)->UseManualTime();

void BM_FrameEventRoundTrip(benchmark::State& state) {
  for (auto _ : state) {
    auto start = Clock::now();
    page->evaluateAndWait(qm::frameEventScript(*frame), nullptr);
    state.SetIterationTime(seconds(Clock::now() - start));
  }
}
BENCHMARK(BM_FrameEventRoundTrip)->Unit(benchmark::kMillisecond)->UseManualTime();

}  // namespace

int main(int argc, char** argv) {
  if (!gtk_init_check(&argc, &argv)) {
    std::fprintf(stderr, "frame event bench: no display\n");
    return 1;
  }
  std::string text = frameText();
  Page loaded;
  page = &loaded;
  frame = &text;
  return qm::bench::runBenchmarks(argc, argv, [&loaded, &text](qm::bench::Timings& t) {
    for (const auto& [name, what] : std::map<std::string, std::string>{
             {"BM_FrameEventOnTheMainThread/manual_time", "main thread (build + hand-over)"},
             {"BM_FrameEventRoundTrip/manual_time", "round trip until the listener ran"}})
      if (double event = t[name]; event > 0)
        std::printf("frame event for a 1280x720 frame, %s: %.3f ms, %.3f %% of the 250 ms frame interval\n",
                    what.c_str(), event * 1000, event / 0.250 * 100);
    printWebProcessFigure(loaded, text);
  });
}
