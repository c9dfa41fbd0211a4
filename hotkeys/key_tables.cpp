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
  return {{9, "V"},    {50, "` (backtick)"}, {96, "F5"},   {97, "F6"},   {98, "F7"},        {100, "F8"},
          {101, "F9"}, {109, "F10"},         {103, "F11"}, {111, "F12"}, {57, "Caps Lock"}, {49, "Space"}};
}

std::string keyName(int code) {
  if (code == 0) return "Off";
  if (auto it = KEY_NAMES.find(code); it != KEY_NAMES.end()) return it->second;
  return "key " + std::to_string(code);
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
