#include "hotkeys/key_tables.h"

#include "app/app.h"
#include "platform/capture.h"

namespace qm {

std::map<std::string, int> defaultKeysTable() {
  return {{"ptt", 9}, {"overlay", 100}, {"bodycam", 101}, {"clip", 109}, {"panic", 0}};
}

std::vector<std::pair<std::string, std::string>> keyLabelsTable() {
  return {{"ptt", "Radio push-to-talk (hold)"},
          {"overlay", "Show or hide the MDT"},
          {"bodycam", "Bodycam"},
          {"clip", "Save a bodycam clip"},
          {"panic", "Panic"}};
}

std::map<int, std::string> keyNamesTable() {
  // clang-format off
  return {
      {0, "A"}, {11, "B"}, {8, "C"}, {2, "D"}, {14, "E"}, {3, "F"}, {5, "G"}, {4, "H"}, {34, "I"}, {38, "J"},
      {40, "K"}, {37, "L"}, {46, "M"}, {45, "N"}, {31, "O"}, {35, "P"}, {12, "Q"}, {15, "R"}, {1, "S"}, {17, "T"},
      {32, "U"}, {9, "V"}, {13, "W"}, {7, "X"}, {16, "Y"}, {6, "Z"},
      {29, "0"}, {18, "1"}, {19, "2"}, {20, "3"}, {21, "4"}, {23, "5"}, {22, "6"}, {26, "7"}, {28, "8"}, {25, "9"},
      {27, "-"}, {24, "="}, {33, "["}, {30, "]"}, {42, "\\"}, {41, ";"}, {39, "'"}, {43, ","}, {47, "."},
      {44, "/"}, {50, "` (backtick)"}, {10, "< > (ISO)"}, {93, "\u00a5 (JIS)"}, {94, "_ (JIS)"},
      {122, "F1"}, {120, "F2"}, {99, "F3"}, {118, "F4"}, {96, "F5"}, {97, "F6"}, {98, "F7"}, {100, "F8"},
      {101, "F9"}, {109, "F10"}, {103, "F11"}, {111, "F12"}, {105, "F13"}, {107, "F14"}, {113, "F15"},
      {106, "F16"}, {64, "F17"}, {79, "F18"}, {80, "F19"}, {90, "F20"},
      {53, "Esc"}, {36, "Return"}, {48, "Tab"}, {49, "Space"}, {51, "Backspace"}, {117, "Delete"},
      {114, "Insert"}, {115, "Home"}, {119, "End"}, {116, "Page Up"}, {121, "Page Down"},
      {123, "Left Arrow"}, {124, "Right Arrow"}, {125, "Down Arrow"}, {126, "Up Arrow"},
      {82, "Keypad 0"}, {83, "Keypad 1"}, {84, "Keypad 2"}, {85, "Keypad 3"}, {86, "Keypad 4"},
      {87, "Keypad 5"}, {88, "Keypad 6"}, {89, "Keypad 7"}, {91, "Keypad 8"}, {92, "Keypad 9"},
      {65, "Keypad ."}, {67, "Keypad *"}, {69, "Keypad +"}, {75, "Keypad /"}, {78, "Keypad -"},
      {81, "Keypad ="}, {76, "Keypad Enter"}, {95, "Keypad , (JIS)"}, {71, "Num Lock"},
      {72, "Volume Up"}, {73, "Volume Down"}, {74, "Mute"}, {110, "Menu"}, {102, "Eisu"}, {104, "Kana"},
      {57, "Caps Lock"}};
  // clang-format on
}

std::string keyName(int binding) {
  if (binding == kKeyOff) return "Off";
  if (auto code = codeOf(binding))
    if (auto it = KEY_NAMES.find(*code); it != KEY_NAMES.end()) return it->second;
  return "key " + std::to_string(binding);
}

std::string keysHelpTitle(KeysObstacle obstacle) {
  return obstacle == KeysObstacle::permission ? "Keys need Accessibility permission\u2026"
                                              : "Keys need setup on this desktop\u2026";
}

std::string keysHelpExplanation(KeysObstacle obstacle) {
  switch (obstacle) {
    case KeysObstacle::permission: break;
    case KeysObstacle::noXInput2:
      return "This X server has no XInput2, so Quillmere cannot hear keys while the game has the focus. "
             "Start an X server with XInput2 (every desktop's X11 session has it).";
    case KeysObstacle::portalStarting:
      return "Quillmere is still asking the desktop for its global shortcuts. Try again in a moment.";
    case KeysObstacle::portalRefused:
      return "The desktop did not allow Quillmere's global shortcuts. Allow them in the desktop's settings "
             "(keyboard shortcuts, or Quillmere's permissions), then start Quillmere again.";
    case KeysObstacle::noPortalNoXWayland:
      return "This Wayland desktop has no global shortcut portal, so Quillmere cannot hear keys while the game "
             "has the focus; the keys work only in Quillmere's own windows. Use a desktop that has the portal "
             "(KDE Plasma 5.27 or later, GNOME 48 or later, Hyprland), or log in to an X11 session.";
    case KeysObstacle::noPortal:
      return std::string(
                 "This Wayland desktop has no global shortcut portal, so Quillmere hears keys only while a "
                 "game player on XWayland has the focus. Run the game player on XWayland (flatpak override "
                 "--user --socket=x11 --nosocket=wayland ") +
             kLinuxGameId +
             "), use a desktop that has the portal (KDE Plasma 5.27 or later, GNOME 48 or later, Hyprland), or log "
             "in to an X11 session.";
  }
  return "";
}

}  // namespace qm
