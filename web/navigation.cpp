#include "app/app.h"
#include "app/config.h"
#include "web/page_script.h"
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
  // An address without a host (data:, blob:) can carry a whole page: only its scheme is logged.
  note("nav " + std::to_string(type) + " " + (parts.host.empty() ? schemeOf(url) + ":" : parts.host + parts.path));
}

bool App::staysInside(const std::string& url) const {
  std::string scheme = schemeOf(url);
  return scheme == "about" || scheme == "data" || scheme == "blob" || in(url);
}

void App::decidePolicy(WebView& view, const NavigationAction& action, const std::function<void(Policy)>& decide) {
  if (!action.url) return decide(Policy::Cancel);
  const std::string& url = *action.url;
  noteNavigation(action.type, url);
  if (staysInside(url)) return decide(Policy::Allow);
  bool playersClick = action.type == LinkActivated && action.userGesture && !action.redirect;
  auto parts = parseURL(url).value_or(URLParts{});
  bool signInStart = parts.host == config::kSignInHost && parts.path == "/start";
  // Another site's frame loads in its frame, as in a browser; where the toolkit cannot tell the frame,
  // the response's check keeps the main frame on the service.
  if (opensInBrowser(url) && !signInStart && (action.mainFrame == false || (!action.mainFrame && !playersClick)))
    return decide(Policy::Allow);
  decide(Policy::Cancel);
  if (action.mainFrame == false) return;
  if (signInStart) {
    if (!playersClick)
      showSignIn(view);
    else if (startBrowserSignIn())
      showSignIn(view, true);
  } else if (playersClick) {
    openInBrowser(url);
  }
}

Policy App::decideResponse(WebView& view, const NavigationResponse& response) {
  if (&view == web.get() && response.mainFrame && redemption && !redemptionAnswered(response)) return Policy::Cancel;
  if (!response.mainFrame || staysInside(response.url)) return Policy::Allow;
  note("dropped " + parseURL(response.url).value_or(URLParts{}).host + ": not the service's page");
  return Policy::Cancel;
}

void App::onDownload(WebView&, const DownloadRequest& download,
                     std::function<void(std::optional<std::string>)> destination) {
  auto parts = parseURL(download.url).value_or(URLParts{});
  if (!download.userGesture) {
    note("download refused, not the player's click: " + schemeOf(download.url) + " " + parts.host);
    return destination(std::nullopt);
  }
  platform.desktop.savePanel(download.suggestedName, std::move(destination));
}

void App::onPopup(WebView& view, const std::optional<std::string>& url, int type) {
  if (!url) return;
  if (in(*url)) return view.load(*url, kLoadTimeout);
  if (!openInBrowser(*url)) noteNavigation(type, *url);
}

bool App::allowMedia(WebView&, const std::string& origin) { return in(origin); }

void App::onAlert(WebView&, const std::string& message) { runPageDialog(message, {"OK"}); }

bool App::onConfirm(WebView&, const std::string& message) { return runPageDialog(message, {"OK", "Cancel"}) == 0; }

int App::runPageDialog(const std::string& message, const std::vector<std::string>& buttons) {
  auto alert = platform.desktop.makeAlert(message, "", buttons);
  alert->answerByClick();
  return runInFront(*alert);
}

void App::onFileChooser(WebView&, bool multiple, std::function<void(std::optional<std::vector<std::string>>)> done) {
  platform.desktop.openPanel(multiple, std::move(done));
}

void App::onProcessTerminated(WebView& view, const std::string& reason) {
  auto& recovery = recoveries[&view];
  if (recovery.reload) recovery.reload->invalidate();
  auto now = platform.desktop.now();
  std::erase_if(recovery.ends, [&](auto at) { return now - at >= kReloadWindow; });
  recovery.ends.push_back(now);
  auto ends = recovery.ends.size();
  if (ends > kReloadLimit) {
    note("web process ended (" + reason + "), " + std::to_string(ends) + " times in a minute: the page keeps failing");
    auto shown = view.url();
    return showBuiltIn(view, keepsFailingPage(shown && in(*shown) ? *shown : SITE + "/"));
  }
  double wait = 1 << (ends - 1);  // 1, 2, 4 s
  note("web process ended (" + reason + "), reloading in " + std::to_string(static_cast<int>(wait)) + " s");
  // The web views live as long as the app, which stops this timer when it goes.
  recovery.reload = platform.desktop.scheduleRepeating(wait, [&view](Timer& timer) {
    timer.invalidate();
    view.reload();  // the page that ended, not a page of ours
  });
}

void App::onLoadFinished(WebView& view) {
  if (&view == web.get()) mainPageLoaded = true;
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

void App::onLoadFailed(WebView& view, const std::string& description) {
  if (&view == web.get()) redemption.reset();  // no answer will come
  note("failed " + description);
}

void App::onURLChanged(WebView& view) {
  if (view.url() != "about:blank") builtInPages.erase(&view);
  if (&view == web.get()) rememberGuildFromURL();
}

void App::onBackRequested(WebView& view) {
  if (&view == web.get()) goBack();
}

void App::showBuiltIn(WebView& view, const std::string& html) {
  builtInPages[&view] = html;
  view.loadHTML(html);
}

// A page loaded without an address would reload as a blank page: the page of ours is shown again instead.
void App::reloadView(WebView& view) {
  auto page = builtInPages.find(&view);
  if (page != builtInPages.end() && view.url().value_or("about:blank") == "about:blank")
    view.loadHTML(page->second);
  else
    view.reload();
}

}  // namespace qm
