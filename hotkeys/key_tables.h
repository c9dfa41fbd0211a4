// The literal tables of the hotkeys: default bindings, menu labels, key names, the help for global keys.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/desktop.h"

namespace qm {

inline constexpr int kEscapeKey = 53, kCapsLock = 57;
inline constexpr const char* kUnusableKeyText = "This key cannot be used. Press another one.";

// A binding is a macOS key code, but 0 stays Off (as in every settings file) and A, whose code is 0, is kKeyA.
inline constexpr int kKeyOff = 0, kKeyA = 0x10000;
constexpr int bindingOf(std::uint16_t code) { return code == 0 ? kKeyA : code; }
// The key a binding names: none for Off and for values no key has.
constexpr std::optional<std::uint16_t> codeOf(int binding) {
  if (binding == kKeyA) return 0;
  if (binding <= 0 || binding >= kNoKeyCode) return std::nullopt;
  return static_cast<std::uint16_t>(binding);
}

// Command, Shift, Caps Lock, Option, Control (both sides) and Function: alone they are no key press.
constexpr bool isModifierKey(int code) { return code >= 54 && code <= 63; }

std::map<std::string, int> defaultKeysTable();
std::vector<std::pair<std::string, std::string>> keyLabelsTable();
// Key code to name, for every key a player can bind, and Caps Lock.
std::map<int, std::string> keyNamesTable();
// The status menu's item that offers help with global keys, and the reason and remedy it shows.
std::string keysHelpTitle(KeysObstacle obstacle);
std::string keysHelpExplanation(KeysObstacle obstacle);

}  // namespace qm
