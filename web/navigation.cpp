#include "app/app.h"
#include "app/config.h"
#include "web/url.h"

namespace qm {

bool App::in(const std::string& url) const {
  auto parts = parseURL(url);
  if (!parts || parts->scheme != "https") return false;
  return parts->host == config::kAltHost || parts->host == config::kMainHost;
}

bool App::openInBrowser(const std::string& url) {
  // Only web addresses leave the app: never a file, another app's scheme, or our own callback.
  if (!opensInBrowser(url)) return false;
  platform.desktop.openURL(url);
  return true;
}

void App::noteNavigation(int type, const std::string& url) {
  auto parts = parseURL(url).value_or(URLParts{});
  note("nav " + std::to_string(type) + " " + parts.host + parts.path);
}

void App::decidePolicy(WebView& view, const std::optional<std::string>& url, int type,
                       const std::function<void(Policy)>& decide) {
  if (!url) return decide(Policy::Cancel);
  noteNavigation(type, *url);
  std::string scheme = schemeOf(*url);
  if (scheme == "about" || scheme == "data" || scheme == "blob" || in(*url)) return decide(Policy::Allow);
  decide(Policy::Cancel);
  auto parts = parseURL(*url).value_or(URLParts{});
  if (parts.host == config::kSignInHost && parts.path == "/start") {
    if (type == LinkActivated)
      startBrowserSignIn();
    else
      showSignIn(view);
  } else {
    openInBrowser(*url);
  }
}

void App::onPopup(WebView& view, const std::optional<std::string>& url, int type) {
  if (!url) return;
  if (in(*url)) return view.load(*url, kLoadTimeout);
  if (!openInBrowser(*url)) noteNavigation(type, *url);
}

bool App::allowMedia(WebView&, const std::string& originHost) {
  return originHost == config::kAltHost || originHost == config::kMainHost;
}

void App::onAlert(WebView&, const std::string& message) {
  runAside(*platform.desktop.makeAlert(message, "", {}));
}

bool App::onConfirm(WebView&, const std::string& message) {
  return runAside(*platform.desktop.makeAlert(message, "", {"OK", "Cancel"})) == 0;
}

void App::onFileChooser(WebView&, bool multiple,
                        std::function<void(std::optional<std::vector<std::string>>)> done) {
  platform.desktop.openPanel(multiple, std::move(done));
}

void App::onProcessTerminated(WebView& view) { view.reload(); }

void App::onLoadFinished(WebView& view) {
  auto url = view.url();
  std::string text = "loaded " + (url ? url->substr(0, 60) : std::string("-"));
  std::weak_ptr<App> weak = weak_from_this();
  platform.web.allCookies([weak, text](std::vector<Cookie> cookies) {
    auto app = weak.lock();
    if (!app) return;
    std::string list;
    for (const auto& c : cookies) {
      if (c.domain.find(config::kCookieDomain) == std::string::npos) continue;
      if (!list.empty()) list += ",";
      list += c.name + "@" + c.domain;
    }
    app->note(text + "; cookies for qm: " + list);
  });
}

void App::onLoadFailed(WebView&, const std::string& description) { note("failed " + description); }

void App::onURLChanged(WebView& view) {
  if (&view == web.get()) observeURL();
}

}  // namespace qm
