#include <cmath>

#include "app/app.h"
#include "app/rect_text.h"
#include "overlay/bubble.h"

namespace qm {

void Bubble::mouseDown() {
  start = desktop.mouseLocation();
  if (window) {
    Rect f = window->frame();
    origin = {f.x, f.y};
  } else {
    origin = {};
  }
  moved = false;
}

void Bubble::mouseDragged() {
  double dy = desktop.mouseLocation().y - start.y;
  if (std::fabs(dy) > 3) moved = true;
  if (window) window->setOrigin({origin.x, origin.y + dy});
}

void Bubble::mouseUp() {
  if (moved) {
    if (window)
      settings.set("bubbleY", window->frame().y);
    else
      settings.remove("bubbleY");
  } else if (onClick) {
    onClick();
  }
}

void App::minimize() {
  if (!overlay) return;
  Rect v = overlay->screenVisibleFrame().value_or(mainScreenVisibleFrame());
  if (!bubble) {
    auto y = defaults.get("bubbleY");
    WindowOptions options;
    options.kind = WindowKind::Bubble;
    options.rect = {v.maxX() - 64, y && y->is_number() ? y->get<double>() : v.midY() - 29, 58, 58};
    bubble = platform.desktop.makeWindow(options, nullptr);
    bubbleView = std::make_unique<Bubble>(platform.desktop, defaults);
    bubbleView->window = bubble.get();
    std::weak_ptr<App> weak = weak_from_this();
    bubbleView->onClick = [weak] {
      if (auto app = weak.lock()) app->restore();
    };
    Bubble* view = bubbleView.get();
    bubble->setBubbleContent(
        bubbleStyle(), {[view] { view->mouseDown(); }, [view] { view->mouseDragged(); }, [view] { view->mouseUp(); }});
  }
  overlay->hide();
  bubble->showWithoutActivating();
}

void App::restore() {
  if (bubble) bubble->hide();
  showOverlay();
}

void App::dragOverlay() {
  if (!overlay || !overlay->knowsPosition()) return;
  Point start = platform.desktop.mouseLocation();
  Rect origin = overlay->frame();
  if (dragTimer) dragTimer->invalidate();
  Window* panel = overlay.get();
  Desktop& desk = platform.desktop;
  Settings& settings = defaults;
  dragTimer = desk.scheduleRepeating(1.0 / 60.0, [panel, start, origin, &desk, &settings](Timer& timer) {
    if (desk.leftButtonDown()) {
      Point p = desk.mouseLocation();
      panel->setOrigin({origin.x + p.x - start.x, origin.y + p.y - start.y});
    } else {
      timer.invalidate();
      settings.set("overlayFrame", stringFromRect(panel->frame()));
    }
  });
}

BubbleStyle bubbleStyle() { return {{0.07, 0.07, 0.08, 0.96}, {1.0, 1.0, 1.0, 0.14}, 2, 1.5, 11}; }

}  // namespace qm
