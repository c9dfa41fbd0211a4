// The minimized overlay's round button: a click restores, a vertical drag slides it along the edge.
#pragma once

#include <functional>

#include "platform/desktop.h"
#include "platform/settings.h"

namespace qm {

class Bubble {
 public:
  Bubble(Desktop& desktop, Settings& settings) : desktop(desktop), settings(settings) {}

  void mouseDown();
  void mouseDragged();
  void mouseUp();

  std::function<void()> onClick;
  Point start;
  Point origin;
  bool moved = false;
  Window* window = nullptr;

 private:
  Desktop& desktop;
  Settings& settings;
};

BubbleStyle bubbleStyle();

}  // namespace qm
