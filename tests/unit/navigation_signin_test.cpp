#include <clocale>

#include "app/config.h"
#include "tests/unit/harness.h"

namespace qm::test {
namespace {

const std::string kSignInStart = std::string("https://") + config::kSignInHost + config::kPortSuffix + "/start";

// A click of the player's on a link in the main frame, unless told otherwise.
Policy decide(Harness& h, const std::string& url, int type, NavigationAction action = {{}, 0, true, true}) {
  std::optional<Policy> answer;
  action.url = url, action.type = type;
  h.app->decidePolicy(h.mainView(), action, [&](Policy p) {
    EXPECT_FALSE(answer) << "answered twice";
    answer = p;
    EXPECT_TRUE(h.fakes.desktop.opened.empty()) << "the follow-up runs after the answer";
  });
  EXPECT_TRUE(answer) << "never answered";
  return answer.value_or(Policy::Allow);
}

}  // namespace

TEST(Navigation, InTakesOnlyHttpsOnTheServiceHosts) {
  Harness h;
  const std::string host = config::kMainHost, alt = config::kAltHost;
  std::string upper = host, dotted = host;
  for (auto& c : upper) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
  dotted.replace(dotted.find('.'), 1, "%2E");
  const std::pair<bool, std::vector<std::string>> cases[] = {
      {true,
       {SITE + "/dashboard/", "https://" + alt + "/x?y#z", "https://" + upper + "/", "https://" + host + ":1/",
        "https://someone@" + host + "/"}},
      {false,
       {"HTTPS://" + host + "/", "http://" + host + "/", "https://evil.example/" + host,
        "https://" + host + ".evil.example/", "https://evil-" + host + "/", "https://" + host + "./",
        "https://" + host + "@evil.example/", "https://evil.example\\@" + host + "/", "https://[" + host + "]/",
        "https://" + dotted + "/", "https://xn--" + host + "/", "https://m\xc4\xb1" + host.substr(1) + "/",
        "https://" + host + std::string(1, '\0') + ".evil.example/", "not a url", ""}},
  };
  auto check = [&] {
    for (const auto& [expected, urls] : cases)
      for (const auto& url : urls) EXPECT_EQ(h.app->in(url), expected) << url;
  };
  check();
  // Host case folding is ASCII whatever the process locale (Turkish folds I to a dotless i).
  if (std::setlocale(LC_ALL, "tr_TR.UTF-8")) {
    check();
    std::setlocale(LC_ALL, "C");
  } else {
    ADD_FAILURE() << "the tr_TR.UTF-8 locale is missing (scripts/setup.sh makes it)";
  }
}

TEST(Navigation, OnlyWebAddressesLeaveForTheBrowser) {
  // Each address as a link and as a pop-up; what reaches the system opener.
  const std::string host = config::kMainHost;
  const std::tuple<Policy, bool, std::vector<std::string>> cases[] = {
      {Policy::Cancel, true, {"https://example.com/x", "http://example.com/x", "http://" + host + "/x"}},
      {Policy::Cancel,
       false,
       {"HTTPS://example.com/", "Http://example.com/", "file:///etc/passwd", "steam://run/1", "ms-settings:privacy",
        "mailto:a@b.c", "javascript:alert(1)", "https:///nohost", "https://evil.example\\@" + host + "/",
        "quillmere://auth?code=" + std::string(64, 'a')}},
      {Policy::Allow, false, {"about:blank", "data:text/html,<b>hi there</b>", "blob:" + SITE + "/1"}},
  };
  for (const auto& [policy, opened, urls] : cases)
    for (const auto& url : urls) {
      Launched h;
      EXPECT_EQ(decide(h, url, LinkActivated), policy) << url;
      h.app->onPopup(h.mainView(), url, Other);
      EXPECT_EQ(h.fakes.desktop.opened, (opened ? std::vector{url, url} : std::vector<std::string>{})) << url;
      EXPECT_EQ(h.mainView().loads.size(), 1u) << url;
      EXPECT_TRUE(opened || h.log().find("nav -1 ") != std::string::npos) << url << ": a dropped pop-up is logged";
    }
  // Only the player's own click in the main frame leaves; another site's frame loads in its frame.
  const std::tuple<const char*, NavigationAction, Policy> actions[] = {
      {"a script's click", {"https://example.com/", LinkActivated, true, false}, Policy::Cancel},
      {"a click's redirect", {"https://example.com/", LinkActivated, true, true, true}, Policy::Cancel},
      {"a form the player sent", {"https://example.com/", FormSubmitted, true, true}, Policy::Cancel},
      {"a script's load, frame untold", {"https://example.com/", Other, std::nullopt}, Policy::Allow},
      {"a frame's first load", {"https://example.com/", Other, false}, Policy::Allow},
      {"a click in a frame", {"https://example.com/", LinkActivated, false, true}, Policy::Allow},
      {"a frame's redirect to a file", {"file:///etc/passwd", Other, false, false, true}, Policy::Cancel},
      {"a script's sign-in start", {kSignInStart, LinkActivated, true, false}, Policy::Cancel},
      {"a script's sign-in start, frame untold", {kSignInStart, Other, std::nullopt}, Policy::Cancel},
  };
  for (const auto& [what, action, policy] : actions) {
    Launched h;
    EXPECT_EQ(decide(h, *action.url, action.type, action), policy) << what;
    EXPECT_TRUE(h.fakes.desktop.opened.empty()) << what;
  }
  // What the main frame is about to show stays the service's; frames show what they load.
  const std::tuple<std::string, bool, Policy> responses[] = {
      {"https://example.com/", true, Policy::Cancel}, {"file:///etc/passwd", true, Policy::Cancel},
      {"https://example.com/", false, Policy::Allow}, {SITE + "/dashboard/", true, Policy::Allow},
      {"about:blank", true, Policy::Allow},
  };
  for (const auto& [url, mainFrame, policy] : responses) {
    Launched h;
    EXPECT_EQ(h.app->decideResponse(h.mainView(), {url, mainFrame}), policy) << url;
    EXPECT_EQ(h.log().find("dropped ") != std::string::npos, policy == Policy::Cancel) << url;
  }
}

TEST(Navigation, ADownloadAsksWhereOnlyAfterThePlayersClick) {
  for (bool clicked : {true, false}) {
    Launched h;
    std::optional<std::string> saved = "unanswered";
    h.app->onDownload(h.mainView(), {"blob:" + SITE + "/1", "notes.txt", clicked}, [&](auto to) { saved = to; });
    EXPECT_EQ(saved, clicked ? std::optional<std::string>("/saved/notes.txt") : std::nullopt);
    EXPECT_EQ(h.fakes.desktop.opened,
              clicked ? std::vector<std::string>{"save notes.txt"} : std::vector<std::string>{});
    EXPECT_EQ(h.log().find("download refused, not the player's click: blob ") != std::string::npos, !clicked);
  }
}

TEST(Navigation, AnEndedWebProcessReloadsWithBackOffThenThePageKeepsFailing) {
  // When each end comes (seconds), and the log's word on it: older ends than a minute no longer count.
  const std::pair<int, const char*> ends[] = {
      {0, "reloading in 1 s"},  {5, "reloading in 2 s"},
      {10, "reloading in 4 s"}, {20, "4 times in a minute: the page keeps failing"},
      {65, "reloading in 4 s"}, {200, "reloading in 1 s"},
  };
  Launched h;
  auto& desktop = h.fakes.desktop;
  int reloads = 0;
  for (const auto& [at, word] : ends) {
    desktop.clock = std::chrono::system_clock::time_point{} + std::chrono::seconds(at);
    h.app->onProcessTerminated(h.mainView(), "crashed");
    EXPECT_NE(h.log().rfind(std::string("web process ended (crashed), ") + word + "\n"), std::string::npos) << at;
    desktop.fireTimers();
    desktop.fireTimers();  // a reload happens once
    bool failing = std::string(word).find("keeps failing") != std::string::npos;
    EXPECT_EQ(h.mainView().reloads, reloads += !failing) << at;
    h.mainView().current = SITE + "/dashboard/";  // the Reload link brought the page back
  }
  ASSERT_EQ(h.mainView().htmls.size(), 1u);
  EXPECT_NE(h.mainView().htmls[0].find("This page keeps failing.</p><a id=\"reload\" href=\"" + SITE +
                                       "/dashboard/\">Reload</a>"),
            std::string::npos);
}

// One launch: media, a pop-up without address, the load line, the sign-in page, no random bytes, then a
// sign-in host address that is not the sign-in page.
TEST(Navigation, MediaLoadLineSignInPageAndNoSignInWithoutRandomBytes) {
  Launched h;
  for (const auto& origin : {SITE, "https://" + std::string(config::kAltHost)})
    EXPECT_TRUE(h.app->allowMedia(h.mainView(), origin)) << origin;
  for (const auto& origin : {"http://" + std::string(config::kMainHost), std::string("https://example.com"),
                             std::string("null"), std::string()})
    EXPECT_FALSE(h.app->allowMedia(h.mainView(), origin)) << origin;
  h.app->onPopup(h.mainView(), std::nullopt, Other);
  EXPECT_EQ(h.mainView().loads.size(), 1u);
  h.fakes.web.cookies = {{"qm_session", std::string(".") + config::kCookieDomain}, {"other", "example.com"}};
  h.app->onLoadFinished(h.mainView());
  EXPECT_NE(h.log().find("loaded " + (SITE + "/dashboard/").substr(0, 60) + "; cookies for qm: qm_session@." +
                         config::kCookieDomain + "\n"),
            std::string::npos)
      << h.log();
  EXPECT_EQ(decide(h, kSignInStart + "?mode=dash", -1), Policy::Cancel);
  EXPECT_EQ(h.mainView().htmls.size(), 1u) << "the sign-in page shows in the app";
  h.fakes.crypto.fails = true;
  h.app->startBrowserSignIn();
  EXPECT_NE(h.log().find(" browser sign-in not started: no secure random bytes\n"), std::string::npos);
  EXPECT_TRUE(h.fakes.desktop.opened.empty());
  EXPECT_EQ(h.fakes.settings.values.count("signinVerifier"), 0u);
  EXPECT_EQ(decide(h, kSignInStart + "/", LinkActivated), Policy::Cancel);
  EXPECT_EQ(h.fakes.desktop.opened, std::vector{kSignInStart + "/"}) << "only /start itself is the sign-in page";
  // The player's click: the browser opens and the page says to continue there; a reload shows it again.
  h.fakes.crypto.fails = false;
  h.fakes.desktop.opened.clear();
  EXPECT_EQ(decide(h, kSignInStart + "?mode=dash", LinkActivated), Policy::Cancel);
  EXPECT_NE(h.mainView().htmls.back().find("Continue in your browser."), std::string::npos);
  h.app->reloadAll();
  EXPECT_EQ(h.mainView().htmls.size(), 3u);
  EXPECT_EQ(h.mainView().reloads, 0);
}

TEST(SignIn, CallbackPatternAndVerifier) {
  const std::string code = std::string(64, 'a'), verifier = std::string(64, 'b');
  const std::pair<bool, std::vector<std::string>> cases[] = {
      {true,
       {"quillmere://auth?code=" + code, "quillmere://auth/?code=" + code,
        "QUILLMERE://AUTH?CODE=" + std::string(64, 'A')}},
      {false,
       {"quillmere://auth?code=" + code.substr(1), "quillmere://auth?code=" + code + "a",
        "quillmere://auth?code=" + code + "&x=1", "quillmere://auth?code=" + code + "#f", "https://auth?code=" + code}},
  };
  const auto redemption = SITE + "/api/auth/app?code=" + code + "&verifier=" + verifier;
  for (const auto& [redeems, urls] : cases)
    for (const auto& url : urls) {
      Launched h;
      h.fakes.settings.values["signinVerifier"] = verifier;
      h.app->onURL(url);
      EXPECT_EQ(h.mainView().loads.back() == redemption, redeems) << url;
    }
  // Only the service's acceptance spends the verifier and brings the window forward: a code from anyone
  // else (any page can open a callback address) leaves the player's sign-in in progress as it was.
  const std::tuple<const char*, NavigationResponse, Policy, bool> answers[] = {
      {"refused", {redemption, true, 403}, Policy::Cancel, false},
      {"accepted", {SITE + "/dashboard/", true, 200}, Policy::Allow, true},
  };
  for (const auto& [what, answer, policy, signedIn] : answers) {
    Launched h;
    h.fakes.settings.values["signinVerifier"] = verifier;
    int shows = h.mainWindow().keyShows;
    h.app->onURL("quillmere://auth?code=" + code);
    EXPECT_EQ(h.mainWindow().keyShows, shows) << what << ": forward before the service answered";
    EXPECT_EQ(h.app->decideResponse(h.mainView(), answer), policy) << what;
    EXPECT_EQ(h.fakes.settings.values.count("signinVerifier"), signedIn ? 0u : 1u) << what;
    EXPECT_EQ(h.mainWindow().keyShows, shows + (signedIn ? 1 : 0)) << what;
  }
}

}  // namespace qm::test
