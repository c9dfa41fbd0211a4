// The portal's two call orders: the documented CreateSession, then BindShortcuts for what ListShortcuts
// does not know yet; and KDE Plasma 5.27's, which registers only the shortcuts passed in CreateSession's
// options (under the app and the session token, so the token stays the same from run to run) and whose
// BindShortcuts only opens its settings. Passing both and binding only what is missing serves both.
#include "platform/gtk/portal/global_shortcuts.h"

#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <memory>
#include <utility>

#include "platform/gtk/portal/replies.h"
#include "platform/gtk/x11/keycodes.h"

namespace qm::gtk {
namespace {

constexpr const char* kPortal = "org.freedesktop.portal.Desktop";
constexpr const char* kInterface = "org.freedesktop.portal.GlobalShortcuts";
constexpr const char* kSessionToken = "quillmere";
// A desktop that has not answered by then never will: its keys fall back to XWayland's.
constexpr guint kAnswerWaitSeconds = 30;
// A restarting portal is back within seconds, and KDE's registers the shortcuts again within about 30 s.
constexpr guint kReturnWaitSeconds = 90;

bool cancelled(GError* error) { return g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED); }

}  // namespace

PortalShortcuts::PortalShortcuts(GDBusConnection* connection, std::string id, std::vector<PortalShortcut> list,
                                 Listener l)
    : bus(G_DBUS_CONNECTION(g_object_ref(connection))),
      cancel(g_cancellable_new()),
      appId(std::move(id)),
      shortcuts(std::move(list)),
      listener(std::move(l)) {
  subscriptions.push_back(g_dbus_connection_signal_subscribe(
      bus.get(), kPortal, kInterface, nullptr, kPortalPath, nullptr, G_DBUS_SIGNAL_FLAGS_NONE,
      [](GDBusConnection*, const char*, const char*, const char*, const char* member, GVariant* parameters,
         gpointer self) { static_cast<PortalShortcuts*>(self)->onSignal(member, parameters); },
      this, nullptr));
  watchPortal();
  start();
}

PortalShortcuts::~PortalShortcuts() {
  g_cancellable_cancel(cancel.get());
  if (answerTimeout) g_source_remove(answerTimeout);
  g_bus_unwatch_name(nameWatch);
  for (guint id : subscriptions) g_dbus_connection_signal_unsubscribe(bus.get(), id);
  closeSession(bus.get(), kPortal, session);
}

std::optional<std::string> PortalShortcuts::trigger(const std::string& id) const {
  if (current != State::Ready) return std::nullopt;
  auto found = triggers.find(id);
  return found == triggers.end() ? "" : found->second;
}

void PortalShortcuts::configure() {
  if (!canConfigure()) return;
  g_dbus_connection_call(bus.get(), kPortal, kPortalPath, kInterface, "ConfigureShortcuts",
                         g_variant_new("(osa{sv})", session.c_str(), "", nullptr), nullptr, G_DBUS_CALL_FLAGS_NONE, -1,
                         nullptr, nullptr, nullptr);
}

// Newer portals refuse a host app's session until it has said its app id; older ones have no registry.
void PortalShortcuts::start() {
  g_dbus_connection_call(bus.get(), kPortal, kPortalPath, "org.freedesktop.host.portal.Registry", "Register",
                         g_variant_new("(sa{sv})", appId.c_str(), nullptr), nullptr, G_DBUS_CALL_FLAGS_NONE, -1,
                         cancel.get(), onRegistered, this);
}

void PortalShortcuts::onRegistered(GObject* source, GAsyncResult* result, gpointer data) {
  g_autoptr(GError) error = nullptr;
  g_autoptr(GVariant) reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &error);
  if (cancelled(error)) return;
  auto* self = static_cast<PortalShortcuts*>(data);
  g_dbus_connection_call(self->bus.get(), kPortal, kPortalPath, "org.freedesktop.DBus.Properties", "Get",
                         g_variant_new("(ss)", kInterface, "version"), G_VARIANT_TYPE("(v)"), G_DBUS_CALL_FLAGS_NONE,
                         -1, self->cancel.get(), onVersion, self);
}

void PortalShortcuts::onVersion(GObject* source, GAsyncResult* result, gpointer data) {
  g_autoptr(GError) error = nullptr;
  g_autoptr(GVariant) reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &error);
  if (cancelled(error)) return;
  auto* self = static_cast<PortalShortcuts*>(data);
  if (!reply) return self->finish(State::Absent, std::string("Global shortcuts portal: none (") + error->message + ")");
  g_autoptr(GVariant) value = nullptr;
  g_variant_get(reply, "(v)", &value);
  if (g_variant_is_of_type(value, G_VARIANT_TYPE_UINT32)) self->version = g_variant_get_uint32(value);
  self->createSession();
}

