// One bodycam frame event on a real WebKitGTK view: what it costs our main thread (building the script
// and handing it to the web process) and the whole round trip until the page's listener has run, each
// as a share of the 250 ms between frames.
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <string>

#include "bench/bench_support.h"
#include "capture/frame_encoder.h"
#include "tests/platform/run_until.h"
#include "web/page_script.h"

namespace {

using Clock = std::chrono::steady_clock;

// A dashboard-like listener: it shows each frame, as the service's page does.
constexpr const char* kPage =
    "<!DOCTYPE html><img id=f><script>window.addEventListener('qm-app', function (e) {"
    " if (e.detail.type === 'frame') document.getElementById('f').src = 'data:image/jpeg;base64,' + e.detail.data;"
    "});</script>";

std::string frameText() {
  auto px = qm::bench::gameLikeFrame(1280, 720);
  qm::FrameEncoder encoder;
  std::string text;
  encoder.base64JPEG({px.data(), 1280, 720, 1280 * 4}, 0, text);
  return text;
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
  return qm::bench::runBenchmarks(argc, argv, [](qm::bench::Timings& t) {
    for (const auto& [name, what] : std::map<std::string, std::string>{
             {"BM_FrameEventOnTheMainThread/manual_time", "main thread (build + hand-over)"},
             {"BM_FrameEventRoundTrip/manual_time", "round trip until the listener ran"}})
      if (double event = t[name]; event > 0)
        std::printf("frame event for a 1280x720 frame, %s: %.3f ms, %.3f %% of the 250 ms frame interval\n",
                    what.c_str(), event * 1000, event / 0.250 * 100);
  });
}
