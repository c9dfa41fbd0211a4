#include <algorithm>

#include "app/app.h"
#include "hotkeys/key_tables.h"
#include "web/url.h"

namespace qm {

void App::pickKey(const nlohmann::json& represented) {
  if (!represented.is_string()) return;
  std::string action = represented.get<std::string>();
  auto entry = std::find_if(KEY_LABELS.begin(), KEY_LABELS.end(), [&](const auto& p) { return p.first == action; });
  std::string subject = entry == KEY_LABELS.end() ? action : asciiLower(entry->second);
  if (platform.desktop.shortcutTrigger(action)) return showDesktopBinding(action, subject);
  auto alert = platform.desktop.makeAlert(
      "Press the key for " + subject,
      "Press it now, then OK. Esc turns it off. The game still gets the key too, so pick one it does not use.",
      {"OK", "Cancel"});
  auto picked = std::make_shared<std::optional<int>>();
  capture = [picked, alert](std::optional<std::uint16_t> code) {
    if (!code) return alert->setInformativeText(kUnusableKeyText);
    *picked = *code == kEscapeKey ? kKeyOff : bindingOf(*code);
    alert->setInformativeText("Picked: " + keyName(**picked) + ". Press OK to keep it.");
  };
  int answer = runInFront(*alert);
  capture = nullptr;
  if (answer == 0 && *picked) {
    defaults.set("key." + action, **picked);
    buildStatusItem();
  }
}

// Where the desktop binds the keys, it alone can change them: the picker says so and leads to its dialog.
void App::showDesktopBinding(const std::string& action, const std::string& subject) {
  bool canChange = platform.desktop.canChangeShortcuts();
  std::string now = "Now: " + boundKeyName(action) + ". ";
  auto alert = platform.desktop.makeAlert(
      "Your desktop sets the key for " + subject,
      now + (canChange ? "Change it in the desktop's shortcut dialog."
                       : "Change it in the desktop's keyboard shortcut settings, under Quillmere."),
      canChange ? std::vector<std::string>{"Change\u2026", "Cancel"} : std::vector<std::string>{"OK"});
  if (runInFront(*alert) == 0 && canChange) platform.desktop.changeShortcuts();
}

}  // namespace qm
