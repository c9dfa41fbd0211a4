#include "platform/posix/file_settings.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <sstream>

#include "platform/posix/posix_files.h"

namespace qm {

bool writeFileAtomically(const std::string& path, const std::string& bytes) {
  std::string temp = path + ".tmp-" + std::to_string(getpid());
  int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
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

FileSettings::FileSettings(std::string path, std::function<void(const std::string&)> setAside)
    : path(std::move(path)), setAside(std::move(setAside)) {}

FileSettings::State FileSettings::read(nlohmann::json& out) const {
  std::ifstream in(path, std::ios::binary);
  if (!in) return State::Missing;
  std::stringstream text;
  text << in.rdbuf();
  out = nlohmann::json::parse(text.str(), nullptr, false);
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
  if (state == State::Unreadable) {
    // Keep what the user had: move it aside instead of writing over it.
    std::string aside = path + ".unreadable-" + std::to_string(std::time(nullptr));
    if (std::rename(path.c_str(), aside.c_str()) != 0) return;
    if (setAside) setAside(aside);
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
