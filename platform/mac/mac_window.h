// Windows and floating panels on AppKit: the main NSWindow, the overlay's NSPanel subclass that can take
// the keyboard, and the bubble's panel with its round view. Floating panels sit at level 1000 on every
// space, beside full-screen windows, and never activate the application.
#pragma once

#include <memory>

#include "platform/window.h"

namespace qm::mac {

inline constexpr long kFloatingLevel = 1000;  // NSWindowLevel: the screen-saver level, above full-screen windows

class MacWindow : public Window {
 public:
  MacWindow(const WindowOptions& options, WindowDelegate* delegate);
  ~MacWindow() override;
  MacWindow(const MacWindow&) = delete;
  MacWindow& operator=(const MacWindow&) = delete;

  Rect frame() const override;
  void setFrame(const Rect& frame) override;
  void setOrigin(const Point& origin) override;
  void showAsKey() override;
  void showWithoutActivating() override;
  void hide() override;
  bool visible() const override;
  void setAlpha(double alpha) override;
  void setContent(WebView& view) override;
  void whenDrawn(std::function<void()> then) override;
  void setBubbleContent(const BubbleStyle& style, BubbleHandlers handlers) override;
  std::optional<Rect> screenVisibleFrame() const override;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl;
};

}  // namespace qm::mac
