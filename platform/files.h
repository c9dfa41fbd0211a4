// The file steps of the log writer, and where the log lives.
#pragma once

#include <cstdint>
#include <string>

namespace qm {

enum class AppendResult { Written, Missing, Unwritable };

class Files {
 public:
  virtual ~Files() = default;
  virtual std::string logPath() const = 0;
  // Opens an existing file, appends, closes. Missing: the file does not exist.
  virtual AppendResult append(const std::string& path, const std::string& bytes) = 0;
  // Writes the whole file atomically; a failure is ignored.
  virtual void writeAtomically(const std::string& path, const std::string& bytes) = 0;
  // The file's size in bytes; 0 when it is missing or cannot be read.
  virtual std::uint64_t size(const std::string& path) const = 0;
  // Renames a file, replacing what the new name had; a failure is ignored.
  virtual void rename(const std::string& from, const std::string& to) = 0;
};

}  // namespace qm
