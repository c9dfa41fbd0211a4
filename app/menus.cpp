#include <cmath>

#include "app/app.h"
#include "hotkeys/key_tables.h"

namespace qm {
namespace {

MenuItem standard(const std::string& title, const std::string& key, StandardAction action, bool shift = false) {
  MenuItem item;
  item.title = title;
  item.key = key;
  item.standard = action;
  item.shift = shift;
  return item;
}

// The system's own hide where it has one; the app's where it has none.
MenuItem hideItem(MenuItem item) {
  item.standard = StandardAction::Hide;
  return item;
}

MenuItem titled(const std::string& title) {
  MenuItem item;
  item.title = title;
  return item;
}

MenuItem separator() {
  MenuItem item;
  item.separator = true;
  return item;
}

}  // namespace

std::vector<Menu> App::mainMenus() const {
  std::weak_ptr<const App> weak = weak_from_this();
  auto own = [weak](const std::string& title, const std::string& key, void (App::*op)()) {
    MenuItem item;
    item.title = title;
    item.key = key;
    item.action = [weak, op](const MenuItem&) {
      if (auto app = std::const_pointer_cast<App>(weak.lock())) ((*app).*op)();
    };
    return item;
  };
  MenuItem back = own("Back", "Left", &App::goBack);
  back.alt = true;  // as in browsers
  return {
      {"",
       {standard("About Quillmere", "", StandardAction::About), separator(),
        hideItem(own("Hide Quillmere", "h", &App::hide)), standard("Quit Quillmere", "q", StandardAction::Quit)}},
      {"Edit",
       {standard("Undo", "z", StandardAction::Undo), standard("Cut", "x", StandardAction::Cut),
        standard("Copy", "c", StandardAction::Copy), standard("Paste", "v", StandardAction::Paste),
        standard("Select All", "a", StandardAction::SelectAll)}},
      {"View", {back, own("Reload", "r", &App::reloadAll), own("Show or hide the MDT", "m", &App::toggleOverlay)}},
      {"Window",
       {standard("Minimize", "m", StandardAction::Minimize, true), own("Quillmere", "1", &App::showMain)},
       true},
  };
}

void App::buildMainMenu() { platform.desktop.setMainMenu(mainMenus()); }

std::vector<MenuItem> App::statusMenuItems() const {
  std::weak_ptr<const App> weak = weak_from_this();
  auto act = [weak](void (App::*op)(const nlohmann::json&)) {
    return [weak, op](const MenuItem& item) {
      if (auto app = std::const_pointer_cast<App>(weak.lock())) ((*app).*op)(item.represented);
    };
  };
  auto plain = [weak](const std::string& title, void (App::*op)()) {
    MenuItem item;
    item.title = title;
    item.action = [weak, op](const MenuItem&) {
      if (auto app = std::const_pointer_cast<App>(weak.lock())) ((*app).*op)();
    };
    return item;
  };
  auto valued = [&](const std::string& title, nlohmann::json value, void (App::*op)(const nlohmann::json&)) {
    MenuItem item;
    item.title = title;
    item.represented = std::move(value);
    item.action = act(op);
    return item;
  };

  std::vector<MenuItem> items;
  items.push_back(plain("Open Quillmere", &App::showMain));
  items.push_back(plain("MDT overlay (" + boundKeyName("overlay") + ")", &App::toggleOverlay));
  MenuItem opacity = titled("MDT opacity");
  for (double o : {1.0, 0.94, 0.85, 0.7, 0.55})
    opacity.submenu.push_back(valued(std::to_string(static_cast<int>(std::trunc(o * 100))) + "%", o, &App::setOpacity));
  if (!platform.desktop.compositing()) {
    // Without a compositor a translucent window is blended with black, not with the game.
    MenuItem why = titled("No compositor: the MDT darkens, the game does not show through");
    why.enabled = false;
    opacity.submenu.push_back(separator());
    opacity.submenu.push_back(why);
  }
  items.push_back(opacity);
  MenuItem size = titled("MDT size");
  size.submenu = {valued("Small", {760.0, 500.0}, &App::setSize), valued("Medium", {900.0, 600.0}, &App::setSize),
                  valued("Large", {1100.0, 720.0}, &App::setSize)};
  items.push_back(size);
  MenuItem keys = titled("Keys");
  for (const auto& [action, label] : KEY_LABELS)
    keys.submenu.push_back(valued(label + ": " + boundKeyName(action), action, &App::pickKey));
  items.push_back(keys);
  if (!platform.desktop.keysTrusted(false) || platform.desktop.keysLimited()) {
    items.push_back(separator());
    items.push_back(plain(keysHelpTitle(platform.desktop.keysHelp().obstacle), &App::openAccessibility));
  }
  items.push_back(separator());
  items.push_back(standard("Quit Quillmere", "q", StandardAction::Quit));
  return items;
}

void App::buildStatusItem() { platform.desktop.setStatusMenu("QM", statusMenuItems()); }

}  // namespace qm
