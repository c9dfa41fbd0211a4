// A portal call answered through the Response signal of a Request object whose path the caller works out
// beforehand (the sender's unique name and a handle token), so the answer is listened for before the call.
#pragma once

#include <gio/gio.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace qm::gtk {

class PortalRequest {
 public:
  // response 0: done; 1: the player cancelled; 2: the desktop refused, or the call itself failed.
  // results is null when the call failed.
  using Answer = std::function<void(std::uint32_t response, GVariant* results)>;

  // Sends the call at once; answer runs at most once, on the main thread, and never after this is gone.
  PortalRequest(GDBusConnection* bus, const std::string& portal, const char* interface, const char* method,
                GVariant* args, const std::string& token, Answer answer);
  ~PortalRequest();
  PortalRequest(const PortalRequest&) = delete;
  PortalRequest& operator=(const PortalRequest&) = delete;

  // A handle token no other request of this process has used.
  static std::string nextToken();

 private:
  struct Pending;
  std::shared_ptr<Pending> pending;
};

}  // namespace qm::gtk
