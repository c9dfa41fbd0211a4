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

// Closes a portal session, if one is open, and forgets its handle.
void closeSession(GDBusConnection* bus, const std::string& portal, std::string& session);

// The options of one portal call, begun with a fresh handle token: the request listens under `token`.
class PortalOptions {
 public:
  PortalOptions();
  ~PortalOptions() { g_variant_builder_clear(&builder); }
  PortalOptions(const PortalOptions&) = delete;
  PortalOptions& operator=(const PortalOptions&) = delete;

  void add(const char* key, GVariant* value) { g_variant_builder_add(&builder, "{sv}", key, value); }
  // The options as a floating a{sv}, for "@a{sv}" in the call's arguments; once only.
  GVariant* end() { return g_variant_builder_end(&builder); }

  const std::string token = PortalRequest::nextToken();

 private:
  GVariantBuilder builder;
};

}  // namespace qm::gtk
