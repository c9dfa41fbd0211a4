#include "platform/gtk/x11/focus.h"

#include <X11/Xatom.h>
#include <gdk/gdkx.h>

#include <string_view>

#include "platform/gtk/x11/window_property.h"

namespace qm::gtk {
namespace {

constexpr long kSourceUser = 2;  // _NET_ACTIVE_WINDOW source indication: a direct user action

}  // namespace

WindowManager windowManagerOf(GdkScreen* screen) {
  if (!GDK_IS_X11_SCREEN(screen)) return WindowManager::ewmh;  // a compositor manages every window
  XWindowAttributes root{};
  XGetWindowAttributes(GDK_SCREEN_XDISPLAY(screen), GDK_WINDOW_XID(gdk_screen_get_root_window(screen)), &root);
  if (!(root.all_event_masks & SubstructureRedirectMask)) return WindowManager::none;
  return gdk_x11_screen_supports_net_wm_hint(screen, gdk_atom_intern_static_string("_NET_ACTIVE_WINDOW"))
             ? WindowManager::ewmh
             : WindowManager::plain;
}

bool wlrootsWindowManager(GdkScreen* screen) {
  const char* name = GDK_IS_X11_SCREEN(screen) ? gdk_x11_screen_get_window_manager_name(screen) : nullptr;
  return name && std::string_view(name) == "wlroots wm";
}

void focusAsAsked(GdkWindow* window, guint32 time) {
  if (!window || !GDK_IS_X11_WINDOW(window)) return;
  focusAsAsked(gdk_window_get_display(window), GDK_WINDOW_XID(window), time ? time : gdk_x11_get_server_time(window));
}

void focusAsAsked(GdkDisplay* display, unsigned long xwindow, guint32 time) {
  if (!xwindow || !GDK_IS_X11_DISPLAY(display)) return;
  if (windowManagerOf(gdk_display_get_default_screen(display)) != WindowManager::ewmh)
    return giveFocusTo(display, xwindow);
  Display* x = GDK_DISPLAY_XDISPLAY(display);
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = xwindow;
  e.xclient.message_type = gdk_x11_get_xatom_by_name_for_display(display, "_NET_ACTIVE_WINDOW");
  e.xclient.format = 32;
  e.xclient.data.l[0] = kSourceUser;
  e.xclient.data.l[1] = static_cast<long>(time);  // 0: now
  XSendEvent(x, DefaultRootWindow(x), False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
  XFlush(x);
}

unsigned long focusedXWindow(GdkDisplay* display) {
  if (!GDK_IS_X11_DISPLAY(display)) return 0;
  Display* x = GDK_DISPLAY_XDISPLAY(display);
  ::Window focus = None;
  int revert = 0;
  XGetInputFocus(x, &focus, &revert);
  if (focus == PointerRoot || focus == DefaultRootWindow(x)) return 0;
  return focus;
}

unsigned long activeXWindow(GdkDisplay* display) {
  if (!GDK_IS_X11_DISPLAY(display)) return 0;
  Display* x = GDK_DISPLAY_XDISPLAY(display);
  Atom type = None;
  int format = 0;
  unsigned long count = 0, left = 0;
  unsigned char* data = nullptr;
  std::vector<unsigned long> active;
  if (XGetWindowProperty(x, DefaultRootWindow(x), gdk_x11_get_xatom_by_name_for_display(display, "_NET_ACTIVE_WINDOW"),
                         0, 1, False, XA_WINDOW, &type, &format, &count, &left, &data) == Success)
    active = windowsIn(type, format, count, data);
  if (data) XFree(data);
  return active.size() == 1 ? active.front() : 0;
}

unsigned long keyboardXWindow(GdkDisplay* display) {
  unsigned long focus = focusedXWindow(display);
  if (!focus || windowManagerOf(gdk_display_get_default_screen(display)) != WindowManager::ewmh) return focus;
  // The focus as X has it (the window manager's property may lag behind), as the client window the manager
  // knows: itself or the ancestor with WM_STATE. A panel of ours has none: then the manager's active one.
  Display* x = GDK_DISPLAY_XDISPLAY(display);
  Atom wmState = gdk_x11_get_xatom_by_name_for_display(display, "WM_STATE");
  unsigned long client = 0;
  gdk_x11_display_error_trap_push(display);
  for (unsigned long w = focus; w && !client;) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0, left = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(x, w, wmState, 0, 0, False, AnyPropertyType, &type, &format, &count, &left, &data) ==
            Success &&
        type != None)
      client = w;
    if (data) XFree(data);
    ::Window root = None, parent = None, *children = nullptr;
    unsigned n = 0;
    if (client || !XQueryTree(x, w, &root, &parent, &children, &n)) break;
    if (children) XFree(children);
    w = parent == root ? 0 : parent;
  }
  gdk_x11_display_error_trap_pop_ignored(display);
  return client ? client : activeXWindow(display);
}

void giveFocusTo(GdkDisplay* display, unsigned long xwindow) {
  if (!xwindow || !GDK_IS_X11_DISPLAY(display)) return;
  Display* x = GDK_DISPLAY_XDISPLAY(display);
  gdk_x11_display_error_trap_push(display);
  XWindowAttributes attributes;
  // A window that went away or no longer shows cannot take the keyboard (X would refuse it).
  if (XGetWindowAttributes(x, xwindow, &attributes) && attributes.map_state == IsViewable)
    XSetInputFocus(x, xwindow, RevertToPointerRoot, CurrentTime);
  gdk_x11_display_error_trap_pop_ignored(display);
}

bool hasFocus(GdkWindow* window) {
  if (!window || !GDK_IS_X11_WINDOW(window)) return false;
  GdkDisplay* display = gdk_window_get_display(window);
  Display* x = GDK_DISPLAY_XDISPLAY(display);
  ::Window focus = focusedXWindow(display), root = None, parent = None, *children = nullptr;
  unsigned count = 0;
  gdk_x11_display_error_trap_push(display);
  // The focus may sit on a child window of ours (GTK's focus window): walk up to the top.
  while (focus && focus != GDK_WINDOW_XID(window) && XQueryTree(x, focus, &root, &parent, &children, &count)) {
    if (children) XFree(children);
    focus = parent == root ? None : parent;
  }
  gdk_x11_display_error_trap_pop_ignored(display);
  return focus == GDK_WINDOW_XID(window);
}

RestackWatch::RestackWatch(std::function<void()> r) : restacked(std::move(r)) {
  GdkWindow* root = gdk_get_default_root_window();
  gdk_window_set_events(root, static_cast<GdkEventMask>(gdk_window_get_events(root) | GDK_SUBSTRUCTURE_MASK));
  gdk_window_add_filter(root, filter, this);
}

RestackWatch::~RestackWatch() { gdk_window_remove_filter(gdk_get_default_root_window(), filter, this); }

GdkFilterReturn RestackWatch::filter(GdkXEvent* xevent, GdkEvent*, gpointer self) {
  const auto* e = static_cast<XEvent*>(xevent);
  // Floating panels and menus are override-redirect; everything else belongs below them.
  bool managed = (e->type == ConfigureNotify && !e->xconfigure.override_redirect) ||
                 (e->type == MapNotify && !e->xmap.override_redirect);
  if (managed) static_cast<RestackWatch*>(self)->restacked();
  return GDK_FILTER_CONTINUE;
}

}  // namespace qm::gtk
