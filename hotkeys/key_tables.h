// The literal tables of the hotkeys: default bindings, menu labels, key names, the help for global keys.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/desktop.h"

namespace qm {

inline constexpr int kEscapeKey = 53;
inline constexpr const char* kUnusableKeyText = "This key cannot be used. Press another one.";

// Command, Shift, Caps Lock, Option, Control (both sides) and Function: alone they are no key press.
constexpr bool isModifierKey(int code) { return code >= 54 && code <= 63; }

std::map<std::string, int> defaultKeysTable();
std::vector<std::pair<std::string, std::string>> keyLabelsTable();
std::map<int, std::string> keyNamesTable();
// The status menu's item that offers help with global keys, and the reason and remedy it shows.
std::string keysHelpTitle(KeysObstacle obstacle);
std::string keysHelpExplanation(KeysObstacle obstacle);

}  // namespace qm
