#include "platform/gtk/session.h"

#include <gdk/gdk.h>

#include <cstdlib>
#include <cstring>

namespace qm::gtk {
namespace {

bool set(const char* value) { return value && *value; }

// WebKit binds a Wayland display into the pages' sandbox by its name in the runtime folder: a display given
// as a path into that folder is named so before anything reads it (a path ended the app at its first page).
void nameWaylandDisplayInRuntimeFolder() {
  const char* display = std::getenv("WAYLAND_DISPLAY");
  if (!display || !g_path_is_absolute(display)) return;
  g_autofree char* folder = g_path_get_dirname(display);
  g_autofree char* name = g_path_get_basename(display);
  if (std::strcmp(folder, g_get_user_runtime_dir()) == 0) g_setenv("WAYLAND_DISPLAY", name, TRUE);
}

}  // namespace

SessionKind detectSession(const char* waylandDisplay, const char* display, const char* sessionType) {
  bool wayland = set(waylandDisplay) || (set(sessionType) && std::strcmp(sessionType, "wayland") == 0);
  if (!wayland) return SessionKind::X11;
  return set(display) ? SessionKind::WaylandWithX : SessionKind::WaylandOnly;
}

SessionKind currentSession() {
  return detectSession(std::getenv("WAYLAND_DISPLAY"), std::getenv("DISPLAY"), std::getenv("XDG_SESSION_TYPE"));
}

void chooseBackend(SessionKind kind) {
  if (kind == SessionKind::WaylandWithX) gdk_set_allowed_backends("x11");
  if (kind == SessionKind::WaylandOnly) nameWaylandDisplayInRuntimeFolder();
}

std::string sessionName(SessionKind kind) {
  switch (kind) {
    case SessionKind::X11: return "X11";
    case SessionKind::WaylandWithX: return "Wayland with XWayland";
    case SessionKind::WaylandOnly: return "Wayland without XWayland";
  }
  return "";
}

bool statusNotifierHost(GDBusConnection* bus) {
  if (!bus) return false;
  g_autoptr(GVariant) reply = g_dbus_connection_call_sync(
      bus, "org.kde.StatusNotifierWatcher", "/StatusNotifierWatcher", "org.freedesktop.DBus.Properties", "Get",
      g_variant_new("(ss)", "org.kde.StatusNotifierWatcher", "IsStatusNotifierHostRegistered"), G_VARIANT_TYPE("(v)"),
      G_DBUS_CALL_FLAGS_NO_AUTO_START, 2000, nullptr, nullptr);
  if (!reply) return false;
  g_autoptr(GVariant) value = nullptr;
  g_variant_get(reply, "(v)", &value);
  return g_variant_is_of_type(value, G_VARIANT_TYPE_BOOLEAN) && g_variant_get_boolean(value);
}

}  // namespace qm::gtk