void PortalShortcuts::createSession() {
  PortalOptions options;
  options.add("session_handle_token", g_variant_new_string(kSessionToken));
  options.add("shortcuts", shortcutList());
  request("CreateSession", g_variant_new("(@a{sv})", options.end()), options.token,
          [this](guint32 response, GVariant* results) {
            session = sessionHandle(results);
            if (response != 0 || session.empty())
              return finish(State::Refused,
                            "Global shortcuts portal: no session (answer " + std::to_string(response) + ")");
            listShortcuts();
          });
}

void PortalShortcuts::listShortcuts() {
  PortalOptions options;
  request("ListShortcuts", g_variant_new("(o@a{sv})", session.c_str(), options.end()), options.token,
          [this](guint32 response, GVariant* results) {
            if (response == 0) takeTriggers(results);
            if (allBound())
              return finish(State::Ready,
                            "Global shortcuts portal: version " + std::to_string(version) + ", shortcuts known");
            bindShortcuts();
          });
}

void PortalShortcuts::bindShortcuts() {
  PortalOptions options;
  request("BindShortcuts", g_variant_new("(o@a(sa{sv})s@a{sv})", session.c_str(), shortcutList(), "", options.end()),
          options.token, [this](guint32 response, GVariant* results) {
            if (response != 0)
              return finish(State::Refused,
                            "Global shortcuts portal: shortcuts refused (answer " + std::to_string(response) + ")");
            takeTriggers(results);
            finish(State::Ready, "Global shortcuts portal: version " + std::to_string(version) + ", shortcuts bound");
          });
}

void PortalShortcuts::request(const char* method, GVariant* parameters, const std::string& token, Answer answer) {
  pending =
      std::make_unique<PortalRequest>(bus.get(), kPortal, kInterface, method, parameters, token, std::move(answer));
}

void PortalShortcuts::takeTriggers(GVariant* results) {
  g_autoptr(GVariant) list =
      results ? g_variant_lookup_value(results, "shortcuts", G_VARIANT_TYPE("a(sa{sv})")) : nullptr;
  takeTriggerList(list);
}

void PortalShortcuts::takeTriggerList(GVariant* list) {
  for (auto& [id, trigger] : shortcutTriggers(list)) triggers[id] = std::move(trigger);
}

bool PortalShortcuts::allBound() const {
  return std::all_of(shortcuts.begin(), shortcuts.end(), [&](const auto& s) { return triggers.contains(s.id); });
}

// Pressed keys must not stay down when the portal goes away (restarted, or the desktop closed our
// session) or never answers: no release would ever come from it.
void PortalShortcuts::watchPortal() {
  subscriptions.push_back(g_dbus_connection_signal_subscribe(
      bus.get(), kPortal, "org.freedesktop.portal.Session", "Closed", nullptr, nullptr, G_DBUS_SIGNAL_FLAGS_NONE,
      [](GDBusConnection*, const char*, const char* path, const char*, const char*, GVariant*, gpointer data) {
        auto* self = static_cast<PortalShortcuts*>(data);
        if (self->session == path) self->gone("Global shortcuts portal: session closed");
      },
      this, nullptr));
  nameWatch = g_bus_watch_name_on_connection(
      bus.get(), kPortal, G_BUS_NAME_WATCHER_FLAGS_NONE,
      [](GDBusConnection*, const char*, const char*, gpointer data) {
        auto* self = static_cast<PortalShortcuts*>(data);
        self->seen = true;
        if (std::exchange(self->returning, false) && !self->detached) self->start();
      },
      [](GDBusConnection*, const char*, gpointer data) {
        auto* self = static_cast<PortalShortcuts*>(data);
        if (self->seen) self->lost();
      },
      this, nullptr);
  waitFor(kAnswerWaitSeconds, "no answer in ");
}

// Past this wait, a portal that has not answered (or come back) never will: it is given up on.
void PortalShortcuts::waitFor(guint seconds, const char* what) {
  if (answerTimeout) g_source_remove(answerTimeout);
  struct Wait {
    PortalShortcuts* self;
    std::string line;
  };
  answerTimeout = g_timeout_add_seconds_full(
      G_PRIORITY_DEFAULT, seconds,
      [](gpointer data) {
        auto* wait = static_cast<Wait*>(data);
        wait->self->answerTimeout = 0;
        wait->self->gone(wait->line);
        return G_SOURCE_REMOVE;
      },
      new Wait{this, "Global shortcuts portal: " + std::string(what) + std::to_string(seconds) + " s"},
      [](gpointer data) { delete static_cast<Wait*>(data); });
}

