// Which capture films the game in this session: X11 for a game on an X server (an X11 session, or the game
// forced onto XWayland), else, on a Wayland session, the desktop's ScreenCast portal.
#pragma once

#include <atomic>
#include <optional>
#include <string>

#include "platform/capture.h"
#include "platform/gtk/portal/portal_capture.h"
#include "platform/gtk/x11/x11_capture.h"
#include "platform/settings.h"

namespace qm::gtk {

// Whether the game is among the windows an X server lists.
bool gameOnX11(const std::optional<std::vector<CaptureWindow>>& windows, const std::string& gameOwner);

class SessionCapture : public Capture {
 public:
  SessionCapture(const std::string& displayName, std::function<ScreenUnits()> units, Settings& settings,
                 bool waylandSession, PortalCapture::Note note, PortalCapture::Parent parent);
  bool available() const override;
  CaptureConsent consent() const override;
  std::string gameOwnerId() const override { return x11.gameOwnerId(); }
  void listWindows(std::function<void(std::optional<std::vector<CaptureWindow>>)> done) override;
  void requestAccess() override {}
  void startStream(std::uint64_t windowId, const StreamConfig& config, StreamCallbacks callbacks) override;

 private:
  void listShared(std::function<void(std::optional<std::vector<CaptureWindow>>)> done);
  X11Capture x11;
  std::optional<PortalCapture> portal;   // on a Wayland session only
  std::atomic<Capture*> answered{&x11};  // the capture whose listing the next stream comes from
};

}  // namespace qm::gtk
