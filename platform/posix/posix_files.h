// The log file steps on a POSIX file system.
#pragma once

#include "platform/files.h"

namespace qm {

class PosixFiles : public Files {
 public:
  explicit PosixFiles(std::string logPath) : path(std::move(logPath)) {}
  std::string logPath() const override { return path; }
  AppendResult append(const std::string& path, const std::string& bytes) override;
  void writeAtomically(const std::string& path, const std::string& bytes) override;
  std::uint64_t size(const std::string& path) const override;
  void rename(const std::string& from, const std::string& to) override;

 private:
  std::string path;
};

// Writes every byte, going on after interruptions; false when the file took less.
bool writeAll(int fd, const std::string& bytes);

// Makes a directory and its parents; true when it exists afterwards.
bool makeDirectories(const std::string& dir);

enum class FolderCheck { Private, NotOurs, Missing };
// Makes the folder if needed; one of ours is made private (0700), whatever mode it had.
FolderCheck privateFolder(const std::string& dir);

}  // namespace qm
