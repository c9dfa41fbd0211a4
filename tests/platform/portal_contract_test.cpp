// The global shortcut portal client against our stand-in portal on a private bus: both call orders, a
// registry that must come first, press and release, the desktop rebinding, a portal that says no, one
// without global shortcuts, none at all, and one that goes away with a key held.
#include <gtest/gtest.h>

#include <csignal>
#include <chrono>
#include <memory>
#include <utility>

#include "platform/gtk/portal/global_shortcuts.h"

namespace qm::gtk {
namespace {

using State = PortalShortcuts::State;

class PrivateBus {
 public:
  PrivateBus() : bus(g_test_dbus_new(G_TEST_DBUS_NONE)) {
    g_test_dbus_up(bus);
    connection = g_dbus_connection_new_for_address_sync(
        g_test_dbus_get_bus_address(bus),
        GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                             G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, nullptr);
  }
  ~PrivateBus() {
    if (portal) {
      kill(portal, SIGTERM);
      g_spawn_close_pid(portal);
    }
    g_object_unref(connection);
    g_test_dbus_down(bus);
    g_object_unref(bus);
  }
  void stopPortal() {
    kill(std::exchange(portal, 0), SIGTERM);
  }
  void startPortal(const std::vector<std::string>& args) {
    std::vector<char*> argv{const_cast<char*>(QM_STANDIN_PORTAL)};
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ASSERT_TRUE(g_spawn_async(nullptr, argv.data(), nullptr, G_SPAWN_DEFAULT, nullptr, nullptr, &portal, nullptr));
    ASSERT_TRUE(runUntil([&] { return owned("org.freedesktop.portal.Desktop"); }));
  }
  GVariant* call(const char* dest, const char* path, const char* iface, const char* method, GVariant* args,
                 const char* type) {
    return g_dbus_connection_call_sync(connection, dest, path, iface, method, args,
                                       type ? G_VARIANT_TYPE(type) : nullptr, G_DBUS_CALL_FLAGS_NONE, -1, nullptr,
                                       nullptr);
  }
  bool owned(const char* name) {
    GVariant* reply = call("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "NameHasOwner",
                           g_variant_new("(s)", name), "(b)");
    gboolean has = FALSE;
    if (reply) g_variant_get(reply, "(b)", &has), g_variant_unref(reply);
    return has;
  }
  GVariant* hook(const char* method, GVariant* args, const char* type = nullptr) {
    return call("org.freedesktop.portal.Desktop", "/org/quillmere/test", "org.quillmere.PortalTest", method, args,
                type);
  }
  std::vector<std::string> calls() {
    GVariant* reply = hook("Calls", nullptr, "(as)");
    std::vector<std::string> list;
    GVariantIter* iter = nullptr;
    g_variant_get(reply, "(as)", &iter);
    for (const char* s = nullptr; g_variant_iter_next(iter, "&s", &s);) list.emplace_back(s);
    g_variant_iter_free(iter);
    g_variant_unref(reply);
    return list;
  }
  // Turns the main loop until the condition holds; false after 20 seconds.
  template <typename F>
  static bool runUntil(F done) {
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!done()) {
      if (std::chrono::steady_clock::now() > end) return false;
      g_main_context_iteration(nullptr, FALSE);
      g_usleep(1000);
    }
    return true;
  }

