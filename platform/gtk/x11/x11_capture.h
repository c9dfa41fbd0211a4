// The game window's pixels on X11: window list from the window manager or the root's children, pixels
// from XComposite + XShm on a worker thread with its own Display, scaled by XRender.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/capture.h"
#include "platform/gtk/worker_set.h"

namespace qm::gtk {

// How X's pixels become the core's points: pixels per point, and the primary screen's bottom edge in points.
struct ScreenUnits {
  int scale = 1;
  int primaryBottom = 0;
};

class X11Capture : public Capture {
 public:
  // units is asked on the main thread at each listing; without it a pixel is a point and y runs up from
  // the bottom of the X screen.
  explicit X11Capture(std::string displayName, std::function<ScreenUnits()> units = nullptr);
  ~X11Capture() override;  // stops every stream and joins every worker
  bool available() const override { return usable; }
  std::string gameOwnerId() const override { return kLinuxGameId; }
  void listWindows(std::function<void(std::optional<std::vector<CaptureWindow>>)> done) override;
  void requestAccess() override {}  // X11 asks for no permission
  void startStream(std::uint64_t windowId, const StreamConfig& config, StreamCallbacks callbacks) override;

 private:
  std::string displayName;
  std::function<ScreenUnits()> units;
  int scale = 1;  // of the last listing, for the streams it starts
  bool usable = false;
  std::mutex mutex;  // guards closing and streams
  bool closing = false;
  std::vector<std::weak_ptr<CaptureStream>> streams;
  WorkerSet workers;
};

}  // namespace qm::gtk
