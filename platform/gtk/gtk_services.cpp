#include "platform/gtk/gtk_services.h"

#include <libsoup/soup.h>

#include <thread>

#include "platform/gtk/gobject_ptr.h"

namespace qm::gtk {

namespace {

// The whole body, or nothing when it is over maxBytes.
std::optional<std::string> readAtMost(GInputStream* in, std::size_t maxBytes) {
  std::string data;
  char buf[16384];
  for (gssize n; (n = g_input_stream_read(in, buf, sizeof buf, nullptr, nullptr)) > 0;) {
    data.append(buf, static_cast<std::size_t>(n));
    if (data.size() > maxBytes) return std::nullopt;
  }
  return data;
}

std::optional<std::string> fetchOnThisThread(const std::string& url, double timeout, std::size_t maxBytes,
                                             const std::string& certificate) {
  GObjectPtr<SoupSession> session(soup_session_new_with_options("timeout", static_cast<guint>(timeout),
                                                                "idle-timeout", static_cast<guint>(timeout), nullptr));
  if (!certificate.empty())
    if (GObjectPtr<GTlsDatabase> db(g_tls_file_database_new(certificate.c_str(), nullptr)); db)
      soup_session_set_tls_database(session.get(), db.get());
  GObjectPtr<SoupMessage> message(soup_message_new("GET", url.c_str()));
  if (!message) return std::nullopt;
  GError* error = nullptr;
  GObjectPtr<GInputStream> in(soup_session_send(session.get(), message.get(), nullptr, &error));
  if (error) g_error_free(error);
  return in ? readAtMost(in.get(), maxBytes) : std::nullopt;
}

// The request runs on the calling thread's default context: the worker gets its own.
std::optional<std::string> fetch(const std::string& url, double timeout, std::size_t maxBytes,
                                 const std::string& certificate) {
  GMainContext* context = g_main_context_new();
  g_main_context_push_thread_default(context);
  auto body = fetchOnThisThread(url, timeout, maxBytes, certificate);
  g_main_context_pop_thread_default(context);
  g_main_context_unref(context);
  return body;
}

}  // namespace

void SoupHttp::get(const std::string& url, double timeoutSeconds, std::size_t maxBytes,
                   std::function<void(std::optional<std::string>)> done) {
  std::thread([this, url, timeoutSeconds, maxBytes, done = std::move(done)] {
    done(fetch(url, timeoutSeconds, maxBytes, certificate));
  }).detach();
}

}  // namespace qm::gtk
