#include "app/app.h"
#include "hotkeys/key_tables.h"

namespace qm {
namespace {

// Modifiers alone and keys without a code never act, from either monitor.
bool actsAsKey(const KeyEvent& e) { return e.hasCode() && !isModifierKey(e.code); }

}  // namespace

void App::startKeys() {
  offerShortcuts();
  if (platform.desktop.keysTrusted(true)) {
    addGlobalMonitor();
  } else {
    std::weak_ptr<App> weak = weak_from_this();
    Desktop& desk = platform.desktop;
    trustPoll = desk.scheduleRepeating(2.0, [weak, &desk](Timer& timer) {
      if (!desk.keysTrusted(false)) return;
      timer.invalidate();
      if (auto app = weak.lock()) {
        app->addGlobalMonitor();
        app->buildStatusItem();
      }
    });
  }
  std::weak_ptr<App> weak = weak_from_this();
  platform.desktop.addLocalKeyMonitor([weak](const KeyEvent& e) {
    auto app = weak.lock();
    return app ? app->onLocalKey(e) : true;
  });
}

void App::addGlobalMonitor() {
  if (globalMonitor) return;
  std::weak_ptr<App> weak = weak_from_this();
  globalMonitor = platform.desktop.addGlobalKeyMonitor([weak](const KeyEvent& e) {
    auto app = weak.lock();
    // The picker takes a press the game got too: the system may not have let the picker come forward.
    if (app && !(app->capture && app->pickerTakes(e))) app->onKey(e);
  });
}

bool App::onLocalKey(const KeyEvent& event) {
  if (capture && pickerTakes(event)) return false;
  if (!actsAsKey(event)) return true;
  // Push-to-talk typed into our own windows is just typing, but the release of a press taken from the
  // game must still end it, or the radio stays keyed.
  bool releasesHeld = event.type == KeyType::Up && held.count(event.code);
  if (bindingOf(event.code) != key("ptt") || releasesHeld) onKey(event);
  return true;
}

// The picker takes the first new press of a key that acts; one it cannot use (no code, Caps Lock) it
// refuses and waits on. Other modifiers pass: Shift+F8 is F8.
bool App::pickerTakes(const KeyEvent& event) {
  bool newPress = event.type == KeyType::Down && !held.count(event.code);
  bool refused = !event.hasCode() || event.code == kCapsLock;
  if (!newPress || (isModifierKey(event.code) && !refused)) return false;
  if (refused)
    capture(std::nullopt);
  else
    std::exchange(capture, nullptr)(event.code);
  return true;
}

void App::onKey(const KeyEvent& event) {
  if (!actsAsKey(event)) return;
  std::uint16_t code = event.code;
  if (event.type == KeyType::Up) {
    if (held.erase(code)) endTalk(code);
    return;
  }
  if (!held.insert(code).second) return;
  auto bound = [&](const char* action) {
    if (!event.shortcut.empty()) return event.shortcut == action;
    // An action the desktop binds comes only as its shortcut, whatever key is stored.
    if (platform.desktop.shortcutTrigger(action)) return false;
    int k = key(action);
    return k != kKeyOff && k == bindingOf(code);
  };
  if (bound("ptt")) {
    auto target = eventTarget();
    sendTo(target.get(), {{"type", "ptt"}, {"down", true}});
    talking[code] = target;
  }
  if (bound("overlay"))
    toggleOverlay();
  else if (bound("bodycam"))
    send({{"type", "bodycam"}});
  else if (bound("clip"))
    send({{"type", "clip"}});
  else if (bound("panic"))
    send({{"type", "panic"}});
}

// The release goes where the press went, whatever shows now and whatever the binding is now.
void App::endTalk(std::uint16_t code) {
  auto pressed = talking.extract(code);
  if (pressed) sendTo(pressed.mapped().lock().get(), {{"type", "ptt"}, {"down", false}});
}

void App::offerShortcuts() {
  std::vector<Shortcut> shortcuts;
  for (const auto& [action, label] : KEY_LABELS) shortcuts.push_back({action, label, codeOf(key(action))});
  std::weak_ptr<App> weak = weak_from_this();
  // A desktop that binds the keys itself may grant them later, or show other triggers.
  platform.desktop.offerShortcuts(shortcuts, [weak] {
    auto app = weak.lock();
    if (!app) return;
    if (app->platform.desktop.keysTrusted(false)) app->addGlobalMonitor();
    app->buildStatusItem();
  });
}

std::string App::boundKeyName(const std::string& action) const {
  auto trigger = platform.desktop.shortcutTrigger(action);
  if (!trigger) return keyName(key(action));
  return trigger->empty() ? keyName(kKeyOff) : *trigger;
}

void App::openAccessibility() {
  KeysHelp help = platform.desktop.keysHelp();
  if (!help.url.empty()) return platform.desktop.openURL(help.url);
  std::string title = keysHelpTitle(help.obstacle);
  std::string message = title.substr(0, title.rfind("\u2026"));
  runAside(*platform.desktop.makeAlert(message, keysHelpExplanation(help.obstacle), {"OK"}));
}

}  // namespace qm
