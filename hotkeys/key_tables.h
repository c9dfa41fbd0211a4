// The literal tables of the hotkeys: default bindings, menu labels, key names.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace qm {

inline constexpr int kEscapeKey = 53;

std::map<std::string, int> defaultKeysTable();
std::vector<std::pair<std::string, std::string>> keyLabelsTable();
std::map<int, std::string> keyNamesTable();

}  // namespace qm
