// The game window's pixels on X11: window list from the window manager or the root's children, pixels
// from XComposite + XShm on a worker thread with its own Display, scaled by XRender.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/capture.h"
#include "platform/gtk/worker_set.h"

namespace qm::gtk {

class X11Capture : public Capture {
 public:
  explicit X11Capture(std::string displayName);
  ~X11Capture() override;  // stops every stream and joins every worker
  bool available() const override { return usable; }
  std::string gameOwnerId() const override { return "org.vinegarhq.Sober"; }
  void listWindows(std::function<void(std::optional<std::vector<CaptureWindow>>)> done) override;
  void requestAccess() override {}  // X11 asks for no permission
  void startStream(std::uint64_t windowId, const StreamConfig& config, StreamCallbacks callbacks) override;

 private:
  std::string displayName;
  bool usable = false;
  std::mutex mutex;  // guards closing and streams
  bool closing = false;
  std::vector<std::weak_ptr<CaptureStream>> streams;
  WorkerSet workers;
};

}  // namespace qm::gtk
