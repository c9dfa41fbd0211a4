#include "platform/gtk/session_capture.h"

#include <algorithm>

namespace qm::gtk {

bool gameOnX11(const std::optional<std::vector<CaptureWindow>>& windows, const std::string& gameOwner) {
  return windows &&
         std::any_of(windows->begin(), windows->end(), [&](const CaptureWindow& w) { return w.owner == gameOwner; });
}

SessionCapture::SessionCapture(const std::string& displayName, std::function<ScreenUnits()> units, Settings& settings,
                               bool waylandSession, PortalCapture::Note note, PortalCapture::Parent parent)
    : x11(displayName, std::move(units)) {
  if (waylandSession) portal.emplace(settings, std::move(note), std::move(parent));
}

bool SessionCapture::available() const { return x11.available() || (portal && portal->available()); }

CaptureConsent SessionCapture::consent() const {
  if (portal && !portal->available()) return CaptureConsent::notOffered;
  return portal ? portal->consent() : CaptureConsent::unasked;
}

void SessionCapture::listWindows(std::function<void(std::optional<std::vector<CaptureWindow>>)> done) {
  if (!portal) {
    answered = &x11;
    return x11.listWindows(std::move(done));
  }
  if (!x11.available()) return listShared(std::move(done));
  x11.listWindows([this, done = std::move(done)](std::optional<std::vector<CaptureWindow>> windows) mutable {
    if (gameOnX11(windows, gameOwnerId())) {
      answered = &x11;
      return done(std::move(windows));
    }
    // The portal speaks on the main loop.
    postToMainLoop([this, done = std::move(done)]() mutable { listShared(std::move(done)); });
  });
}

// A native Wayland game: the window the player shares, or none where the desktop shares no windows.
void SessionCapture::listShared(std::function<void(std::optional<std::vector<CaptureWindow>>)> done) {
  answered = &*portal;
  portal->listWindows(std::move(done));
}

void SessionCapture::startStream(std::uint64_t windowId, const StreamConfig& config, StreamCallbacks callbacks) {
  answered.load()->startStream(windowId, config, std::move(callbacks));
}

}  // namespace qm::gtk
