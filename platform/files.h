// The two file steps of the log writer, and where the log lives.
#pragma once

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
};

}  // namespace qm
