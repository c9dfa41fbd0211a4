#include "hotkeys/key_tables.h"

#include "app/app.h"

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
  return {{9, "V"},    {50, "` (backtick)"}, {96, "F5"},   {97, "F6"},   {98, "F7"},         {100, "F8"},
          {101, "F9"}, {109, "F10"},         {103, "F11"}, {111, "F12"}, {57, "Caps Lock"}, {49, "Space"}};
}

std::string keyName(int code) {
  if (code == 0) return "Off";
  if (auto it = KEY_NAMES.find(code); it != KEY_NAMES.end()) return it->second;
  return "key " + std::to_string(code);
}

}  // namespace qm