  GTestDBus* bus;
  GDBusConnection* connection;
  GPid portal = 0;
};

struct Seen {
  std::vector<std::pair<std::string, bool>> keys;
  int changes = 0;
};

std::unique_ptr<PortalShortcuts> client(PrivateBus& bus, Seen& seen) {
  std::vector<PortalShortcut> shortcuts{{"ptt", "Radio push-to-talk (hold)", "v"}, {"overlay", "Show or hide the MDT", "F8"},
                                        {"panic", "Panic", ""}};
  PortalShortcuts::Listener listener{[&seen](const std::string& id, bool down) { seen.keys.emplace_back(id, down); },
                                     [&seen] { seen.changes++; }, nullptr};
  return std::make_unique<PortalShortcuts>(bus.connection, "app.quillmere.Quillmere", shortcuts, listener);
}

TEST(PortalShortcuts, CallOrdersAndAnswers) {
  struct Case {
    std::vector<std::string> args;  // empty: no portal on the bus at all
    State state;
    std::vector<std::string> calls;
    std::string pttTrigger;
  };
  std::vector<std::string> none;
  const std::vector<Case> cases{
      {{"--order", "documented"}, State::Ready, {"CreateSession", "ListShortcuts", "BindShortcuts"}, "Desktop v"},
      {{"--order", "kde"}, State::Ready, {"CreateSession", "ListShortcuts"}, "Desktop v"},
      {{"--registry"}, State::Ready, {"Register", "CreateSession", "ListShortcuts", "BindShortcuts"}, "Desktop v"},
      {{"--refuse"}, State::Refused, {"CreateSession"}, ""},
      {{"--no-shortcuts"}, State::Absent, {}, ""},
      {{}, State::Absent, {}, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.empty() ? "no portal" : c.args.front());
    PrivateBus bus;
    if (!c.args.empty()) bus.startPortal(c.args);
    Seen seen;
    auto portal = client(bus, seen);
    ASSERT_TRUE(PrivateBus::runUntil([&] { return portal->state() != State::Starting; }));
    EXPECT_EQ(portal->state(), c.state);
    EXPECT_EQ(seen.changes, 1);
    if (!c.args.empty()) {
      EXPECT_EQ(bus.calls(), c.calls);
    }
    if (c.state != State::Ready) {
      EXPECT_EQ(portal->trigger("ptt"), std::nullopt);
      continue;
    }
    EXPECT_EQ(portal->trigger("ptt"), c.pttTrigger);
    EXPECT_EQ(portal->trigger("panic"), "") << "no preferred key: nothing bound";
  }
}

TEST(PortalShortcuts, PressReleaseRebindAndTheDesktopsDialog) {
  for (const char* version : {"1", "2"}) {
    PrivateBus bus;
    bus.startPortal({"--order", "kde", "--version", version});
    Seen seen;
    auto portal = client(bus, seen);
    ASSERT_TRUE(PrivateBus::runUntil([&] { return portal->state() == State::Ready; }));
    for (const char* edge : {"Press", "Release"}) g_variant_unref(bus.hook(edge, g_variant_new("(s)", "ptt")));
    ASSERT_TRUE(PrivateBus::runUntil([&] { return seen.keys.size() == 2; }));
    EXPECT_EQ(seen.keys, (std::vector<std::pair<std::string, bool>>{{"ptt", true}, {"ptt", false}}));
    g_variant_unref(bus.hook("Rebind", g_variant_new("(ss)", "overlay", "Shift+F12")));
    ASSERT_TRUE(PrivateBus::runUntil([&] { return seen.changes == 2; }));
    EXPECT_EQ(portal->trigger("overlay"), "Shift+F12");
    EXPECT_EQ(portal->canConfigure(), std::string(version) == "2");
    portal->configure();
    if (portal->canConfigure())
      ASSERT_TRUE(PrivateBus::runUntil([&] { return bus.calls().back() == "ConfigureShortcuts"; }));
    else
      EXPECT_EQ(bus.calls().back(), "ListShortcuts");
    // Held, then the desktop closes the session (v2) or the portal quits (v1): the key is released.
    g_variant_unref(bus.hook("Press", g_variant_new("(s)", "ptt")));
    ASSERT_TRUE(PrivateBus::runUntil([&] { return seen.keys.size() == 3; }));
    if (portal->canConfigure())
      g_variant_unref(bus.hook("CloseSessions", nullptr));
    else
      bus.stopPortal();
    ASSERT_TRUE(PrivateBus::runUntil([&] { return portal->state() == State::Absent; }));
    EXPECT_EQ(seen.keys.back(), std::make_pair(std::string("ptt"), false));
    EXPECT_EQ(seen.keys.size(), 4u);
  }
}

TEST(PortalShortcuts, PreferredTriggersNameTheKeysSymbol) {
  const std::vector<std::pair<int, std::string>> rows{{9, "v"}, {100, "F8"}, {49, "space"}, {0, ""}, {70000, ""}};
  for (const auto& [key, trigger] : rows) EXPECT_EQ(triggerForKey(key), trigger) << key;
}

}  // namespace
}  // namespace qm::gtk

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
