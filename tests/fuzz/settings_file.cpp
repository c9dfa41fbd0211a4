// Settings files as a user, a tool or a failing disk could leave them: read, then written.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/posix/file_settings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // In memory where the system has it: every write is synced to its disk.
  static const std::string dir = [] {
    char shm[] = "/dev/shm/qm-fuzz-settings-XXXXXX", tmp[] = "/tmp/qm-fuzz-settings-XXXXXX";
    const char* made = mkdtemp(shm);
    return std::string(made ? made : mkdtemp(tmp));
  }();
  static const int cleanup = std::atexit([] { std::filesystem::remove_all(dir); });
  (void)cleanup;
  const std::string path = dir + "/settings.json";
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  std::string aside;
  qm::FileSettings settings(path, [&](const std::string& line) { aside = line.substr(line.find(" kept as ") + 9); });
  auto guild = settings.get("guild");
  settings.set("key.ptt", 9);
  // Whatever was there is either still a settings object or kept aside whole.
  if (settings.get("key.ptt") != nlohmann::json(9)) std::abort();
  if (guild && settings.get("guild") != guild) std::abort();
  if (!aside.empty()) std::remove(aside.c_str());
  return 0;
}
