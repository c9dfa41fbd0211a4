// The X11 capture on a private X server: the game window streamed and stopped again and again while its
// frames come, each stop keeping its promise (the test command runs this under TSan too).
#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>

#include "platform/gtk/x11/x11_capture.h"
// After GoogleTest, whose names X11's macros (None, Bool) would replace.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace qm::gtk {

TEST(X11Capture, StopsWhileFramesComeAndNoFrameFollows) {
  Display* dpy = XOpenDisplay(nullptr);
  ASSERT_TRUE(dpy);
  const Window game = XCreateSimpleWindow(dpy, DefaultRootWindow(dpy), 0, 0, 1000, 700, 0, 0, 0x336699);
  XClassHint hint{const_cast<char*>("sober"), const_cast<char*>("sober")};
  XSetClassHint(dpy, game, &hint);
  XMapWindow(dpy, game);
  XSync(dpy, False);
  X11Capture capture("");
  ASSERT_TRUE(capture.available());
  std::promise<std::optional<std::vector<CaptureWindow>>> listed;
  capture.listWindows([&](auto windows) { listed.set_value(std::move(windows)); });
  auto windows = listed.get_future().get();
  ASSERT_TRUE(windows && std::any_of(windows->begin(), windows->end(),
                                     [&](const CaptureWindow& w) { return w.id == game && w.owner == kLinuxGameId; }));
  for (int round = 0; round < 50; ++round) {
    std::atomic<int> frames = 0;
    std::atomic<bool> stopped = false, late = false;
    std::promise<std::shared_ptr<CaptureStream>> started;
    capture.startStream(
        game, {1000, 700, 0, 3, false},
        {[&](const PixelFrame&) { late = late || stopped, frames++; }, [] {},
         [&](std::shared_ptr<CaptureStream> s, std::optional<std::string>) { started.set_value(s); }, nullptr});
    auto stream = started.get_future().get();
    ASSERT_TRUE(stream) << round;
    for (int i = 0; i < 10000 && frames < 2; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_GE(frames, 2) << round;
    stream->stop();
    stopped = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(late) << round << ": a frame after stop returned";
  }
  // Quitting just as a stream starts: the capture stops it while its worker may not have begun.
  capture.startStream(game, {1000, 700, 0, 3, false}, {[](const PixelFrame&) {}, [] {}, [](auto, auto) {}, nullptr});
  XCloseDisplay(dpy);
}

}  // namespace qm::gtk
