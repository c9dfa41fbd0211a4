#include "platform/gtk/portal/request.h"

#include <algorithm>
#include <utility>

#include "platform/gtk/gobject_ptr.h"
#include "platform/gtk/portal/replies.h"

namespace qm::gtk {
namespace {

std::string requestPath(GDBusConnection* bus, const std::string& token) {
  std::string sender = g_dbus_connection_get_unique_name(bus) + 1;  // without the leading ':'
  std::replace(sender.begin(), sender.end(), '.', '_');
  return std::string(kPortalPath) + "/request/" + sender + "/" + token;
}

}  // namespace

// Shared with the signal watch and the call in flight, which can both outlive the request.
struct PortalRequest::Pending {
  GObjectPtr<GDBusConnection> bus;
  guint subscription = 0;
  Answer answered;

  void drop() {
    answered = nullptr;
    if (subscription) g_dbus_connection_signal_unsubscribe(bus.get(), std::exchange(subscription, 0));
  }
  void answer(std::uint32_t response, GVariant* results) {
    if (!answered) return;
    auto then = std::exchange(answered, nullptr);
    drop();
    then(response, results);
  }
};

PortalRequest::PortalRequest(GDBusConnection* bus, const std::string& portal, const char* interface, const char* method,
                             GVariant* args, const std::string& token, Answer answer)
    : pending(std::make_shared<Pending>(
          Pending{GObjectPtr<GDBusConnection>(G_DBUS_CONNECTION(g_object_ref(bus))), 0, std::move(answer)})) {
  using Held = std::shared_ptr<Pending>;
  pending->subscription = g_dbus_connection_signal_subscribe(
      bus, portal.c_str(), "org.freedesktop.portal.Request", "Response", requestPath(bus, token).c_str(), nullptr,
      G_DBUS_SIGNAL_FLAGS_NONE,
      [](GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*, GVariant* parameters, gpointer p) {
        PortalResponse response;
        if (!readResponse(parameters, response)) return;  // not a portal's answer
        Held self = *static_cast<Held*>(p);               // kept while answering, as the answer may end the watch
        self->answer(response.code, response.results);
      },
      new Held(pending), [](gpointer p) { delete static_cast<Held*>(p); });
  g_dbus_connection_call(
      bus, portal.c_str(), kPortalPath, interface, method, args, G_VARIANT_TYPE("(o)"), G_DBUS_CALL_FLAGS_NONE, -1,
      nullptr,
      [](GObject* source, GAsyncResult* result, gpointer p) {
        std::unique_ptr<Held> held(static_cast<Held*>(p));
        g_autoptr(GVariant) reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, nullptr);
        if (!reply) (*held)->answer(2, nullptr);  // no portal, or it refused the call itself: no Response will come
      },
      new Held(pending));
}

PortalRequest::~PortalRequest() { pending->drop(); }

void closeSession(GDBusConnection* bus, const std::string& portal, std::string& session) {
  if (session.empty()) return;
  g_dbus_connection_call(bus, portal.c_str(), session.c_str(), "org.freedesktop.portal.Session", "Close", nullptr,
                         nullptr, G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr, nullptr);
  session.clear();
}

PortalOptions::PortalOptions() {
  g_variant_builder_init(&builder, G_VARIANT_TYPE_VARDICT);
  add("handle_token", g_variant_new_string(token.c_str()));
}

std::string PortalRequest::nextToken() {
  static unsigned counter = 0;
  return "quillmere_" + std::to_string(++counter);
}

}  // namespace qm::gtk
