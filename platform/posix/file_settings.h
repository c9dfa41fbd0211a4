// Settings as one JSON object file, read at each use and replaced atomically on each change.
#pragma once

#include <functional>
#include <string>

#include "platform/settings.h"

namespace qm {

class FileSettings : public Settings {
 public:
  // report gets one log line when the file was kept aside or could not be read.
  FileSettings(std::string path, std::function<void(const std::string&)> report);

  std::optional<nlohmann::json> get(const std::string& key) const override;
  void set(const std::string& key, const nlohmann::json& value) override;
  void remove(const std::string& key) override;

 private:
  // Unreadable: its text is no settings object (kept aside, then replaced). Failed: it could not be read
  // at all, so nothing may be written over it.
  enum class State { Missing, Object, Unreadable, Failed };
  State read(nlohmann::json& out) const;
  void change(const std::function<void(nlohmann::json&)>& edit);

  std::string path;
  std::function<void(const std::string&)> report;
  bool failureReported = false;
};

// Writes bytes to path through a temporary file, fsync and rename, so readers see the old or the new file.
// A symbolic link is written through: its target gets the new bytes and the link stays.
bool writeFileAtomically(const std::string& path, const std::string& bytes);

}  // namespace qm
