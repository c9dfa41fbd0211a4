#include "capture/window_choice.h"

#include <algorithm>
#include <cmath>

namespace qm {

std::optional<CaptureWindow> chooseGameWindow(const std::vector<CaptureWindow>& windows, const std::string& owner) {
  std::optional<CaptureWindow> best;
  for (const auto& w : windows) {
    // A minimised window has no pixels to film, a popup is no game window; one off screen still has both.
    if (!w.mapped || w.popup) continue;
    if (!w.owner || *w.owner != owner || !(w.frame.w > 300) || !(w.frame.h > 200)) continue;
    // Strictly larger only: among equal areas the first listed stays.
    if (!best || w.frame.w * w.frame.h > best->frame.w * best->frame.h) best = w;
  }
  return best;
}

bool isFullScreen(const Rect& window, const std::vector<Screen>& screens) {
  return std::any_of(screens.begin(), screens.end(), [&](const Screen& s) {
    return std::fabs(s.frame.h - window.h) < 2 && std::fabs(s.frame.w - window.w) < 2;
  });
}

// The title bar is cut only where the image has one: a full-screen window has none.
double cropTopFor(const Rect& window, bool titleBar, const std::vector<Screen>& screens) {
  return !titleBar || isFullScreen(window, screens) ? 0.0 : std::min(28.0 / window.h, 0.2);
}

OutputSize outputSizeFor(const Rect& window) {
  double scale = std::min(1280.0 / window.w, 1.0);
  auto even = [](double v) { return static_cast<int>(std::trunc(v)) & ~1; };
  return {even(window.w * scale), even(window.h * scale)};
}

}  // namespace qm
