// The global shortcut portal client against the stand-in portal, each case on a private bus.
#include <gtest/gtest.h>

#include <csignal>
#include <memory>
#include <optional>

#include "platform/gtk/gobject_ptr.h"
#include "platform/gtk/portal/global_shortcuts.h"
#include "tests/platform/run_until.h"

namespace qm::gtk {
namespace {

using State = PortalShortcuts::State;
using Calls = std::optional<std::vector<std::string>>;

class PrivateBus {
 public:
  PrivateBus() {
    g_test_dbus_up(bus.get());
    connection.reset(
        g_dbus_connection_new_for_address_sync(g_test_dbus_get_bus_address(bus.get()),
                                               GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                                                    G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
                                               nullptr, nullptr, nullptr));
  }
  ~PrivateBus() {
    stopPortal();
    connection.reset();
    g_test_dbus_down(bus.get());
  }
  void startPortal(std::vector<const char*> args) {
    args.insert(args.begin(), QM_STANDIN_PORTAL);
    args.push_back(nullptr);
    portal.reset(g_subprocess_newv(args.data(), G_SUBPROCESS_FLAGS_NONE, nullptr));
    ASSERT_TRUE(runUntil([&] { return calls().has_value(); })) << "the stand-in portal did not start";
  }
  void stopPortal() {
    if (portal) g_subprocess_send_signal(portal.get(), SIGTERM);
    portal.reset();
  }
  // What the portal was asked so far; nothing when no portal answers.
  Calls calls() {
    auto state = standIn("State", nullptr, connection.get());
    return state.is_null() ? Calls() : Calls(state["calls"].get<std::vector<std::string>>());
  }
  void hook(const char* method, GVariant* args = nullptr) { standIn(method, args, connection.get()); }

  GObjectPtr<GTestDBus> bus{g_test_dbus_new(G_TEST_DBUS_NONE)};
  GObjectPtr<GDBusConnection> connection;
  GObjectPtr<GSubprocess> portal;
};

struct Seen {
  std::vector<std::pair<std::string, bool>> keys;
  int changes = 0;
};

std::unique_ptr<PortalShortcuts> client(PrivateBus& bus, Seen& seen) {
  std::vector<PortalShortcut> shortcuts{
      {"ptt", "Radio push-to-talk (hold)", "v"}, {"overlay", "Show or hide the MDT", "F8"}, {"panic", "Panic", ""}};
  PortalShortcuts::Listener listener{[&seen](const std::string& id, bool down) { seen.keys.emplace_back(id, down); },
                                     [&seen] { seen.changes++; }, nullptr};
  return std::make_unique<PortalShortcuts>(bus.connection.get(), "app.quillmere.Quillmere", shortcuts, listener);
}

TEST(PortalShortcuts, CallOrdersAndAnswers) {
  using Strings = std::vector<std::string>;
  struct Case {
    std::vector<const char*> args;  // empty: no portal on the bus at all
    State state;
    Calls calls;
  };
  const std::vector<Case> cases{
      {{"--order", "documented"}, State::Ready, Strings{"CreateSession", "ListShortcuts", "BindShortcuts"}},
      {{"--order", "kde"}, State::Ready, Strings{"CreateSession", "ListShortcuts"}},
      {{"--registry"}, State::Ready, Strings{"Register", "CreateSession", "ListShortcuts", "BindShortcuts"}},
      {{"--refuse"}, State::Refused, Strings{"CreateSession"}},
      {{"--no-shortcuts"}, State::Absent, Strings{}},
      {{}, State::Absent, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.empty() ? "no portal" : c.args.front());
    PrivateBus bus;
    if (!c.args.empty()) bus.startPortal(c.args);
    Seen seen;
    auto portal = client(bus, seen);
    ASSERT_TRUE(runUntil([&] { return portal->state() != State::Starting; }));
    EXPECT_EQ(portal->state(), c.state);
    EXPECT_EQ(seen.changes, 1);
    EXPECT_EQ(bus.calls(), c.calls);
    const bool ready = c.state == State::Ready;
    EXPECT_EQ(portal->trigger("ptt"), ready ? std::optional<std::string>("Desktop v") : std::nullopt);
    EXPECT_EQ(portal->trigger("panic"), ready ? std::optional<std::string>("") : std::nullopt) << "nothing bound";
  }
}

TEST(PortalShortcuts, PressReleaseRebindAndAKeyHeldWhenThePortalGoes) {
  for (const char* version : {"1", "2"}) {
    PrivateBus bus;
    bus.startPortal({"--order", "kde", "--version", version});
    Seen seen;
    auto portal = client(bus, seen);
    ASSERT_TRUE(runUntil([&] { return portal->state() == State::Ready; }));
    for (const char* edge : {"Press", "Release"}) bus.hook(edge, g_variant_new("(s)", "ptt"));
    ASSERT_TRUE(runUntil([&] { return seen.keys.size() == 2; }));
    EXPECT_EQ(seen.keys, (std::vector<std::pair<std::string, bool>>{{"ptt", true}, {"ptt", false}}));
    bus.hook("Rebind", g_variant_new("(ss)", "overlay", "Shift+F12"));
    ASSERT_TRUE(runUntil([&] { return seen.changes == 2; }));
    EXPECT_EQ(portal->trigger("overlay"), "Shift+F12");
    EXPECT_EQ(portal->canConfigure(), std::string(version) == "2");
    portal->configure();
    if (portal->canConfigure())
      ASSERT_TRUE(runUntil([&] { return bus.calls()->back() == "ConfigureShortcuts"; }));
    else
      EXPECT_EQ(bus.calls()->back(), "ListShortcuts");
    // Held, then the desktop closes the session (v2) or the portal restarts (v1): the key is released, and a
    // restarted portal gets the shortcuts again without ever counting as absent.
    bus.hook("Press", g_variant_new("(s)", "ptt"));
    ASSERT_TRUE(runUntil([&] { return seen.keys.size() == 3; }));
    if (portal->canConfigure()) {
      bus.hook("CloseSessions");
      ASSERT_TRUE(runUntil([&] { return portal->state() == State::Absent; }));
    } else {
      bus.stopPortal();
      ASSERT_TRUE(runUntil([&] { return seen.keys.size() == 4; }));
      bus.startPortal({"--order", "kde", "--version", version});
      ASSERT_TRUE(runUntil([&] {
        return bus.calls() == Calls(std::vector<std::string>{"CreateSession", "ListShortcuts"});
      }));
      EXPECT_EQ(portal->state(), State::Ready);
      bus.hook("Press", g_variant_new("(s)", "ptt"));
      ASSERT_TRUE(runUntil([&] { return seen.keys.size() == 5; }));
    }
    EXPECT_EQ(seen.keys[3], std::make_pair(std::string("ptt"), false));
  }
}

TEST(PortalShortcuts, PreferredTriggersNameTheKeysSymbol) {
  const std::vector<std::pair<std::uint16_t, std::string>> rows{
      {9, "v"}, {100, "F8"}, {49, "space"}, {0, "a"}, {127, ""}};
  for (const auto& [key, trigger] : rows) EXPECT_EQ(triggerForKey(key), trigger) << key;
}

}  // namespace
}  // namespace qm::gtk
