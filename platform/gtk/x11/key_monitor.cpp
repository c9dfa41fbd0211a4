// Keys on X11 with XInput2 2.1 or later. The raw events arrive whatever window has the focus, also
// during another client's keyboard grab, and do not auto-repeat. Under XWayland they come only while an X11
// window has the focus; Wayland sessions get their keys from the desktop's global shortcut portal.
#include "platform/gtk/x11/key_monitor.h"

#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>

#include "platform/gtk/x11/keycodes.h"

namespace qm::gtk {
namespace {

int xiOpcode = -1;
std::function<void(const KeyEvent&)> globalHandler;
std::function<bool(const KeyEvent&)> localHandler;

bool oneOfOursHasFocus() {
  g_autoptr(GList) windows = gtk_window_list_toplevels();
  bool active = false;
  for (GList* l = windows; l && !active; l = l->next) active = gtk_window_is_active(GTK_WINDOW(l->data));
  return active;
}

GdkFilterReturn rawKeyFilter(GdkXEvent* xevent, GdkEvent*, gpointer) {
  auto* ev = static_cast<XEvent*>(xevent);
  XGenericEventCookie* cookie = &ev->xcookie;
  if (ev->type != GenericEvent || cookie->extension != xiOpcode || !cookie->data) return GDK_FILTER_CONTINUE;
  if (cookie->evtype != XI_RawKeyPress && cookie->evtype != XI_RawKeyRelease) return GDK_FILTER_CONTINUE;
  if (!globalHandler || oneOfOursHasFocus()) return GDK_FILTER_CONTINUE;
  auto* raw = static_cast<XIRawEvent*>(cookie->data);
  if (auto code = macKeyFromX(static_cast<unsigned>(raw->detail)))
    globalHandler({*code, cookie->evtype == XI_RawKeyPress ? KeyType::Down : KeyType::Up});
  return GDK_FILTER_CONTINUE;
}

void dispatch(GdkEvent* event, gpointer) {
  if (localHandler && (event->type == GDK_KEY_PRESS || event->type == GDK_KEY_RELEASE)) {
    auto code = macKeyFromX(event->key.hardware_keycode);
    KeyEvent key{code.value_or(kNoKeyCode), event->type == GDK_KEY_PRESS ? KeyType::Down : KeyType::Up};
    if (!localHandler(key)) return;
  }
  gtk_main_do_event(event);
}

}  // namespace

bool globalKeysAvailable() {
  GdkDisplay* display = gdk_display_get_default();
  if (!display || !GDK_IS_X11_DISPLAY(display)) return false;
  int event, error;
  return XQueryExtension(gdk_x11_display_get_xdisplay(display), "XInputExtension", &xiOpcode, &event, &error);
}

bool installGlobalKeyMonitor(std::function<void(const KeyEvent&)> handler) {
  if (!globalKeysAvailable()) return false;
  Display* dpy = gdk_x11_display_get_xdisplay(gdk_display_get_default());
  unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
  XISetMask(bits, XI_RawKeyPress);
  XISetMask(bits, XI_RawKeyRelease);
  XIEventMask mask{XIAllMasterDevices, sizeof bits, bits};
  XISelectEvents(dpy, DefaultRootWindow(dpy), &mask, 1);
  XFlush(dpy);
  globalHandler = std::move(handler);
  gdk_window_add_filter(nullptr, rawKeyFilter, nullptr);
  return true;
}

void installLocalKeyMonitor(std::function<bool(const KeyEvent&)> handler) {
  localHandler = std::move(handler);
  gdk_event_handler_set(dispatch, nullptr, nullptr);
}

}  // namespace qm::gtk
