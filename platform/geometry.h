// Geometry shared by the core and the backends: points, y up, origin at the bottom left of the primary screen.
#pragma once

namespace qm {

struct Point {
  double x = 0, y = 0;
  bool operator==(const Point&) const = default;
};

struct Rect {
  double x = 0, y = 0, w = 0, h = 0;
  bool operator==(const Rect&) const = default;
  double maxX() const { return x + w; }
  double midX() const { return x + w / 2; }
  double midY() const { return y + h / 2; }
};

}  // namespace qm
