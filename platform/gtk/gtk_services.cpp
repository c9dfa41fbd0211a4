#include "platform/gtk/gtk_services.h"

#include <libsoup/soup.h>

namespace qm::gtk {
namespace {

// One fetch driven on the worker's own main context, so a deadline for the whole fetch and a cancel
// from the owner both end it, however slowly the server trickles.
class Fetch {
 public:
  Fetch(GMainContext* context, GCancellable* quitting, std::size_t maxBytes)
      : context(context), quitting(quitting), maxBytes(maxBytes) {}

  std::optional<HttpAnswer> run(SoupSession* session, SoupMessage* message, double timeout) {
    // The owner quitting ends this fetch too (at once when it has already quit).
    gulong link = g_cancellable_connect(quitting, G_CALLBACK(onQuit), cancel.get(), nullptr);
    g_autoptr(GSource) deadline = g_timeout_source_new(static_cast<guint>(timeout * 1000));
    g_source_set_callback(deadline, cancelFetch, cancel.get(), nullptr);
    g_source_attach(deadline, context);
    soup_session_send_async(session, message, G_PRIORITY_DEFAULT, cancel.get(), onSent, this);
    while (!finished) g_main_context_iteration(context, TRUE);
    g_source_destroy(deadline);
    g_cancellable_disconnect(quitting, link);
    if (!complete) return std::nullopt;
    g_autofree char* uri = g_uri_to_string(soup_message_get_uri(message));
    return HttpAnswer{uri ? uri : "", std::move(body)};
  }

 private:
  static gboolean cancelFetch(gpointer cancel) {
    g_cancellable_cancel(G_CANCELLABLE(cancel));
    return G_SOURCE_REMOVE;
  }
  static void onQuit(GCancellable*, gpointer cancel) { g_cancellable_cancel(G_CANCELLABLE(cancel)); }
  static void onSent(GObject* session, GAsyncResult* result, gpointer self) {
    auto* me = static_cast<Fetch*>(self);
    me->in.reset(soup_session_send_finish(SOUP_SESSION(session), result, nullptr));
    me->in ? me->readMore() : me->finish(false);
  }
  static void onRead(GObject* stream, GAsyncResult* result, gpointer self) {
    auto* me = static_cast<Fetch*>(self);
    gssize n = g_input_stream_read_finish(G_INPUT_STREAM(stream), result, nullptr);
    if (n <= 0) return me->finish(n == 0);
    me->body.append(me->buffer, static_cast<std::size_t>(n));
    // A broken server cannot fill memory.
    me->body.size() > me->maxBytes ? me->finish(false) : me->readMore();
  }
  void readMore() {
    g_input_stream_read_async(in.get(), buffer, sizeof buffer, G_PRIORITY_DEFAULT, cancel.get(), onRead, this);
  }
  void finish(bool whole) {
    complete = whole;
    finished = true;
  }

  GMainContext* context;
  GCancellable* quitting;
  GObjectPtr<GCancellable> cancel{g_cancellable_new()};
  std::size_t maxBytes;
  GObjectPtr<GInputStream> in;
  char buffer[16384];
  std::string body;
  bool finished = false, complete = false;
};

std::optional<HttpAnswer> fetch(const std::string& url, double timeout, std::size_t maxBytes,
                                const std::string& certificate, GCancellable* quitting) {
  g_autoptr(GMainContext) context = g_main_context_new();
  g_main_context_push_thread_default(context);
  std::optional<HttpAnswer> answer;
  {
    GObjectPtr<SoupSession> session(soup_session_new());
    if (!certificate.empty())
      if (GObjectPtr<GTlsDatabase> db(g_tls_file_database_new(certificate.c_str(), nullptr)); db)
        soup_session_set_tls_database(session.get(), db.get());
    if (GObjectPtr<SoupMessage> message(soup_message_new("GET", url.c_str())); message)
      answer = Fetch(context, quitting, maxBytes).run(session.get(), message.get(), timeout);
  }
  g_main_context_pop_thread_default(context);
  return answer;
}

}  // namespace

SoupHttp::~SoupHttp() {
  g_cancellable_cancel(quitting.get());
  workers.close();
}

void SoupHttp::get(const std::string& url, double timeoutSeconds, std::size_t maxBytes,
                   std::function<void(std::optional<HttpAnswer>)> done) {
  workers.start(
      [=, this, done = std::move(done)] { done(fetch(url, timeoutSeconds, maxBytes, certificate, quitting.get())); });
}

}  // namespace qm::gtk
