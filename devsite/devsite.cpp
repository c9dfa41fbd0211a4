// The local stand-in of the web service: the dashboard and MDT pages, the sign-in start page and both
// sign-in endpoints, and the update manifest, over HTTPS on every stand-in host name. Test hooks under
// /_test/, on only with QM_STANDIN_TEST_HOOKS=1, let tests read what pages reported and script the pages
// and the manifest's answer.
#include <libsoup/soup.h>

#include <cstdio>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <list>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string pagesDir = QM_DEVSITE_PAGES;
std::map<std::string, std::string> challenges;  // one-time code -> challenge
std::map<std::string, std::string> sessions;    // session cookie -> code it came from
nlohmann::json reports = nlohmann::json::array();
nlohmann::json requests = nlohmann::json::array();
std::map<std::string, std::deque<std::string>> commands;  // page view -> scripts the page runs next
bool testHooks = false;                                   // the /_test/ hooks answer only in test runs
struct Manifest {
  int status = 200;
  std::string body;
} manifest;

// A page's ask for its next script, held open until a test gives one: a page no test drives costs nothing.
// Answered empty after a while all the same, so that no connection waits for ever.
struct HeldAsk {
  SoupServerMessage* msg;  // a reference of ours
  std::string view;
  guint timer = 0;
  gulong gone = 0;
};
std::list<std::unique_ptr<HeldAsk>> heldAsks;
constexpr guint kHoldSeconds = 20;

