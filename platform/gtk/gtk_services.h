// One HTTP GET with libsoup 3 on a worker thread.
#pragma once

#include <string>

#include "platform/services.h"

namespace qm::gtk {

class SoupHttp : public Http {
 public:
  explicit SoupHttp(std::string trustedCertificate) : certificate(std::move(trustedCertificate)) {}
  void get(const std::string& url, double timeoutSeconds, std::size_t maxBytes,
           std::function<void(std::optional<std::string>)> done) override;

 private:
  std::string certificate;  // a test certificate to trust, or empty for the system's
};

}  // namespace qm::gtk
