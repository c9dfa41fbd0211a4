// Conversion between the core's coordinates (y up from the primary screen's bottom) and X11's (y down).
#pragma once

#include <gdk/gdk.h>

#include <algorithm>

#include "platform/geometry.h"

namespace qm::gtk {

inline GdkMonitor* primaryMonitor() {
  GdkDisplay* display = gdk_display_get_default();
  GdkMonitor* primary = display ? gdk_display_get_primary_monitor(display) : nullptr;
  return !primary && display ? gdk_display_get_monitor(display, 0) : primary;
}

// Height of the primary monitor's bottom edge in X coordinates (GDK's units, as every rectangle here).
inline int primaryBottom() {
  GdkMonitor* primary = primaryMonitor();
  if (!primary) return 0;
  GdkRectangle g;
  gdk_monitor_get_geometry(primary, &g);
  return g.y + g.height;
}

inline Rect fromX(const GdkRectangle& r) {
  return {static_cast<double>(r.x), static_cast<double>(primaryBottom() - r.y - r.height), static_cast<double>(r.width),
          static_cast<double>(r.height)};
}

inline GdkRectangle toX(const Rect& r) {
  return {static_cast<int>(r.x), static_cast<int>(primaryBottom() - r.y - r.h), static_cast<int>(r.w),
          static_cast<int>(r.h)};
}

// Device pixels per GDK unit (GDK_SCALE): other programs' windows come in pixels.
inline int windowScale() {
  GdkMonitor* primary = primaryMonitor();
  return primary ? std::max(1, gdk_monitor_get_scale_factor(primary)) : 1;
}

inline Point pointFromX(double x, double y) { return {x, primaryBottom() - y}; }

}  // namespace qm::gtk
