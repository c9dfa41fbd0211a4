// Window capture with ScreenCaptureKit (macOS 12.3 or later; on 12.0 to 12.2 capture is unavailable).
// Frames arrive on the serial queue "qm.capture"; only complete frames are converted, by Core Image,
// into sRGB BGRA pixels for the core's encoder.
#pragma once

#include <memory>

#include "platform/capture.h"

namespace qm::mac {

class MacCapture : public Capture {
 public:
  MacCapture();
  ~MacCapture() override;
  MacCapture(const MacCapture&) = delete;
  MacCapture& operator=(const MacCapture&) = delete;

  bool available() const override;
  std::string gameOwnerId() const override { return "com.roblox.RobloxPlayer"; }
  void listWindows(std::function<void(std::optional<std::vector<CaptureWindow>>)> done) override;
  bool accessGranted() const override;
  void requestAccess() override;
  void startStream(std::uint64_t windowId, const StreamConfig& config, StreamCallbacks callbacks) override;

 private:
  struct Impl;
  std::shared_ptr<Impl> impl;
};

}  // namespace qm::mac
