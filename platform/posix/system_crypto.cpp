#include "platform/posix/system_crypto.h"

#include <glib.h>
#include <sys/random.h>

#include <algorithm>

namespace qm {

// getentropy exists on Linux and macOS alike (so the unit tests build on both); it gives 256 bytes a call.
bool SystemCrypto::randomBytes(std::span<std::uint8_t> out) {
  for (std::size_t filled = 0; filled < out.size();) {
    std::size_t n = std::min<std::size_t>(256, out.size() - filled);
    if (getentropy(out.data() + filled, n) != 0) return false;
    filled += n;
  }
  return true;
}

std::array<std::uint8_t, 32> SystemCrypto::sha256(std::string_view bytes) {
  std::array<std::uint8_t, 32> digest{};
  GChecksum* sum = g_checksum_new(G_CHECKSUM_SHA256);
  g_checksum_update(sum, reinterpret_cast<const guchar*>(bytes.data()), static_cast<gssize>(bytes.size()));
  gsize len = digest.size();
  g_checksum_get_digest(sum, digest.data(), &len);
  g_checksum_free(sum);
  return digest;
}

}  // namespace qm
