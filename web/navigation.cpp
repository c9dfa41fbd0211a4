#include "web/navigation.h"

#include <algorithm>
#include <cctype>

#include "app/app.h"
#include "app/config.h"

namespace qm {

std::string lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text;
}

std::optional<URLParts> parseURL(const std::string& url) {
  auto colon = url.find(':');
  if (colon == std::string::npos || colon == 0) return std::nullopt;
  URLParts parts;
  parts.scheme = url.substr(0, colon);
  bool validScheme = std::isalpha(static_cast<unsigned char>(parts.scheme[0])) &&
                     std::all_of(parts.scheme.begin(), parts.scheme.end(), [](unsigned char c) {
                       return std::isalnum(c) || c == '+' || c == '-' || c == '.';
                     });
  if (!validScheme) return std::nullopt;
  std::string rest = url.substr(colon + 1);
  auto endOfPath = rest.find_first_of("?#");
  std::string beforeQuery = rest.substr(0, endOfPath);
  if (beforeQuery.rfind("//", 0) == 0) {
    auto authorityEnd = beforeQuery.find('/', 2);
    std::string authority = beforeQuery.substr(2, authorityEnd == std::string::npos ? std::string::npos : authorityEnd - 2);
    if (auto at = authority.rfind('@'); at != std::string::npos) authority = authority.substr(at + 1);
    if (!authority.empty() && authority[0] == '[') {
      auto close = authority.find(']');
      parts.host = authority.substr(1, close == std::string::npos ? std::string::npos : close - 1);
    } else {
      parts.host = authority.substr(0, authority.find(':'));
    }
    parts.path = authorityEnd == std::string::npos ? "" : beforeQuery.substr(authorityEnd);
  } else {
    parts.path = beforeQuery;
  }
  return parts;
}

bool App::in(const std::string& url) const {
  auto parts = parseURL(url);
  if (!parts || parts->scheme != "https" || parts->host.empty()) return false;
  std::string host = lower(parts->host);
  return host == config::kAltHost || host == config::kMainHost;
}

void App::decidePolicy(WebView& view, const std::optional<std::string>& url, int type,
                       const std::function<void(Policy)>& decide) {
  if (!url) return decide(Policy::Cancel);
  auto parts = parseURL(*url).value_or(URLParts{});
  note("nav " + std::to_string(type) + " " + parts.host + parts.path);
  if (parts.scheme == "about" || parts.scheme == "data" || parts.scheme == "blob" || in(*url))
    return decide(Policy::Allow);
  decide(Policy::Cancel);
  if (parts.host == config::kSignInHost && parts.path == "/start") {
    if (type == LinkActivated)
      startBrowserSignIn();
    else
      showSignIn(view);
  } else if (parts.scheme == "https" || parts.scheme == "http") {
    platform.desktop.openURL(*url);
  }
}

void App::onPopup(WebView& view, const std::optional<std::string>& url) {
  if (!url) return;
  if (in(*url))
    view.load(*url, 60);
  else
    platform.desktop.openURL(*url);
}

bool App::allowMedia(WebView&, const std::string& originHost) {
  return originHost == config::kAltHost || originHost == config::kMainHost;
}

void App::onAlert(WebView&, const std::string& message) {
  platform.desktop.makeAlert(message, "", {})->run();
}

bool App::onConfirm(WebView&, const std::string& message) {
  return platform.desktop.makeAlert(message, "", {"OK", "Cancel"})->run() == 0;
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
