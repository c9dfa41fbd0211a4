#include "platform/posix/file_settings.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "platform/posix/posix_files.h"

namespace qm {
namespace {

// Settings are a flat object of a few hundred bytes; anything far beyond is not ours to load.
constexpr off_t kMaxBytes = 1 << 20;
constexpr int kMaxDepth = 32;

struct TooDeep {};

// The file a write must replace: the target of a symbolic link, else the path itself.
std::string writeTarget(const std::string& path) {
  char resolved[PATH_MAX];
  return ::realpath(path.c_str(), resolved) ? std::string(resolved) : path;
}

// The whole file, or none with errno set.
std::optional<std::string> readAll(const std::string& path, bool& tooLarge) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  std::string text;
  struct stat st {};
  bool ok = ::fstat(fd, &st) == 0;
  tooLarge = ok && st.st_size > kMaxBytes;
  for (char buf[16384]; ok && !tooLarge;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = n == 0;
      break;
    }
    text.append(buf, static_cast<std::size_t>(n));
    tooLarge = static_cast<off_t>(text.size()) > kMaxBytes;
  }
  int saved = errno;
  ::close(fd);
  errno = saved;
  return ok ? std::optional(std::move(text)) : std::nullopt;
}

}  // namespace

bool writeFileAtomically(const std::string& file, const std::string& bytes) {
  std::string path = writeTarget(file);
  // A fresh name only we can have made: nothing planted beside the file is written through.
  std::string temp = path + ".tmp-XXXXXX";
  int fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = writeAll(fd, bytes) && ::fsync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  if (!ok || ::rename(temp.c_str(), path.c_str()) != 0) {
    ::unlink(temp.c_str());
    return false;
  }
  // The rename itself must reach the disk too.
  std::string dir = path.substr(0, path.find_last_of('/') + 1);
  if (int dfd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dfd >= 0) {
    ::fsync(dfd);
    ::close(dfd);
  }
  return true;
}

FileSettings::FileSettings(std::string path, std::function<void(const std::string&)> report)
    : path(std::move(path)), report(std::move(report)) {}

FileSettings::State FileSettings::read(nlohmann::json& out) const {
  bool tooLarge = false;
  auto text = readAll(path, tooLarge);
  if (tooLarge) return State::Unreadable;
  if (!text) return errno == ENOENT ? State::Missing : State::Failed;
  auto bounded = [](int depth, nlohmann::json::parse_event_t, nlohmann::json&) {
    if (depth > kMaxDepth) throw TooDeep{};
    return true;
  };
  try {
    out = nlohmann::json::parse(*text, bounded, false);
  } catch (const TooDeep&) {
    return State::Unreadable;
  }
  return !out.is_discarded() && out.is_object() ? State::Object : State::Unreadable;
}

std::optional<nlohmann::json> FileSettings::get(const std::string& key) const {
  nlohmann::json all;
  if (read(all) != State::Object) return std::nullopt;
  auto it = all.find(key);
  if (it == all.end() || it->is_null()) return std::nullopt;
  return *it;
}

void FileSettings::change(const std::function<void(nlohmann::json&)>& edit) {
  nlohmann::json all;
  State state = read(all);
  if (state == State::Failed) {
    // What the user had stays untouched; the app goes on with fallbacks.
    if (report && !std::exchange(failureReported, true))
      report("settings file could not be read; changes are not saved");
    return;
  }
  if (state == State::Unreadable) {
    // Keep what the user had: move it aside instead of writing over it.
    std::string aside = path + ".unreadable-" + std::to_string(std::time(nullptr));
    if (std::rename(path.c_str(), aside.c_str()) != 0) return;
    if (report) report("settings file could not be read; kept as " + aside);
  }
  if (state != State::Object) all = nlohmann::json::object();
  edit(all);
  writeFileAtomically(path, all.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n");
}

void FileSettings::set(const std::string& key, const nlohmann::json& value) {
  change([&](nlohmann::json& all) { all[key] = value; });
}

void FileSettings::remove(const std::string& key) {
  change([&](nlohmann::json& all) { all.erase(key); });
}

}  // namespace qm
