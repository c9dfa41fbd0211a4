// The game window on a Wayland desktop: the desktop's ScreenCast portal lets the player choose the window
// in its own dialog (once: the choice is remembered with a restore token), PipeWire carries the pixels.
#pragma once

#include <gio/gio.h>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "platform/capture.h"
#include "platform/gtk/gobject_ptr.h"
#include "platform/gtk/main_loop.h"
#include "platform/settings.h"

namespace qm::gtk {

inline constexpr const char* kRestoreTokenKey = "captureRestoreToken";

class PortalCapture : public Capture {
 public:
  using Note = std::function<void(const std::string&)>;
  using Parent = std::function<std::string()>;
  // Asks the portal on the session bus (or the named one) once whether it can share windows. `note`: one log
  // line for each end of a share; `parent`: the window the desktop's dialog belongs to ("x11:XID", or empty);
  // `answerWait`: how long the desktop may take over a step (its dialog too).
  PortalCapture(Settings& settings, Note note, Parent parent = nullptr,
                std::chrono::seconds answerWait = std::chrono::seconds(120),
                const std::string& portalName = "org.freedesktop.portal.Desktop");
  ~PortalCapture() override;  // closes every share and joins every stream's thread
  PortalCapture(const PortalCapture&) = delete;
  PortalCapture& operator=(const PortalCapture&) = delete;

  bool available() const override { return windowsShareable; }
  CaptureConsent consent() const override {
    return unanswered ? CaptureConsent::desktopSilent : CaptureConsent::desktopDialog;
  }
  std::string gameOwnerId() const override { return kLinuxGameId; }
  // The window the player shares, as the desktop's dialog (or the remembered choice) gives it, or none when
  // the player or the portal said no. Answered on the main thread.
  void listWindows(std::function<void(std::optional<std::vector<CaptureWindow>>)> done) override;
  void requestAccess() override {}  // the desktop asks again at the next start without a remembered choice
  void startStream(std::uint64_t windowId, const StreamConfig& config, StreamCallbacks callbacks) override;

  class Share;

 private:
  friend class Share;
  void keepToken(const std::string& token);
  void dropToken();
  void forget(std::uint64_t id);

  Settings& settings;
  Note note;
  Parent parent;
  std::chrono::seconds answerWait;
  std::string portalName;
  bool unanswered = false;  // the last share's step got no answer in time
  GObjectPtr<GDBusConnection> bus;
  bool windowsShareable = false, remembers = false;
  std::uint64_t nextId = 1;
  std::map<std::uint64_t, std::shared_ptr<Share>> shares;
};

}  // namespace qm::gtk
