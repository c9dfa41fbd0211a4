// What the session around the app offers, found once at start: X11, Wayland with XWayland, or Wayland
// alone; and whether a StatusNotifier host shows status items.
#pragma once

#include <gio/gio.h>

#include <string>

namespace qm::gtk {

enum class SessionKind { X11, WaylandWithX, WaylandOnly };

// From the session's variables (WAYLAND_DISPLAY, DISPLAY, XDG_SESSION_TYPE); null means unset.
SessionKind detectSession(const char* waylandDisplay, const char* display, const char* sessionType);
SessionKind currentSession();
// Before GTK starts. On Wayland with XWayland the app's windows go through XWayland: only there do the
// floating panels stay above a full-screen native game (override-redirect windows).
void chooseBackend(SessionKind kind);
std::string sessionName(SessionKind kind);
// Whether a StatusNotifier host is registered (a panel shows status items).
bool statusNotifierHost(GDBusConnection* bus);

}  // namespace qm::gtk
