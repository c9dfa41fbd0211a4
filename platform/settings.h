// The settings store: JSON values by key, read at the moment of use and written one key at a time.
#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>

namespace qm {

class Settings {
 public:
  virtual ~Settings() = default;
  virtual std::optional<nlohmann::json> get(const std::string& key) const = 0;
  virtual void set(const std::string& key, const nlohmann::json& value) = 0;
  virtual void remove(const std::string& key) = 0;
};

}  // namespace qm
