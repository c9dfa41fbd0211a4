#include "app/app.h"
#include "hotkeys/key_tables.h"

namespace qm {
namespace {

// Modifiers alone and keys without a code never act, from either monitor.
bool actsAsKey(const KeyEvent& e) { return e.hasCode && !isModifierKey(e.code); }

}  // namespace

void App::startKeys() {
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
  if (capture && pickerTakes(event)) return false;
  if (!actsAsKey(event)) return true;
  // Push-to-talk typed into our own windows is just typing, but the release of a press taken from the
  // game must still end it, or the radio stays keyed.
  bool releasesHeld = event.type == KeyType::Up && held.count(event.code);
  if (event.code != key("ptt") || releasesHeld) onKey(event);
  return true;
}

// The picker takes the first new press of a key that acts; one it cannot use it refuses and waits on.
bool App::pickerTakes(const KeyEvent& event) {
  bool newPress = event.type == KeyType::Down && !(event.hasCode && held.count(event.code));
  if (!newPress || (event.hasCode && isModifierKey(event.code))) return false;
  if (event.hasCode)
    std::exchange(capture, nullptr)(event.code);
  else
    capture(std::nullopt);
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
    int k = key(action);
    return k != 0 && k == code;
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

void App::openAccessibility() { platform.desktop.openURL(platform.desktop.permissionHelpURL()); }

}  // namespace qm