// The portal left the bus (restarted for an update, crashed) and its session with it. Nothing is said
// to the player: the shortcuts are registered again when it is back.
void PortalShortcuts::lost() {
  if (detached || (current != State::Starting && current != State::Ready)) return;
  g_cancellable_cancel(cancel.get());
  cancel.reset(g_cancellable_new());
  pending.reset();
  session.clear();
  releaseHeld();
  returning = true;
  if (listener.note) listener.note("Global shortcuts portal: gone from the bus, waiting for it to come back");
  waitFor(kReturnWaitSeconds, "not back in ");
}

void PortalShortcuts::gone(const std::string& line) {
  if (detached || (current != State::Starting && current != State::Ready)) return;
  g_cancellable_cancel(cancel.get());
  pending.reset();
  returning = false;
  releaseHeld();
  finish(State::Absent, line);
  detached = true;
}

void PortalShortcuts::releaseHeld() {
  for (const auto& id : std::exchange(held, {}))
    if (listener.key) listener.key(id, false);
}

void PortalShortcuts::finish(State state, const std::string& line) {
  if (detached) return;  // a late answer from a portal already given up on
  if (answerTimeout) g_source_remove(std::exchange(answerTimeout, 0));
  current = state;
  if (listener.note) listener.note(line);
  if (listener.changed) listener.changed();
}

void PortalShortcuts::onSignal(const char* member, GVariant* parameters) {
  if (detached) return;
  std::string name = member;
  const char* from = nullptr;
  if (name == "ShortcutsChanged" && g_variant_is_of_type(parameters, G_VARIANT_TYPE("(oa(sa{sv}))"))) {
    g_autoptr(GVariant) list = nullptr;
    g_variant_get(parameters, "(&o@a(sa{sv}))", &from, &list);
    if (session == from) takeTriggerList(list);
    if (session == from && listener.changed) listener.changed();
    return;
  }
  bool down = name == "Activated";
  if ((!down && name != "Deactivated") || !g_variant_is_of_type(parameters, G_VARIANT_TYPE("(osta{sv})"))) return;
  const char* id = nullptr;
  g_variant_get(parameters, "(&o&sta{sv})", &from, &id, nullptr, nullptr);
  if (session != from) return;
  if (down)
    held.insert(id);
  else
    held.erase(id);
  if (listener.key) listener.key(id, down);
}

GVariant* PortalShortcuts::shortcutList() const {
  GVariantBuilder list;
  g_variant_builder_init(&list, G_VARIANT_TYPE("a(sa{sv})"));
  for (const auto& s : shortcuts) {
    GVariantBuilder info;
    g_variant_builder_init(&info, G_VARIANT_TYPE_VARDICT);
    g_variant_builder_add(&info, "{sv}", "description", g_variant_new_string(s.description.c_str()));
    if (!s.preferredTrigger.empty())
      g_variant_builder_add(&info, "{sv}", "preferred_trigger", g_variant_new_string(s.preferredTrigger.c_str()));
    g_variant_builder_add(&list, "(sa{sv})", s.id.c_str(), &info);
  }
  return g_variant_builder_end(&list);
}

std::string triggerForKey(std::uint16_t macKey) {
  auto x = xKeyFromMac(macKey);
  if (!x) return "";
  // Key codes name positions; the trigger names a symbol: the one a US layout puts there.
  std::unique_ptr<xkb_context, decltype(&xkb_context_unref)> context(xkb_context_new(XKB_CONTEXT_NO_FLAGS),
                                                                     xkb_context_unref);
  xkb_rule_names names{"evdev", "pc105", "us", "", ""};
  std::unique_ptr<xkb_keymap, decltype(&xkb_keymap_unref)> keymap(
      context ? xkb_keymap_new_from_names(context.get(), &names, XKB_KEYMAP_COMPILE_NO_FLAGS) : nullptr,
      xkb_keymap_unref);
  if (!keymap) return "";
  const xkb_keysym_t* syms = nullptr;
  if (xkb_keymap_key_get_syms_by_level(keymap.get(), *x, 0, 0, &syms) < 1) return "";
  char name[64];
  return xkb_keysym_get_name(syms[0], name, sizeof name) > 0 ? name : "";
}

}  // namespace qm::gtk
