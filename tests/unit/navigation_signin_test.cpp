#include <regex>

#include "app/config.h"
#include "tests/unit/harness.h"

namespace qm::test {
namespace {

const std::string kSignInStart = std::string("https://") + config::kSignInHost + config::kPortSuffix + "/start";

Policy decide(Harness& h, const std::string& url, int type) {
  std::optional<Policy> answer;
  h.app->decidePolicy(h.mainView(), url, type, [&](Policy p) {
    EXPECT_FALSE(answer) << "answered twice";
    answer = p;
    // The follow-up runs after the answer.
    EXPECT_TRUE(h.fakes.desktop.opened.empty());
  });
  EXPECT_TRUE(answer) << "never answered";
  return answer.value_or(Policy::Allow);
}

}  // namespace

TEST(Navigation, InTakesOnlyHttpsOnTheServiceHosts) {
  Harness h;
  std::string host = config::kMainHost, alt = config::kAltHost;
  const std::pair<std::string, bool> cases[] = {
      {SITE + "/dashboard/", true},
      {"https://" + alt + "/x?y#z", true},
      {"https://" + std::string(1, static_cast<char>(std::toupper(host[0]))) + host.substr(1) + "/", true},
      {"HTTPS://" + host + "/", false},
      {"http://" + host + "/", false},
      {"https://evil.example/" + host, false},
      {"https://" + host + ".evil.example/", false},
      {"not a url", false},
      {"", false},
  };
  for (const auto& [url, expected] : cases) EXPECT_EQ(h.app->in(url), expected) << url;
}

TEST(Navigation, PolicyAllowsCancelsAndHandsOver) {
  struct Case {
    std::string url;
    int type;
    Policy policy;
    std::vector<std::string> opened;
    bool signInPage;
  };
  const Case cases[] = {
      {SITE + "/dashboard/", -1, Policy::Allow, {}, false},
      {"about:blank", 0, Policy::Allow, {}, false},
      {"data:text/html,hi", 0, Policy::Allow, {}, false},
      {"blob:" + SITE + "/1", 0, Policy::Allow, {}, false},
      {"https://example.com/x", 0, Policy::Cancel, {"https://example.com/x"}, false},
      {"http://" + std::string(config::kMainHost) + "/x", 0, Policy::Cancel,
       {"http://" + std::string(config::kMainHost) + "/x"}, false},
      {"HTTPS://example.com/", 0, Policy::Cancel, {}, false},
      {"mailto:a@b.c", 0, Policy::Cancel, {}, false},
      {kSignInStart + "?mode=dash", -1, Policy::Cancel, {}, true},
      {kSignInStart + "/", -1, Policy::Cancel, {kSignInStart + "/"}, false},
  };
  for (const auto& c : cases) {
    Harness h;
    h.launch();
    EXPECT_EQ(decide(h, c.url, c.type), c.policy) << c.url;
    h.fakes.desktop.runPosted();
    EXPECT_EQ(h.fakes.desktop.opened, c.opened) << c.url;
    EXPECT_EQ(h.mainView().htmls.size(), c.signInPage ? 1u : 0u) << c.url;
  }
}

TEST(Navigation, SignInLinkStartsTheBrowserSignIn) {
  Harness h;
  h.launch();
  EXPECT_EQ(decide(h, kSignInStart + "?mode=dash", 0), Policy::Cancel);
  h.fakes.desktop.runPosted();
  ASSERT_EQ(h.fakes.desktop.opened.size(), 1u);
  EXPECT_TRUE(std::regex_match(h.fakes.desktop.opened[0],
                               std::regex(std::regex_replace(SITE, std::regex("[.]"), "\\.") +
                                          "/api/auth/app-start\\?c=[0-9a-f]{64}")));
  auto verifier = h.fakes.settings.values.at("signinVerifier").get<std::string>();
  EXPECT_TRUE(std::regex_match(verifier, std::regex("[0-9a-f]{64}")));
  EXPECT_NE(h.log().find("nav 0 " + std::string(config::kSignInHost) + "/start"), std::string::npos);
}

TEST(Navigation, PopupsMediaAndDialogs) {
  Harness h;
  h.launch();
  h.app->onPopup(h.mainView(), SITE + "/pages/p");
  h.app->onPopup(h.mainView(), std::string("https://example.com/p"));
  h.app->onPopup(h.mainView(), std::nullopt);
  h.fakes.desktop.runPosted();
  EXPECT_EQ(h.mainView().loads.back(), SITE + "/pages/p");
  EXPECT_EQ(h.fakes.desktop.opened, std::vector<std::string>{"https://example.com/p"});
  EXPECT_TRUE(h.app->allowMedia(h.mainView(), config::kMainHost));
  EXPECT_TRUE(h.app->allowMedia(h.mainView(), config::kAltHost));
  EXPECT_FALSE(h.app->allowMedia(h.mainView(), "example.com"));

  h.fakes.desktop.nextAlertAnswer = [](fake::FakeAlert&) { return 1; };
  EXPECT_FALSE(h.app->onConfirm(h.mainView(), "Go on?"));
  EXPECT_EQ(h.fakes.desktop.alerts.back()->buttons, (std::vector<std::string>{"OK", "Cancel"}));
  h.fakes.desktop.nextAlertAnswer = [](fake::FakeAlert&) { return 0; };
  EXPECT_TRUE(h.app->onConfirm(h.mainView(), "Go on?"));
  h.app->onAlert(h.mainView(), "Hello");
  EXPECT_EQ(h.fakes.desktop.alerts.back()->message, "Hello");
  EXPECT_TRUE(h.fakes.desktop.alerts.back()->buttons.empty());
}

TEST(Navigation, LoadLinesListOnlyServiceCookies) {
  Harness h;
  h.launch();
  h.fakes.web.cookies = {{"qm_session", std::string(".") + config::kCookieDomain},
                         {"other", "example.com"}};
  h.app->onLoadFinished(h.mainView());
  EXPECT_NE(h.log().find("loaded " + (SITE + "/dashboard/").substr(0, 60) + "; cookies for qm: qm_session@." +
                         config::kCookieDomain + "\n"),
            std::string::npos)
      << h.log();
  h.fakes.web.cookies.clear();
  h.app->onLoadFinished(h.mainView());
  EXPECT_NE(h.log().find("; cookies for qm: \n"), std::string::npos);
  h.app->onLoadFailed(h.mainView(), "Could not connect");
  EXPECT_NE(h.log().find(" failed Could not connect\n"), std::string::npos);
  h.app->onProcessTerminated(h.mainView());
  EXPECT_EQ(h.mainView().reloads, 1);
}

TEST(SignIn, CallbackPatternAndVerifier) {
  const std::string good = std::string(64, 'a');
  struct Case {
    std::string url;
    bool redeems;
  };
  const Case cases[] = {
      {"quillmere://auth?code=" + good, true},
      {"quillmere://auth/?code=" + good, true},
      {"QUILLMERE://AUTH?CODE=" + std::string(64, 'A'), true},
      {"quillmere://auth?code=" + good.substr(1), false},
      {"quillmere://auth?code=" + good + "a", false},
      {"quillmere://auth?code=" + good + "&x=1", false},
      {"quillmere://auth?code=" + good + "#f", false},
      {"https://auth?code=" + good, false},
  };
  for (const auto& c : cases) {
    Harness h;
    h.launch();
    h.fakes.settings.values["signinVerifier"] = std::string(64, 'b');
    h.app->onURL(c.url);
    EXPECT_EQ(h.fakes.settings.values.count("signinVerifier"), c.redeems ? 0u : 1u) << c.url;
    EXPECT_EQ(h.mainView().loads.size(), c.redeems ? 2u : 1u) << c.url;
    if (c.redeems) {
      EXPECT_EQ(h.mainView().loads.back(), SITE + "/api/auth/app?code=" + good + "&verifier=" + std::string(64, 'b'));
    }
    EXPECT_NE(h.log().find("url event " + c.url.substr(0, 30) + "\n"), std::string::npos);
  }
}

TEST(SignIn, NoVerifierAndNoRandomBytes) {
  Harness h;
  h.launch();
  h.app->onURL("quillmere://auth?code=" + std::string(64, 'c'));
  EXPECT_NE(h.log().find(" no verifier\n"), std::string::npos);
  h.fakes.crypto.fails = true;
  h.app->startBrowserSignIn();
  EXPECT_NE(h.log().find(" browser sign-in not started: no secure random bytes\n"), std::string::npos);
  EXPECT_TRUE(h.fakes.desktop.opened.empty());
  EXPECT_EQ(h.fakes.settings.values.count("signinVerifier"), 0u);
}

TEST(SignIn, CallbackBeforeLaunchIsRedeemedOnceTheMainWebViewExists) {
  Harness h;
  std::string code(64, 'd'), verifier(64, 'b');
  h.fakes.settings.values["signinVerifier"] = verifier;
  h.app->onURL("quillmere://auth?code=" + code);
  EXPECT_EQ(h.fakes.settings.values.count("signinVerifier"), 1u);
  h.launch();
  EXPECT_EQ(h.fakes.settings.values.count("signinVerifier"), 0u);
  ASSERT_EQ(h.mainView().loads.size(), 2u);
  EXPECT_EQ(h.mainView().loads.back(), SITE + "/api/auth/app?code=" + code + "&verifier=" + verifier);
}

}  // namespace qm::test
