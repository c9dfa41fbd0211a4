#include <array>
#include <regex>

#include "app/app.h"
#include "app/config.h"
#include "signin/signin_page.h"
#include "web/url.h"

namespace qm {
namespace {

const std::regex& callbackPattern() {
  static const std::regex pattern("^quillmere://auth/?\\?code=[0-9a-f]{64}$", std::regex::icase);
  return pattern;
}

std::string challengeFor(Crypto& crypto, const std::string& verifier) {
  auto digest = crypto.sha256(verifier);
  return hex(digest);
}

}  // namespace

std::string hex(std::span<const std::uint8_t> bytes) {
  static constexpr char digits[] = "0123456789abcdef";
  std::string out;
  for (auto b : bytes) {
    out += digits[b >> 4];
    out += digits[b & 15];
  }
  return out;
}

std::string signInPageHTML(bool waiting) {
  return std::string(
             "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<style>\n"
             "body { margin: 0; height: 100vh; display: grid; place-items: center; background: #0b0b0c; "
             "color: #ededef; font: 15px/1.5 -apple-system, system-ui, sans-serif; }\n"
             "main { max-width: 380px; padding: 24px; text-align: center; }\n"
             "p { color: #a1a1aa; }\n"
             "a { display: inline-block; margin-top: 14px; padding: 10px 18px; border-radius: 8px; "
             "background: #ededef; color: #0b0b0c; text-decoration: none; font-weight: 600; }\n"
             "</style>\n</head>\n<body>\n<main>\n<h2>Sign in to Quillmere</h2>\n"
             "<p>Discord opens in your browser. Approve Quillmere there and you come straight back here.</p>\n") +
         (waiting ? "<p id=\"waiting\" role=\"status\"><strong>Continue in your browser.</strong></p>\n" : "") +
         "<a href=\"https://" + config::kSignInHost + config::kPortSuffix +
         "/start?mode=dash\">Sign in with Discord</a>\n</main>\n</body>\n</html>\n";
}

void App::showSignIn(WebView& view, bool waiting) { showBuiltIn(view, signInPageHTML(waiting)); }

bool App::startBrowserSignIn() {
  std::array<std::uint8_t, 32> bytes{};
  if (!platform.crypto.randomBytes(bytes)) {
    // Never a verifier from an unfilled buffer.
    note("browser sign-in not started: no secure random bytes");
    return false;
  }
  std::string verifier = hex(bytes);
  defaults.set("signinVerifier", verifier);
  std::string challenge = challengeFor(platform.crypto, verifier);
  note("browser sign-in started, challenge " + challenge.substr(0, 8));
  return openInBrowser(SITE + "/api/auth/app-start?c=" + challenge);
}

void App::onURL(const std::optional<std::string>& url) {
  // A callback that starts the application arrives while it is launching: it waits for the main web view.
  if (!launchComplete) {
    earlyURLs.push_back(url);
    return;
  }
  note("url event " + (url ? url->substr(0, 30) : std::string("-")));
  if (!url) return;
  std::smatch match;
  if (!std::regex_search(*url, match, callbackPattern())) return;
  std::string code = asciiLower(match.str(0).substr(match.length(0) - 64));
  auto stored = defaults.get("signinVerifier");
  if (!stored || !stored->is_string()) {
    note("no verifier");
    return;
  }
  std::string verifier = stored->get<std::string>();
  note("redeeming code " + code.substr(0, 8) + " with verifier for " +
       challengeFor(platform.crypto, verifier).substr(0, 8));
  if (!web) return;
  // Any page can open a callback address: the verifier is spent and the window comes forward only once
  // the service accepts the code (redemptionAnswered).
  redemption = SITE + "/api/auth/app?code=" + code + "&verifier=" + verifier;
  web->load(*redemption, kLoadTimeout);
}

// The service's answer to a redemption: a refusal leaves the sign-in in progress as it was.
bool App::redemptionAnswered(const NavigationResponse& response) {
  bool refused = response.url == *redemption && response.status >= 400;
  redemption.reset();
  if (refused) {
    note("sign-in code refused by the service; the sign-in in progress goes on");
    // A refused code that came at launch cut the dashboard's first load short.
    if (!mainPageLoaded) {
      std::weak_ptr<App> weak = weak_from_this();
      platform.desktop.postToMain([weak] {
        if (auto app = weak.lock(); app && app->web) app->web->load(app->dashboardURL("cad"), kLoadTimeout);
      });
    }
    return false;
  }
  defaults.remove("signinVerifier");
  showMainAfterDialogs();
  return true;
}

}  // namespace qm
