// Settings as one JSON object file, read at each use and replaced atomically on each change.
#pragma once

#include <functional>
#include <string>

#include "platform/settings.h"

namespace qm {

class FileSettings : public Settings {
 public:
  // setAside is told where an unreadable file was moved before it is replaced.
  FileSettings(std::string path, std::function<void(const std::string&)> setAside);

  std::optional<nlohmann::json> get(const std::string& key) const override;
  void set(const std::string& key, const nlohmann::json& value) override;
  void remove(const std::string& key) override;

 private:
  enum class State { Missing, Object, Unreadable };
  State read(nlohmann::json& out) const;
  void change(const std::function<void(nlohmann::json&)>& edit);

  std::string path;
  std::function<void(const std::string&)> setAside;
};

// Writes bytes to path through a temporary file, fsync and rename, so readers see the old or the new file.
bool writeFileAtomically(const std::string& path, const std::string& bytes);

}  // namespace qm
