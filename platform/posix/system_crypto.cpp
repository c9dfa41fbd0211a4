#include "platform/posix/system_crypto.h"

#include <glib.h>
#include <sys/random.h>

#include <cerrno>

namespace qm {

bool SystemCrypto::randomBytes(std::span<std::uint8_t> out) {
  std::size_t filled = 0;
  while (filled < out.size()) {
    ssize_t n = getrandom(out.data() + filled, out.size() - filled, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    filled += static_cast<std::size_t>(n);
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
