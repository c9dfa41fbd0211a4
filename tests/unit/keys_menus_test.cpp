#include "tests/unit/harness.h"
#include "web/page_script.h"

namespace qm::test {
namespace {

constexpr std::uint16_t kV = 9, kF8 = 100, kF9 = 101, kF10 = 109, kA = 0, kB = 11, kEscape = 53, kShift = 56,
                        kControl = 59, kCapsLock = 57;
constexpr int kStoredA = 0x10000;                        // a stored 0 is Off
const KeyEvent kPrintScreen{kNoKeyCode, KeyType::Down};  // a key with no code

KeyEvent down(std::uint16_t code) { return {code, KeyType::Down}; }
KeyEvent up(std::uint16_t code) { return {code, KeyType::Up}; }
// A key the desktop matched itself; its code is the shortcut's own, one per action.
KeyEvent shortcut(const std::string& action, KeyType type) {
  const auto code = static_cast<std::uint16_t>(0xF000 + std::hash<std::string>{}(action) % 0x100);
  return {.code = code, .type = type, .shortcut = action};
}

// A key event from the global monitor (the game has the focus) or from our own window's.
struct Press {
  // NOLINTNEXTLINE(google-explicit-constructor): rows list plain events
  Press(KeyEvent event, bool ours = false) : event(event), ours(ours) {}
  KeyEvent event;
  bool ours;
};
Press ours(KeyEvent event) { return {event, true}; }

struct Keys : Launched {
  using Launched::Launched;
  // The scripts a page got after the agent query, its page events: 0 the main page's, 1 the overlay's.
  std::vector<std::string> events(std::size_t view = 0) {
    if (view >= fakes.web.views.size()) return {};
    const auto& scripts = fakes.web.views[view]->scripts;
    return {scripts.begin() + 1, scripts.end()};
  }
  void global(const KeyEvent& e) { fakes.desktop.global(e); }
  bool local(const KeyEvent& e) { return fakes.desktop.local(e); }
};

const std::string kPttDown = eventScript(R"({"down":true,"type":"ptt"})"),
                  kPttUp = eventScript(R"({"down":false,"type":"ptt"})"),
                  kBodycam = eventScript(R"({"type":"bodycam"})"), kClip = eventScript(R"({"type":"clip"})"),
                  kPanic = eventScript(R"({"type":"panic"})");

const MenuItem* titledItem(const std::vector<MenuItem>& items, const std::string& title) {
  for (const auto& i : items)
    if (auto* found = i.title == title ? &i : titledItem(i.submenu, title)) return found;
  return nullptr;
}

// What choosing an item does in a fresh app whose overlay shows: its standard action, or what it changed.
std::string effect(const std::string& title, bool statusMenu) {
  static const char* const standard[] = {"",    "about", "hide",  "quit",       "undo",
                                         "cut", "copy",  "paste", "select all", "minimize"};
  Keys h({}, false);
  h.app->showOverlay();
  auto items = h.fakes.desktop.statusItems;
  if (!statusMenu)
    for (items.clear(); const auto& m : h.fakes.desktop.mainMenu)
      items.insert(items.end(), m.items.begin(), m.items.end());
  const MenuItem* item = titledItem(items, title);
  if (!item) return "no such item";
  if (!item->action) return standard[static_cast<int>(item->standard)];
  h.mainView().hasBack = true;
  item->action(*item);
  const auto& stored = h.fakes.settings.values;
  const Rect overlay = h.windowOf(WindowKind::Overlay)->rect;
  std::string seen;
  auto add = [&](bool happened, const std::string& what) {
    if (happened) seen += (seen.empty() ? "" : ", ") + what;
  };
  add(h.mainView().backs > 0, "back");
  add(h.mainView().reloads > 0, "reload");
  add(h.overlayView().reloads > 0, "MDT reload");
  add(!h.mainWindow().visible(), "main hidden");
  add(!h.overlayShown(), "MDT hidden");
  add(h.fakes.desktop.activations > 0, "front");
  add(stored.contains("opacity"), "opacity " + (stored.contains("opacity") ? stored.at("opacity").dump() : ""));
  add(stored.contains("overlayFrame"), "size " + std::to_string(int(overlay.w)) + "x" + std::to_string(int(overlay.h)));
  for (const auto& alert : h.fakes.desktop.alerts) add(true, alert->message);
  for (const auto& url : h.fakes.desktop.opened) add(true, "open " + url);
  return seen;
}

}  // namespace

TEST(Keys, GlobalKeysFireTheirActionsOncePerPress) {
  struct Case {
    const char* what;
    std::map<std::string, nlohmann::json> stored;
    std::vector<Press> keys;
    std::vector<std::string> events;
    bool overlay = false;
  };
  const Case cases[] = {
      {"ptt held with repeats", {}, {down(kV), down(kV), down(kV), up(kV)}, {kPttDown, kPttUp}},
      {"up never taken, panic unbound by default", {}, {up(kV), up(kF9), down(kA), up(kA), down(kB), up(kB)}, {}},
      {"bodycam and clip", {}, {down(kF9), down(kF9), up(kF9), down(kF10), up(kF10)}, {kBodycam, kClip}},
      {"rebound ptt", {{"key.ptt", kB}}, {down(kV), up(kV), down(kB), up(kB)}, {kPttDown, kPttUp}},
      {"ptt and clip on one key", {{"key.clip", kV}}, {down(kV), up(kV)}, {kPttDown, kClip, kPttUp}},
      {"out of range matches nothing", {{"key.bodycam", 70000}}, {down(kF9), down(70000 & 0xffff), up(kF9)}, {}},
      {"overlay once per press", {}, {down(kF8), down(kF8), up(kF8)}, {}, true},
      {"overlay pressed again", {}, {down(kF8), up(kF8), down(kF8)}, {}, false},
      {"ptt from the game released in our window", {}, {down(kV), ours(up(kV)), up(kV)}, {kPttDown, kPttUp}},
      {"modifiers alone are no keys, Shift+F9 is F9",
       {{"key.ptt", kShift}},
       {down(kShift), ours(down(kControl)), down(kF9), up(kF9), up(kShift), ours(up(kControl))},
       {kBodycam}},
      {"a key without a code is not A", {{"key.panic", kStoredA}}, {ours(kPrintScreen)}, {}},
      {"A once bound", {{"key.panic", kStoredA}}, {down(kA), up(kA)}, {kPanic}},
      {"a stored 0 is Off, not A", {{"key.ptt", 0}}, {down(kA), up(kA)}, {}},
      {"desktop shortcuts, whatever key is stored",
       {{"key.ptt", kB}},
       {shortcut("ptt", KeyType::Down), shortcut("ptt", KeyType::Down), shortcut("ptt", KeyType::Up),
        shortcut("panic", KeyType::Down), shortcut("panic", KeyType::Up), shortcut("overlay", KeyType::Down)},
       {kPttDown, kPttUp, kPanic},
       true},
  };
  for (const auto& c : cases) {
    Keys h(c.stored);
    for (const auto& [event, ours] : c.keys)
      if (ours)
        EXPECT_TRUE(h.local(event)) << c.what << ": our window always gets the key";
      else
        h.global(event);
    EXPECT_EQ(h.events(), c.events) << c.what;
    EXPECT_EQ(h.overlayShown(), c.overlay) << c.what;
  }
}

// Every way a push-to-talk press and its release can be separated: the release reaches the page that got
// the press, once, whatever shows, whatever the binding is by then, and the app quitting releases it.
TEST(Keys, PushToTalkReleaseReachesThePageThatGotThePress) {
  using Step = std::function<void(Keys&)>;
  auto game = [](KeyEvent e) -> Step { return [e](Keys& h) { h.global(e); }; };
  auto ourWindow = [](KeyEvent e) -> Step { return [e](Keys& h) { h.local(e); }; };
  const Step showMDT = [](Keys& h) { h.app->showOverlay(); };
  const Step minimize = [](Keys& h) { h.message(h.overlayView(), R"({"t":"minimize"})"); };
  const Step bubbleClick = [](Keys& h) { h.app->restore(); };
  const Step quit = [](Keys& h) { h.app->applicationWillTerminate(); };
  // The picker opens while V is held; the user's keys in the dialog, then OK.
  auto picker = [](std::vector<KeyEvent> keys) -> Step {
    return [keys](Keys& h) {
      h.fakes.desktop.nextAlertAnswer = [&h, keys](fake::FakeAlert&) {
        for (const auto& k : keys) h.local(k);
        return 0;
      };
      h.app->pickKey("ptt");
    };
  };
  const std::vector<std::string> talk{kPttDown, kPttUp}, none;
  const std::tuple<const char*, std::vector<Step>, std::vector<std::string>, std::vector<std::string>> cases[] = {
      {"MDT hidden by its key", {showMDT, game(down(kV)), game(down(kF8)), game(up(kV))}, none, talk},
      {"MDT minimized", {showMDT, game(down(kV)), minimize, game(up(kV))}, none, talk},
      {"MDT restored from its bubble", {showMDT, minimize, game(down(kV)), bubbleClick, game(up(kV))}, talk, none},
      {"MDT shown while held", {game(down(kV)), showMDT, game(up(kV))}, talk, none},
      {"rebound in the picker", {game(down(kV)), picker({down(kV), down(kB), up(kB)}), game(up(kV))}, talk, none},
      {"binding turned off", {game(down(kV)), picker({down(kEscape)}), game(up(kV))}, talk, none},
      {"released in the picker", {game(down(kV)), picker({up(kV)}), game(up(kV))}, talk, none},
      {"focus into our window", {game(down(kV)), ourWindow(down(kV)), ourWindow(up(kV))}, talk, none},
      {"focus into our window and out", {game(down(kV)), ourWindow(down(kV)), game(up(kV))}, talk, none},
      {"typed in our window, released in the game", {ourWindow(down(kV)), game(up(kV))}, none, none},
      {"quit while held", {showMDT, game(down(kV)), quit}, none, talk},
      {"quit after the release", {game(down(kV)), game(up(kV)), quit}, talk, none},
  };
  for (const auto& [what, steps, mainPage, overlayPage] : cases) {
    Keys h;
    for (const auto& step : steps) step(h);
    EXPECT_EQ(h.events(), mainPage) << what;
    EXPECT_EQ(h.events(1), overlayPage) << what;
    EXPECT_TRUE(h.app->talking.empty()) << what;
  }
}

// Without a settings page for the permission the help tells why; the session's warnings show once.
TEST(Keys, UntrustedPollsUntilTrustedWhileTheHelpTellsWhy) {
  const std::string help = "Keys need setup on this desktop\u2026";
  Harness h;
  auto& desktop = h.fakes.desktop;
  desktop.trusted = false;
  desktop.help = {"", KeysObstacle::noPortal};
  desktop.noXWayland = true;
  h.fakes.web.sandbox = "No sandbox here.";
  h.launch();
  desktop.runPosted();
  ASSERT_EQ(desktop.alerts.size(), 1u);
  EXPECT_EQ(desktop.alerts[0]->informative,
            "This Wayland session has no XWayland: the MDT cannot float above a full-screen game. Turn XWayland on in "
            "your desktop, or log in to an X11 session.\n\nNo sandbox here.");
  EXPECT_NE(h.log().find(" No sandbox here.\n"), std::string::npos);
  const MenuItem* item = titledItem(desktop.statusItems, help);
  ASSERT_TRUE(item);
  item->action(*item);
  EXPECT_EQ(desktop.alerts.back()->message, "Keys need setup on this desktop");
  EXPECT_NE(desktop.alerts.back()->informative.find("--nosocket=wayland org.vinegarhq.Sober), use"), std::string::npos);
  EXPECT_FALSE(desktop.global);
  ASSERT_EQ(desktop.timers.size(), 1u);
  desktop.fireTimers();
  EXPECT_TRUE(desktop.timers[0]->valid);
  desktop.trusted = true;
  desktop.fireTimers();
  desktop.runPosted();
  EXPECT_FALSE(desktop.timers[0]->valid);
  EXPECT_TRUE(desktop.global);
  EXPECT_FALSE(titledItem(desktop.statusItems, help));
  EXPECT_EQ(desktop.prompts, 1);
  EXPECT_EQ(desktop.alerts.size(), 2u);
  desktop.limited = true;  // keys only while some windows have the focus: the help stays
  h.app->buildStatusItem();
  EXPECT_TRUE(titledItem(desktop.statusItems, help));
}

TEST(Keys, ADesktopThatBindsKeysGetsTheActionsShowsItsTriggersAndOwnsTheirChange) {
  Keys h({}, false);
  auto& desktop = h.fakes.desktop;
  ASSERT_EQ(desktop.offered.size(), 5u);
  const auto& ptt = desktop.offered[0];
  EXPECT_EQ(ptt.action + " " + ptt.description + " " + std::to_string(*ptt.key), "ptt Radio push-to-talk (hold) 9");
  desktop.triggers = {{"ptt", "Ctrl+Alt+T"}, {"overlay", ""}, {"bodycam", "F11"}};
  desktop.trusted = true;
  desktop.shortcutsChanged();
  EXPECT_TRUE(desktop.global) << "granted by the desktop: keys at once";
  for (auto key : {down(kF9), up(kF9), down(kF10), up(kF10)}) h.local(key);
  EXPECT_EQ(h.events(), std::vector<std::string>{kClip}) << "the stored bodycam key no longer acts";
  EXPECT_TRUE(titledItem(desktop.statusItems, "Radio push-to-talk (hold): Ctrl+Alt+T"));
  EXPECT_TRUE(titledItem(desktop.statusItems, "MDT overlay (Off)"));
  for (bool changeable : {true, false}) {
    desktop.changeable = changeable;
    h.app->pickKey("ptt");
    const auto& alert = *desktop.alerts.back();
    EXPECT_EQ(alert.message, "Your desktop sets the key for radio push-to-talk (hold)");
    EXPECT_TRUE(alert.informative.starts_with("Now: Ctrl+Alt+T. "));
    EXPECT_EQ(alert.buttons.size(), changeable ? 2u : 1u);
  }
  EXPECT_EQ(desktop.shortcutDialogs, 1);
  EXPECT_FALSE(h.fakes.settings.values.contains("key.ptt"));
}

TEST(Picker, StoresTheFirstKeyNeverActsOnItEscapeMeansOffCancelKeepsTheOld) {
  auto picked = [](const std::string& key) { return "Picked: " + key + ". Press OK to keep it."; };
  const std::string none =
                        "Press it now, then OK. Esc turns it off. The game still gets the key too, so pick one it "
                        "does not use.",
                    refused = "This key cannot be used. Press another one.";
  // What the dialog sees of each key: + it gets it, - the picker swallowed it; the answer 0 is OK, 1 Cancel.
  const std::tuple<const char*, std::vector<KeyEvent>, std::string, int, nlohmann::json, std::string> cases[] = {
      {"A, not Off", {down(kA)}, "-", 0, kStoredA, picked("A")},
      {"Caps Lock is refused", {down(kCapsLock)}, "-", 0, nullptr, refused},
      {"only the first", {down(kF10), down(kB)}, "-+", 0, kF10, picked("F10")},
      {"a bound key, not acted on", {down(kF9), up(kF9), down(kF8)}, "-++", 0, kF9, picked("F9")},
      {"escape", {down(kEscape)}, "-", 0, 0, picked("Off")},
      {"cancel keeps the old", {down(kB)}, "-", 1, nullptr, picked("B")},
      {"no key before OK", {}, "", 0, nullptr, none},
      {"shift alone is no pick, Shift+F8 is F8", {down(kShift), down(kF8)}, "+-", 0, kF8, picked("F8")},
      {"a key without a code is refused", {kPrintScreen}, "-", 0, nullptr, refused},
      {"then another is taken", {kPrintScreen, down(kB)}, "--", 0, kB, picked("B")},
      {"a press only the game got (no passes shown), not acted on", {down(kF8)}, "", 0, kF8, picked("F8")},
  };
  for (const auto& [what, keys, passes, answer, stored, informative] : cases) {
    Keys h;
    int builds = h.fakes.desktop.statusBuilds;
    std::string delivered;
    h.fakes.desktop.nextAlertAnswer = [&, &keys = keys, &passes = passes, answer = answer](fake::FakeAlert&) {
      for (const auto& k : keys) {
        if (passes.empty())
          h.global(k);  // only the game got them
        else
          delivered += h.local(k) ? "+" : "-";
      }
      return answer;
    };
    h.app->pickKey("ptt");
    EXPECT_EQ(delivered, passes) << what;
    EXPECT_EQ(h.fakes.desktop.alerts.back()->informative, informative) << what;
    EXPECT_TRUE(h.events().empty()) << what;
    EXPECT_EQ(h.fakes.settings.values["key.ptt"], stored) << what;
    EXPECT_EQ(h.fakes.desktop.statusBuilds - builds, stored.is_null() ? 0 : 1) << what;
    EXPECT_FALSE(h.app->capture) << what;
    EXPECT_EQ(h.fakes.desktop.keyboard, fake::kGameWindow) << what << ": the keyboard goes back where it was";
  }
}

TEST(Menus, EachItemDoesWhatItSays) {
  const std::tuple<const char*, bool, std::string> rows[] = {
      // item, in the status menu, its effect
      {"Hide Quillmere", false, "main hidden, MDT hidden"},
      {"Quit Quillmere", false, "quit"},
      {"Reload", false, "reload, MDT reload"},
      {"Back", false, "back"},
      {"Show or hide the MDT", false, "MDT hidden"},
      {"Quillmere", false, "front"},
      {"Paste", false, "paste"},
      {"Open Quillmere", true, "front"},
      {"MDT overlay (F8)", true, "MDT hidden"},
      {"85%", true, "opacity 0.85"},
      {"Small", true, "size 760x500"},
      {"Panic: Off", true, "front, Press the key for panic"},
      {"Quit Quillmere", true, "quit"},
      {"Keys need Accessibility permission\u2026", true, "open settings:keys"},
  };
  for (const auto& [title, statusMenu, done] : rows) EXPECT_EQ(effect(title, statusMenu), done) << title;
  Keys h({{"key.overlay", 0}, {"key.clip", kStoredA}, {"key.panic", 36}});
  EXPECT_TRUE(titledItem(h.fakes.desktop.statusItems, "MDT overlay (Off)"));
  EXPECT_TRUE(titledItem(h.fakes.desktop.statusItems, "Save a bodycam clip: A"));
  EXPECT_TRUE(titledItem(h.fakes.desktop.statusItems, "Panic: Return"));
  // Without a compositor the opacity menu says what its values do there.
  const std::string why = "No compositor: the MDT darkens, the game does not show through";
  for (bool composited : {false, true}) {
    h.fakes.desktop.composited = composited;
    h.fakes.desktop.compositingChanged();
    const MenuItem* item = titledItem(h.fakes.desktop.statusItems, why);
    EXPECT_EQ(item && !item->enabled, !composited) << composited;
  }
}

}  // namespace qm::test
