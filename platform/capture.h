// Listing shareable windows and streaming the pixels of one of them.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "geometry.h"

namespace qm {

// The Linux game player's application id (a Flatpak), which its windows and shared streams carry.
inline constexpr const char* kLinuxGameId = "org.vinegarhq.Sober";

struct CaptureWindow {
  std::optional<std::string> owner;  // owning application id, none when unknown
  std::uint64_t id = 0;
  Rect frame;  // points, as the screens
  bool onScreen = false;
  bool mapped = true;    // its pixels exist: not minimised or withdrawn
  bool popup = false;    // a menu or tooltip above the windows (override-redirect), no window of its own
  bool titleBar = true;  // the captured image includes the window's title bar
};

struct OutputSize {
  int width = 0, height = 0;
  bool operator==(const OutputSize&) const = default;
};

// One frame in memory, 4 bytes a pixel in B, G, R, X order; valid only during the call.
struct PixelFrame {
  const std::uint8_t* pixels = nullptr;
  int width = 0, height = 0, stride = 0;
};

struct StreamConfig {
  int width = 0, height = 0;
  double minFrameInterval = 0.25;
  int queueDepth = 3;
  bool showsCursor = false;
};

class CaptureStream {
 public:
  virtual ~CaptureStream() = default;
  virtual void stop() = 0;  // no more frames after it returns, no stopped report
};

struct StreamCallbacks {
  std::function<void(const PixelFrame&)> frame;  // on the stream's worker, one at a time
  std::function<void()> stopped;                 // the stream ended by itself
  // The set-up's answer: the running stream, or the error text.
  std::function<void(std::shared_ptr<CaptureStream>, std::optional<std::string>)> started;
  // On the stream's worker: the window now measures width x height points; answers the frames' size from now on.
  std::function<OutputSize(double width, double height)> resized;
};

// Where the player lets the bodycam film the game: the system's privacy settings, the desktop's own
// dialog that asks which window to share, or nowhere (the desktop shares no windows); or the desktop's
// dialog was asked for and never answered; or nothing asks at all (an X server lists windows to anyone).
enum class CaptureConsent { systemSettings, desktopDialog, notOffered, desktopSilent, unasked };

class Capture {
 public:
  virtual ~Capture() = default;
  virtual bool available() const = 0;
  virtual CaptureConsent consent() const { return CaptureConsent::systemSettings; }
  virtual std::string gameOwnerId() const = 0;
  // All windows (desktop windows left out, off-screen ones kept), or none when listing is not possible.
  // Asked on the main thread, answered off it.
  virtual void listWindows(std::function<void(std::optional<std::vector<CaptureWindow>>)> done) = 0;
  // Whether the system lets the program capture now; asked on the main thread.
  virtual bool accessGranted() const { return true; }
  // Asks the system for the permission (its prompt the first time); called on the main thread.
  virtual void requestAccess() = 0;
  // Answered off the main thread through callbacks.started.
  virtual void startStream(std::uint64_t windowId, const StreamConfig& config, StreamCallbacks callbacks) = 0;
};

}  // namespace qm
