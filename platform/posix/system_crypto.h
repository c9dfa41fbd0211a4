// Randomness from the kernel and SHA-256 from GLib: no toolkit, so the in-memory platform hashes alike.
#pragma once

#include "platform/services.h"

namespace qm {

class SystemCrypto : public Crypto {
 public:
  bool randomBytes(std::span<std::uint8_t> out) override;
  std::array<std::uint8_t, 32> sha256(std::string_view bytes) override;
};

}  // namespace qm
