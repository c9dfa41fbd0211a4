// Windows and floating panels, in the core's coordinates.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "geometry.h"
#include "web_view.h"

namespace qm {

enum class WindowKind {
  Main,     // titled, closable, miniaturizable, resizable
  Overlay,  // floating, borderless, resizable, non-activating, round corners
  Bubble,   // floating, borderless, non-activating, circular
};

struct WindowOptions {
  WindowKind kind = WindowKind::Main;
  Rect rect;                 // content rectangle, or the whole frame when rectIsFrame
  bool rectIsFrame = false;  // a saved frame includes the decorations
  std::string title;
  double minWidth = 0, minHeight = 0;
  Color background;
  double cornerRadius = 0;
  std::string loadingText;  // shown in the window until its content's first page commits
};

struct BubbleStyle {
  Color fill, outline;
  double inset = 2, outlineWidth = 1.5, iconInset = 11;
};

// Mouse events of the bubble, in screen coordinates taken from the pointer.
struct BubbleHandlers {
  std::function<void()> down, dragged, up;
};

class Window {
 public:
  virtual ~Window() = default;
  virtual Rect frame() const = 0;
  virtual void setFrame(const Rect& frame) = 0;
  virtual void setOrigin(const Point& origin) = 0;
  virtual void showAsKey() = 0;              // bring forward and make it the key window
  virtual void showWithoutActivating() = 0;  // in front, the focus stays where it is
  virtual void hide() = 0;
  virtual bool visible() const = 0;
  virtual void setAlpha(double alpha) = 0;
  virtual void setContent(WebView& view) = 0;
  // Runs `then` on the main thread once the shown window has been drawn, or soon if it cannot be.
  virtual void whenDrawn(std::function<void()> then) = 0;
  virtual void setBubbleContent(const BubbleStyle& style, BubbleHandlers handlers) = 0;
  // The visible frame of the screen the window is on, if it is on one.
  virtual std::optional<Rect> screenVisibleFrame() const = 0;
  // False where the desktop neither tells nor takes a window's position (Wayland without XWayland).
  virtual bool knowsPosition() const { return true; }
};

class WindowDelegate {
 public:
  virtual ~WindowDelegate() = default;
  virtual void windowWillClose(Window& window) = 0;
};

}  // namespace qm
