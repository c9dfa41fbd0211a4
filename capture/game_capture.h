// The bodycam: finds the game window, streams it, and reports frames or a sentence for the user.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "capture/frame_encoder.h"
#include "platform/capture.h"
#include "platform/desktop.h"

namespace qm {

// macOS applies a new Screen Recording permission only to a program started after it was given.
inline constexpr const char* kCapturePermissionMessage =
    "Allow Quillmere in System Settings > Privacy & Security > Screen Recording, then quit and reopen Quillmere "
    "and start the bodycam again.";
// The same request where the desktop's own dialog asks which window to share.
inline constexpr const char* kCaptureShareMessage =
    "Allow Quillmere to share the Roblox window when your desktop asks, then start the bodycam again.";
// Where the desktop shares no windows, only a game on XWayland can be filmed.
inline constexpr const char* kCaptureNotOfferedMessage =
    "Your desktop does not share windows with Quillmere: run Roblox on XWayland, then start the bodycam again.";
// The desktop did not answer the request in time: its dialog did not show, hung or was left open, which the
// app cannot tell apart.
inline constexpr const char* kCaptureUnansweredMessage =
    "Your desktop did not answer the request to share the Roblox window within two minutes. Start the bodycam "
    "again and choose the Roblox window when your desktop asks; if nothing asks you, run Roblox on XWayland.";
inline constexpr const char* kNoGameMessage = "Open ER:LC in Roblox first, then start the bodycam.";
inline constexpr const char* kCouldNotStartMessage = "The bodycam could not start: ";
inline constexpr const char* kStoppedMessage = "The bodycam stopped: Roblox closed or the capture was turned off.";

class GameCapture : public std::enable_shared_from_this<GameCapture> {
 public:
  static std::shared_ptr<GameCapture> make(Capture& capture, Desktop& desktop);

  void start();  // main thread; answers come through the callbacks
  void stop();   // main thread; sends no message

  // Called on the main thread only.
  std::function<void(const std::string&)> onFrame;
  std::function<void(const std::string&)> onError;

  bool streaming() const;
  double cropTopShare() const { return cropTop; }
  // The game window's new size in points: the frames keep its proportions.
  OutputSize resized(double width, double height);

 private:
  GameCapture(Capture& capture, Desktop& desktop) : capture(capture), desktop(desktop) {}
  void fail(const std::string& message);
  void askForAccess();
  std::string noContentMessage() const;
  void chooseAndStream(const std::optional<std::vector<CaptureWindow>>& windows);
  void streamStarted(std::shared_ptr<CaptureStream> started, const std::optional<std::string>& error);
  void streamStopped();
  void convert(const PixelFrame& frame);
  bool wasStopped() const;

  Capture& capture;
  Desktop& desktop;
  std::vector<Screen> screens;  // taken on the main thread at start
  bool titleBar = true;         // of the chosen window
  std::atomic<double> cropTop = 0;
  FrameEncoder encoder;  // the worker's own

  // Texts the main thread has shown, kept for the worker's next frames so that frames allocate nothing.
  std::string spareText();
  void keepText(std::string text);
  std::mutex spareMutex;
  std::vector<std::string> spareTexts;

  mutable std::mutex mutex;  // guards stream and stopped across the worker, the set-up answer and stop()
  std::shared_ptr<CaptureStream> stream;
  bool stopped = false;
};

}  // namespace qm
