#include "platform/gtk/gtk_services.h"

#include <libsoup/soup.h>

#include <thread>

namespace qm::gtk {

namespace {

std::optional<std::string> fetch(const std::string& url, double timeout, std::size_t maxBytes,
                                 const std::string& certificate) {
  GMainContext* context = g_main_context_new();
  g_main_context_push_thread_default(context);
  SoupSession* session = soup_session_new_with_options("timeout", static_cast<guint>(timeout), "idle-timeout",
                                                       static_cast<guint>(timeout), nullptr);
  if (!certificate.empty()) {
    if (GTlsDatabase* db = g_tls_file_database_new(certificate.c_str(), nullptr)) {
      soup_session_set_tls_database(session, db);
      g_object_unref(db);
    }
  }
  std::optional<std::string> body;
  if (SoupMessage* message = soup_message_new("GET", url.c_str())) {
    GError* error = nullptr;
    if (GInputStream* in = soup_session_send(session, message, nullptr, &error)) {
      std::string data;
      char buf[16384];
      bool tooLarge = false;
      for (;;) {
        gssize n = g_input_stream_read(in, buf, sizeof buf, nullptr, nullptr);
        if (n <= 0) break;
        data.append(buf, static_cast<std::size_t>(n));
        if (data.size() > maxBytes) {
          tooLarge = true;
          break;
        }
      }
      g_object_unref(in);
      if (!tooLarge) body = std::move(data);
    }
    if (error) g_error_free(error);
    g_object_unref(message);
  }
  g_object_unref(session);
  g_main_context_pop_thread_default(context);
  g_main_context_unref(context);
  return body;
}

}  // namespace

void SoupHttp::get(const std::string& url, double timeoutSeconds, std::size_t maxBytes,
                   std::function<void(std::optional<std::string>)> done) {
  std::thread([this, url, timeoutSeconds, maxBytes, done = std::move(done)] { done(fetch(url, timeoutSeconds, maxBytes, certificate)); }).detach();
}

}  // namespace qm::gtk
