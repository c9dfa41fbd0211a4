// The log's line format: the date in UTC, a blank, the text, a line feed.
#pragma once

#include <chrono>
#include <string>

namespace qm {

std::string dateDescription(std::chrono::system_clock::time_point when);
std::string logLine(std::chrono::system_clock::time_point when, const std::string& text);

}  // namespace qm
