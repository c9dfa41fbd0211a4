#include "app/app.h"

namespace qm {

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
  monitors.push_back(static_cast<int>(monitors.size()) + 1);
}

void App::addGlobalMonitor() {
  if (globalMonitor) return;
  std::weak_ptr<App> weak = weak_from_this();
  globalMonitor = platform.desktop.addGlobalKeyMonitor([weak](const KeyEvent& e) {
    if (auto app = weak.lock()) app->onKey(e);
  });
}

bool App::onLocalKey(const KeyEvent& event) {
  if (capture && event.type == KeyType::Down) {
    auto picked = std::move(capture);
    capture = nullptr;
    picked(event.code);
    return false;
  }
  // Push-to-talk typed into our own windows is just typing, but a release of a push-to-talk
  // press taken from the game must still end it, or the radio stays keyed.
  bool releasesHeldTalk = event.type == KeyType::Up && held.count(event.code);
  if (event.code != key("ptt") || releasesHeldTalk) onKey(event);
  return true;
}

void App::onKey(const KeyEvent& event) {
  std::uint16_t code = event.code;
  bool down = event.type == KeyType::Down;
  if (down) {
    if (!held.insert(code).second) return;
  } else if (held.erase(code) == 0) {
    return;
  }
  auto bound = [&](const char* action) {
    if (!event.shortcut.empty()) return event.shortcut == action;
    // An action the desktop binds comes only as its shortcut, whatever key is stored.
    if (platform.desktop.shortcutTrigger(action)) return false;
    int k = key(action);
    return k != 0 && k == code;
  };
  if (bound("ptt")) send({{"type", "ptt"}, {"down", down}});
  if (!down) return;
  if (bound("overlay"))
    toggleOverlay();
  else if (bound("bodycam"))
    send({{"type", "bodycam"}});
  else if (bound("clip"))
    send({{"type", "clip"}});
  else if (bound("panic"))
    send({{"type", "panic"}});
}

void App::offerShortcuts() {
  std::vector<Shortcut> shortcuts;
  for (const auto& [action, label] : KEY_LABELS) shortcuts.push_back({action, label, key(action)});
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
  return trigger->empty() ? keyName(0) : *trigger;
}

void App::openAccessibility() {
  KeysHelp help = platform.desktop.keysHelp();
  if (!help.url.empty()) return platform.desktop.openURL(help.url);
  std::string message = help.title.substr(0, help.title.rfind("\u2026"));
  platform.desktop.makeAlert(message, help.explanation, {"OK"})->run();
}

}  // namespace qm