std::string readPage(const std::string& name) {
  std::ifstream in(pagesDir + "/" + name, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string randomHex(int bytes) {
  static std::random_device rd;
  std::string out;
  char b[3];
  for (int i = 0; i < bytes; ++i) {
    std::snprintf(b, sizeof b, "%02x", rd() & 0xff);
    out += b;
  }
  return out;
}

std::string sha256Hex(const std::string& text) {
  char* sum = g_compute_checksum_for_string(G_CHECKSUM_SHA256, text.c_str(), static_cast<gssize>(text.size()));
  std::string out = sum;
  g_free(sum);
  return out;
}

std::string query(SoupServerMessage* msg, const char* key) {
  const char* q = g_uri_get_query(soup_server_message_get_uri(msg));
  if (!q) return {};
  GHashTable* table = g_uri_parse_params(q, -1, "&", G_URI_PARAMS_NONE, nullptr);
  std::string value;
  if (table) {
    if (auto* v = static_cast<const char*>(g_hash_table_lookup(table, key))) value = v;
    g_hash_table_unref(table);
  }
  return value;
}

std::string cookie(SoupServerMessage* msg, const std::string& name) {
  const char* header = soup_message_headers_get_one(soup_server_message_get_request_headers(msg), "Cookie");
  if (!header) return {};
  std::string all = header, key = name + "=";
  for (std::size_t pos = 0; pos < all.size();) {
    std::size_t end = all.find(';', pos);
    std::string part = all.substr(pos, end - pos);
    while (!part.empty() && part[0] == ' ') part.erase(0, 1);
    if (part.rfind(key, 0) == 0) return part.substr(key.size());
    if (end == std::string::npos) break;
    pos = end + 1;
  }
  return {};
}

void respond(SoupServerMessage* msg, int status, const std::string& type, const std::string& body) {
  soup_server_message_set_status(msg, status, nullptr);
  soup_message_headers_replace(soup_server_message_get_response_headers(msg), "Cache-Control", "no-store");
  soup_server_message_set_response(msg, type.c_str(), SOUP_MEMORY_COPY, body.data(), body.size());
}

void redirect(SoupServerMessage* msg, const std::string& to) {
  soup_server_message_set_redirect(msg, SOUP_STATUS_FOUND, to.c_str());
}

std::string bodyOf(SoupServerMessage* msg) {
  SoupMessageBody* body = soup_server_message_get_request_body(msg);
  GBytes* bytes = soup_message_body_flatten(body);
  gsize size = 0;
  const char* data = static_cast<const char*>(g_bytes_get_data(bytes, &size));
  std::string out(data ? data : "", size);
  g_bytes_unref(bytes);
  return out;
}

void forget(HeldAsk* ask) {
  if (ask->timer) g_source_remove(ask->timer);
  g_signal_handler_disconnect(ask->msg, ask->gone);
  g_object_unref(ask->msg);
  heldAsks.remove_if([ask](const auto& held) { return held.get() == ask; });
}

void answer(HeldAsk* ask, int status, const std::string& js) {
  respond(ask->msg, status, "text/javascript", js);
  soup_server_message_unpause(ask->msg);
  forget(ask);
}

void holdAsk(SoupServerMessage* msg, const std::string& view) {
  auto* ask =
      heldAsks.emplace_back(std::make_unique<HeldAsk>(HeldAsk{SOUP_SERVER_MESSAGE(g_object_ref(msg)), view})).get();
  soup_server_message_pause(msg);
  ask->timer = g_timeout_add_seconds(
      kHoldSeconds,
      [](gpointer a) {
        auto* ask = static_cast<HeldAsk*>(a);
        ask->timer = 0;  // this source ends as it returns
        answer(ask, 204, "");
        return G_SOURCE_REMOVE;
      },
      ask);
  ask->gone = g_signal_connect(
      msg, "disconnected", G_CALLBACK(+[](SoupServerMessage*, gpointer a) { forget(static_cast<HeldAsk*>(a)); }), ask);
}

// The script waits in the view's queue and the asks held for it are woken to come for it: an ask held by
// a page that has gone since (reloaded, say) takes nothing with it.
void giveCommand(const std::string& view, const std::string& js) {
  commands[view].push_back(js);
  std::vector<HeldAsk*> woken;
  for (auto& held : heldAsks)
    if (held->view == view) woken.push_back(held.get());
  for (auto* ask : woken) answer(ask, 204, "");
}

void serveManifest(SoupServerMessage* msg) { respond(msg, manifest.status, "application/json", manifest.body); }

void handle(SoupServer*, SoupServerMessage* msg, const char* pathText, GHashTable*, gpointer) {
  std::string path = pathText, method = soup_server_message_get_method(msg);
  GUri* uri = soup_server_message_get_uri(msg);
  std::string host = g_uri_get_host(uri) ? g_uri_get_host(uri) : "";
  const char* agent = soup_message_headers_get_one(soup_server_message_get_request_headers(msg), "User-Agent");
  if (path.rfind("/_test/", 0) != 0)
    requests.push_back({{"host", host}, {"path", path}, {"agent", agent ? agent : ""}});
  std::string site = std::string("https://") + QM_MAIN_HOST + ":" + std::to_string(QM_DEVSITE_PORT);

  if (path.rfind("/_test/", 0) == 0 && !testHooks) {
    respond(msg, 404, "text/html; charset=utf-8", "<!DOCTYPE html><h1>not here</h1>");
  } else if (path == "/dashboard/" || path == "/dashboard") {
    respond(msg, 200, "text/html; charset=utf-8", readPage("dashboard.html"));
  } else if (path == "/start" && host == QM_SIGNIN_HOST) {
    respond(msg, 200, "text/html; charset=utf-8", readPage("start.html"));
  } else if (path == "/api/me") {
    bool in = sessions.count(cookie(msg, "qm_session")) > 0;
    respond(msg, 200, "application/json", nlohmann::json{{"signedIn", in}}.dump());
  } else if (path == "/api/auth/app-start") {
    std::string code = randomHex(32);
    challenges[code] = query(msg, "c");
    redirect(msg, "quillmere://auth?code=" + code);
  } else if (path == "/api/auth/app") {
    std::string code = query(msg, "code"), verifier = query(msg, "verifier");
    auto it = challenges.find(code);
    if (it == challenges.end() || sha256Hex(verifier) != it->second) {
      respond(msg, 403, "text/html; charset=utf-8", "<!DOCTYPE html><h1>sign-in refused</h1>");
      return;
    }
    challenges.erase(it);
    std::string session = randomHex(16);
    sessions[session] = code;
    soup_message_headers_append(soup_server_message_get_response_headers(msg), "Set-Cookie",
                                ("qm_session=" + session + "; Path=/; Secure; HttpOnly; Max-Age=86400").c_str());
    redirect(msg, site + "/dashboard/");
  } else if (path == "/downloads/quillmere-mac.json") {
    serveManifest(msg);
  } else if (path == "/_test/report" && method == "POST") {
    auto report = nlohmann::json::parse(bodyOf(msg), nullptr, false);
    if (!report.is_discarded()) reports.push_back(report);
    respond(msg, 204, "text/plain", "");
  } else if (path == "/_test/command" && method == "POST") {
    auto command = nlohmann::json::parse(bodyOf(msg), nullptr, false);
    if (command.is_object()) giveCommand(command.value("view", ""), command.value("js", ""));
    respond(msg, 204, "text/plain", "");
  } else if (path == "/_test/command") {
    auto& queue = commands[query(msg, "view")];
    if (queue.empty()) {
      holdAsk(msg, query(msg, "view"));
    } else {
      respond(msg, 200, "text/javascript", queue.front());
      queue.pop_front();
    }
  } else if (path == "/_test/forget" && method == "POST") {
    auto request = nlohmann::json::parse(bodyOf(msg), nullptr, false);
    std::string kind = request.is_object() ? request.value("kind", "") : "";
    nlohmann::json kept = nlohmann::json::array();
    for (auto& r : reports)
      if (!r.is_object() || r.value("kind", "") != kind) kept.push_back(r);
    reports = kept;
    respond(msg, 204, "text/plain", "");
  } else if (path == "/_test/reports") {
    respond(msg, 200, "application/json", reports.dump());
  } else if (path == "/_test/requests") {
    respond(msg, 200, "application/json", requests.dump());
  } else if (path == "/_test/reset" && method == "POST") {
    reports = nlohmann::json::array();
    requests = nlohmann::json::array();
    commands.clear();
    respond(msg, 204, "text/plain", "");
  } else if (path == "/_test/manifest" && method == "POST") {
    auto request = nlohmann::json::parse(bodyOf(msg), nullptr, false);
    if (request.is_object()) {
      manifest.status = request.value("status", 200);
      manifest.body = request.value("body", std::string());
    }
    respond(msg, 204, "text/plain", "");
  } else if (path.rfind("/pages/", 0) == 0 && path.find("..") == std::string::npos) {
    bool script = path.ends_with(".js");
    respond(msg, 200, script ? "text/javascript" : "text/html; charset=utf-8", readPage(path.substr(7)));
  } else {
    respond(msg, 404, "text/html; charset=utf-8", "<!DOCTYPE html><h1>not here</h1>");
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s CERT.pem KEY.pem\n", argv[0]);
    return 2;
  }
  // The hooks let any local program script the pages: only test runs turn them on.
  const char* hooks = std::getenv("QM_STANDIN_TEST_HOOKS");
  testHooks = hooks && std::string(hooks) == "1";
  manifest.body = nlohmann::json{
      {"version", "1.0.0"},
      {"url", std::string("https://") + QM_MAIN_HOST + ":" + std::to_string(QM_DEVSITE_PORT) + "/downloads/"},
      {"notes", ""}}.dump();
  GError* error = nullptr;
  GTlsCertificate* cert = g_tls_certificate_new_from_files(argv[1], argv[2], &error);
  if (!cert) {
    std::fprintf(stderr, "certificate: %s\n", error->message);
    return 1;
  }
  SoupServer* server = soup_server_new("tls-certificate", cert, nullptr);
  soup_server_add_handler(server, nullptr, handle, nullptr, nullptr);
  if (!soup_server_listen_local(server, QM_DEVSITE_PORT, SOUP_SERVER_LISTEN_HTTPS, &error)) {
    std::fprintf(stderr, "listen: %s\n", error->message);
    return 1;
  }
  std::printf("stand-in service on https://%s:%d\n", QM_MAIN_HOST, QM_DEVSITE_PORT);
  std::fflush(stdout);
  GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
  g_main_loop_run(loop);
  return 0;
}
