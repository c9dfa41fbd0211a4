// Randomness and hashing from the system, one HTTP GET with libsoup 3 on a worker thread.
#pragma once

#include <string>

#include "platform/services.h"

namespace qm::gtk {

class SystemCrypto : public Crypto {
 public:
  bool randomBytes(std::span<std::uint8_t> out) override;
  std::array<std::uint8_t, 32> sha256(std::string_view bytes) override;
};

class SoupHttp : public Http {
 public:
  explicit SoupHttp(std::string trustedCertificate) : certificate(std::move(trustedCertificate)) {}
  void get(const std::string& url, double timeoutSeconds, std::size_t maxBytes,
           std::function<void(std::optional<std::string>)> done) override;

 private:
  std::string certificate;  // a test certificate to trust, or empty for the system's
};

}  // namespace qm::gtk
