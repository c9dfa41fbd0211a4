#include <cmath>
#include <ctime>

#include "app/app.h"
#include "app/log_line.h"
#include "app/plain_text.h"

namespace qm {

std::string dateDescription(std::chrono::system_clock::time_point when) {
  std::time_t t = std::chrono::system_clock::to_time_t(when);
  std::tm utc{};
  gmtime_r(&t, &utc);
  char buf[40];
  std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S +0000", &utc);
  return buf;
}

std::string logLine(std::chrono::system_clock::time_point when, const std::string& text) {
  constexpr std::size_t kLongestText = 2000;
  return dateDescription(when) + " " + loggable(text, kLongestText) + "\n";
}

std::optional<std::string> App::guild() const {
  auto value = defaults.get("guild");
  if (value && value->is_string()) return value->get<std::string>();
  return std::nullopt;
}

void App::setGuild(const std::string& id) { defaults.set("guild", id); }

int App::key(const std::string& action) const {
  if (auto value = defaults.get("key." + action); value && value->is_number()) {
    if (value->is_number_integer()) {
      // Values outside int's range can match no key code either; keep them outside 0...65535.
      auto wide = value->is_number_unsigned() ? static_cast<long double>(value->get<std::uint64_t>())
                                              : static_cast<long double>(value->get<std::int64_t>());
      if (wide > 1e9L) return -1;
      if (wide < -1e9L) return -1;
      return static_cast<int>(wide);
    }
    double d = value->get<double>();
    if (std::isfinite(d) && std::trunc(d) == d) return std::fabs(d) > 1e9 ? -1 : static_cast<int>(d);
  }
  auto it = DEFAULT_KEYS.find(action);
  return it == DEFAULT_KEYS.end() ? 0 : it->second;
}

void App::note(const std::string& text) {
  std::string line = logLine(platform.desktop.now(), text);
  std::string path = platform.files.logPath();
  // A bounded log: at its limit the current file becomes the one old file kept.
  constexpr std::uint64_t kLogLimit = 2 * 1024 * 1024;
  if (platform.files.size(path) + line.size() > kLogLimit) platform.files.rename(path, path + ".1");
  // Only a missing log is created whole; an existing one that cannot be opened is left as it is.
  if (platform.files.append(path, line) == AppendResult::Missing) platform.files.writeAtomically(path, line);
}

}  // namespace qm
