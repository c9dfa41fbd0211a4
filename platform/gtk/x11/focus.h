// The keyboard focus and the stacking of our windows on X11, with or without a window manager.
#pragma once

#include <gdk/gdk.h>

#include <functional>

namespace qm::gtk {

// The window manager on a screen: none; a plain one (it manages windows, but knows no EWMH activation
// requests); or an EWMH one. The one answer for placement and for focus.
enum class WindowManager { none, plain, ewmh };
WindowManager windowManagerOf(GdkScreen* screen);

// A window the user asked for (a dialog opened from a menu) takes the keyboard: the window manager is
// told the request is the user's own, so its focus-stealing prevention lets it through; without one,
// X is asked directly.
// `time`: the user's event that asked for it (0: now).
void focusAsAsked(GdkWindow* window, guint32 time = 0);
// The same for any client's X window, another application's too.
void focusAsAsked(GdkDisplay* display, unsigned long xwindow, guint32 time = 0);

// Whether the X window manager is wlroots' (sway's and other wlroots desktops'): it gives the compositor's
// keyboard to an override-redirect window that maps or is clicked unless its type never takes it (a utility's),
// and takes back any X focus change a client makes.
bool wlrootsWindowManager(GdkScreen* screen);

// The X window that has the keyboard now (0 for none, the root or pointer-root).
unsigned long focusedXWindow(GdkDisplay* display);
// The window manager's active window (_NET_ACTIVE_WINDOW), 0 for none or a window that is not an X one.
unsigned long activeXWindow(GdkDisplay* display);
// The client window that has the keyboard: the window manager's active one, else the X focus (0: none).
unsigned long keyboardXWindow(GdkDisplay* display);
// Gives the keyboard to an X window, if it still shows.
void giveFocusTo(GdkDisplay* display, unsigned long xwindow);
// Whether the keyboard is in `window` or one of its children.
bool hasFocus(GdkWindow* window);

// Calls `restacked` whenever a window that is not override-redirect (a game, a window manager's frame,
// our main window) is mapped or moved in the stack, for as long as the watch lives.
class RestackWatch {
 public:
  explicit RestackWatch(std::function<void()> restacked);
  ~RestackWatch();
  RestackWatch(const RestackWatch&) = delete;
  RestackWatch& operator=(const RestackWatch&) = delete;

 private:
  static GdkFilterReturn filter(GdkXEvent* xevent, GdkEvent*, gpointer self);
  std::function<void()> restacked;
};

}  // namespace qm::gtk
