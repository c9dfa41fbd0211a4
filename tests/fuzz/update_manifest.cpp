// Manifest bodies as a server could send them, and the version order they are compared in.
#include <cstdlib>

#include "update/version_compare.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string body(reinterpret_cast<const char*>(data), size);
  auto manifest = qm::readManifest(body);
  std::string version = manifest ? manifest->version : body.substr(0, body.size() / 2);
  std::string other = body.substr(body.size() / 2);
  // An order: each way round the opposite answer, and every version equal to itself.
  int ab = qm::compareVersions(version, other), ba = qm::compareVersions(other, version);
  if ((ab > 0) != (ba < 0) || (ab == 0) != (ba == 0) || qm::compareVersions(version, version) != 0) std::abort();
  return 0;
}
