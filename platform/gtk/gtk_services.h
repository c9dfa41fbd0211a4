// One HTTP GET with libsoup 3 on a worker thread of its own, joined by its owner.
#pragma once

#include <gio/gio.h>

#include <string>

#include "platform/gtk/gobject_ptr.h"
#include "platform/gtk/worker_set.h"
#include "platform/services.h"

namespace qm::gtk {

class SoupHttp : public Http {
 public:
  explicit SoupHttp(std::string trustedCertificate) : certificate(std::move(trustedCertificate)) {}
  ~SoupHttp() override;  // cancels what is in flight and joins every worker
  SoupHttp(const SoupHttp&) = delete;
  SoupHttp& operator=(const SoupHttp&) = delete;
  void get(const std::string& url, double timeoutSeconds, std::size_t maxBytes,
           std::function<void(std::optional<HttpAnswer>)> done) override;

 private:
  std::string certificate;  // a test certificate to trust, or empty for the system's
  GObjectPtr<GCancellable> quitting{g_cancellable_new()};
  WorkerSet workers;
};

}  // namespace qm::gtk
