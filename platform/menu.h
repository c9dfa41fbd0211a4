// Menus as plain data: the core builds them, a backend renders them and reports choices.
#pragma once

#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace qm {

enum class StandardAction { Own, About, Hide, Quit, Undo, Cut, Copy, Paste, SelectAll, Minimize };

struct MenuItem {
  std::string title;
  bool separator = false;
  std::string key;     // key equivalent: a character, or "Left"; empty for none
  bool shift = false;  // Shift on top of Command
  bool alt = false;    // Alt (Option) instead of Command
  bool enabled = true;
  StandardAction standard = StandardAction::Own;
  nlohmann::json represented;                   // the item's value, null for none
  std::function<void(const MenuItem&)> action;  // the core's own actions
  std::vector<MenuItem> submenu;
  bool hasSubmenu() const { return !submenu.empty(); }
};

struct Menu {
  std::string title;
  std::vector<MenuItem> items;
  bool windowsMenu = false;  // the system lists the open windows below its items
};

}  // namespace qm
