// The Linux backend's promises the core relies on: whole-fetch deadlines, where an answer came from,
// workers that end with their owner, and page loads that time out.
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <future>
#include <thread>

#include "platform/gtk/gtk_services.h"
#include "platform/gtk/gtk_web.h"
#include "tests/platform/run_until.h"

namespace qm::gtk {
namespace {

bool say(int client, const std::string& text) { return ::write(client, text.data(), text.size()) > 0; }

// A loopback HTTP server: /moved is redirected to /manifest, which answers "{}"; any other path gets its body a byte
// a tenth of a second, for as long as the client listens. One that does not answer never accepts a connection.
class Server {
 public:
  explicit Server(bool answering) {
    listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    ::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(listener, 8);
    socklen_t length = sizeof address;
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
    if (answering) thread = std::thread([this] { serve(); });
  }
  ~Server() {
    stopping = true;
    ::shutdown(listener, SHUT_RDWR);
    if (thread.joinable()) thread.join();
    ::close(listener);
  }
  std::string url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port) + path; }

 private:
  void serve() {
    for (int client; !stopping && (client = ::accept(listener, nullptr, nullptr)) >= 0; ::close(client)) {
      // A connection opened ahead of need sends nothing: never wait on it for long.
      timeval patience{1, 0};
      ::setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
      char request[4096] = {};
      (void)!::read(client, request, sizeof request - 1);
      if (std::string_view(request).starts_with("GET /moved "))
        say(client, "HTTP/1.1 302 Found\r\nLocation: /manifest\r\nContent-Length: 0\r\n\r\n");
      else if (std::string_view(request).starts_with("GET /manifest "))
        say(client, "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\n{}");
      else if (say(client, "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n"))
        while (!stopping && ::send(client, "x", 1, MSG_NOSIGNAL) == 1)
          std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
  }
  std::atomic<bool> stopping = false;
  int listener = -1, port = 0;
  std::thread thread;
};

std::optional<HttpAnswer> fetch(SoupHttp& http, const std::string& url, double timeout) {
  std::promise<std::optional<HttpAnswer>> answer;
  http.get(url, timeout, 1 << 20, [&](std::optional<HttpAnswer> a) { answer.set_value(std::move(a)); });
  auto future = answer.get_future();
  EXPECT_EQ(future.wait_for(std::chrono::seconds(60)), std::future_status::ready) << url << ": no answer";
  return future.get();
}

TEST(SoupHttp, OneDeadlineForTheWholeFetchTheAddressItCameFromAndQuitting) {
  Server server(true);
  std::promise<bool> answered;
  {
    SoupHttp http("");
    auto moved = fetch(http, server.url("/moved"), 30);
    ASSERT_TRUE(moved);
    EXPECT_EQ(moved->url, server.url("/manifest"));
    EXPECT_EQ(moved->body, "{}");
    // Each read is quick, the whole never ends: the deadline still does.
    EXPECT_EQ(fetch(http, server.url("/slow"), 1), std::nullopt);
    http.get(server.url("/slow"), 600, 1 << 20,
             [&](std::optional<HttpAnswer> a) { answered.set_value(a.has_value()); });
  }  // the owner goes: its worker has answered and is joined
  auto future = answered.get_future();
  ASSERT_EQ(future.wait_for(std::chrono::seconds(0)), std::future_status::ready);
  EXPECT_FALSE(future.get());
}

struct LoadWatcher : WebViewDelegate {
  void onMessage(WebView&, const MessageSource&, const std::string&) override {}
  void decidePolicy(WebView&, const NavigationAction&, const std::function<void(Policy)>& d) override {
    d(Policy::Allow);
  }
  Policy decideResponse(WebView&, const NavigationResponse&) override { return Policy::Allow; }
  void onDownload(WebView&, const DownloadRequest&, std::function<void(std::optional<std::string>)>) override {}
  void onPopup(WebView&, const std::optional<std::string>&, int) override {}
  bool allowMedia(WebView&, const std::string&) override { return false; }
  void onAlert(WebView&, const std::string&) override {}
  bool onConfirm(WebView&, const std::string&) override { return false; }
  void onFileChooser(WebView&, bool, std::function<void(std::optional<std::vector<std::string>>)>) override {}
  void onProcessTerminated(WebView&, const std::string&) override {}
  void onLoadFinished(WebView&) override { outcome = "finished"; }
  void onLoadFailed(WebView&, const std::string& description) override { outcome = "failed " + description; }
  void onURLChanged(WebView&) override {}
  void onBackRequested(WebView&) override {}
  std::string outcome;
};

TEST(GtkWebView, ALoadWithNoAnswerTimesOut) {
  Server server(false);
  auto dir = std::string(g_get_tmp_dir()) + "/qm-contract-" + std::to_string(getpid());
  GtkWebContext context(dir + "/data", dir + "/cache", "", {});
  LoadWatcher watcher;
  WebViewConfig config;
  config.messageHandler = "qm";
  auto view = context.makeWebView(config, watcher);
  view->load(server.url("/never"), 1);
  runUntil([&] { return !watcher.outcome.empty(); });
  EXPECT_EQ(watcher.outcome, "failed The request timed out.");
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace qm::gtk

int main(int argc, char** argv) {
  gtk_init(&argc, &argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
