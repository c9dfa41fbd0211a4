#include "platform/posix/posix_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/posix/file_settings.h"

namespace qm {

AppendResult PosixFiles::append(const std::string& file, const std::string& bytes) {
  int fd = ::open(file.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT ? AppendResult::Missing : AppendResult::Unwritable;
  bool written = writeAll(fd, bytes);
  ::close(fd);
  return written ? AppendResult::Written : AppendResult::Unwritable;
}

bool writeAll(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

void PosixFiles::writeAtomically(const std::string& file, const std::string& bytes) {
  writeFileAtomically(file, bytes);
}

std::uint64_t PosixFiles::size(const std::string& file) const {
  struct stat st {};
  return ::stat(file.c_str(), &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
}

void PosixFiles::rename(const std::string& from, const std::string& to) { std::rename(from.c_str(), to.c_str()); }

bool makeDirectories(const std::string& dir) {
  for (std::size_t pos = 1; pos != std::string::npos;) {
    pos = dir.find('/', pos + 1);
    std::string part = dir.substr(0, pos);
    if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  struct stat st {};
  return ::stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

FolderCheck privateFolder(const std::string& dir) {
  if (!makeDirectories(dir)) return FolderCheck::Missing;
  int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return FolderCheck::Missing;
  struct stat st {};
  FolderCheck check = FolderCheck::Missing;
  if (::fstat(fd, &st) == 0) {
    check = st.st_uid == ::geteuid() ? FolderCheck::Private : FolderCheck::NotOurs;
    if (check == FolderCheck::Private && (st.st_mode & 077) != 0) ::fchmod(fd, 0700);
  }
  ::close(fd);
  return check;
}

}  // namespace qm
