#include "tests/unit/harness.h"
#include "update/version_compare.h"

namespace qm::test {

TEST(Update, VersionsCompareDigitRunsAsNumbers) {
  const std::tuple<const char*, const char*, int> cases[] = {
      {"1.10.0", "1.9.3", 1},  {"1.0.0", "1.0.0", 0},
      {"0.9", "1.0.0", -1},    {"1.0.1", "1.0", 1},
      {"1.0", "1.0.0", -1},    {"01.2", "1.2", 0},
      {"1.002", "1.2", 0},     {"1.010", "1.9", 1},
      {"2.0.0", "10.0.0", -1}, {"1.0b", "1.0a", 1},
      {"1.0-beta", "1.0", 1},  {"v2", "v10", -1},
      {"", "1.0.0", -1},       {"99999999999999999999.0", "99999999999999999998.9", 1},
  };
  for (const auto& [a, b, order] : cases) {
    EXPECT_EQ(compareVersions(a, b) <=> 0, order <=> 0) << a << " vs " << b;
    EXPECT_EQ(compareVersions(b, a) <=> 0, 0 <=> order) << b << " vs " << a;
  }
}

TEST(Update, ManifestChecks) {
  const std::pair<std::string, std::optional<std::string>> usable[] = {
      {R"({"version":"2.0.0","url":"https://x/y","notes":"Fixes"})", "Fixes"},
      {R"({"version":"2.0.0","url":"https://x/y"})", std::nullopt},
      {R"({"version":"2.0.0","url":"https://x/y","notes":""})", ""},
      {R"({"version":"2.0.0","url":"https://x/y","notes":5})", std::nullopt},
      {R"({"version":"2.0.0","url":"https://x/y","pad":")" + std::string(1 << 20, 'x') + "\"}", std::nullopt},
  };
  for (const auto& [body, notes] : usable) {
    auto m = readManifest(body);
    ASSERT_TRUE(m) << body.substr(0, 80);
    EXPECT_EQ(m->notes, notes) << body.substr(0, 80);
  }
  for (const std::string body :
       {R"({"url":"https://x/y"})", R"({"version":2,"url":"https://x/y"})", R"({"version":"2.0.0","url":null})",
        R"({"version":"2.0.0","url":"http://x/y"})", R"({"version":"2.0.0","url":"HTTPS://x/y"})",
        R"(["2.0.0","https://x/y"])", R"("2.0.0")", "{\"version\":\"2.0.\xff\",\"url\":\"https://x/y\"}",
        "<html>502 Bad Gateway</html>", ""})
    EXPECT_FALSE(readManifest(body)) << body;
}

TEST(Update, OffersNewerVersionsOverHttpsAndActsOnTheAnswer) {
  using Text = std::optional<std::string>;
  const std::string dmg = "https://dl/q.dmg";
  struct Case {
    const char* what;
    std::string version, url;
    Text skipped;
    int button;
    bool offered;
    std::vector<std::string> opened;
    Text skippedAfter;
    Text from = UPDATE_MANIFEST;  // where the answer came from; none: no answer
  };
  const Case cases[] = {
      {"download", "2.0.0", dmg, {}, 0, true, {dmg}, {}},
      {"download of no address", "2.0.0", "https://not a url", {}, 0, true, {}, {}},
      {"later", "2.0.0", dmg, {}, 1, true, {}, {}},
      {"newer than skipped", "2.0.1", dmg, "2.0.0", 2, true, {}, "2.0.1"},
      {"the skipped one", "2.0.0", dmg, "2.0.0", 0, false, {}, "2.0.0"},
      {"equal", "1.0.0", dmg, {}, 0, false, {}, {}},
      {"lower", "0.9.9", dmg, {}, 0, false, {}, {}},
      {"no answer", "9.0.0", dmg, {}, 0, false, {}, {}, std::nullopt},
      {"over http", "9.0.0", dmg, {}, 0, false, {}, {}, "http://updates.example/q.json"},
      {"over HTTPS in capitals", "9.0.0", dmg, {}, 0, false, {}, {}, "HTTPS://updates.example/q.json"},
      {"no release number", "9.0.0\n\u202e", dmg, {}, 0, false, {}, {}},
      {"a version wider than any screen", std::string(20000, '9'), dmg, {}, 0, false, {}, {}},
      {"five parts", "9.0.0.0.1", dmg, {}, 0, false, {}, {}},
      {"four parts", "9.0.0.1", dmg, {}, 1, true, {}, {}},
  };
  for (const auto& [what, version, url, skipped, button, offered, opened, skippedAfter, from] : cases) {
    Harness h;
    if (skipped) h.fakes.settings.values["skipped"] = *skipped;
    h.fakes.desktop.nextAlertAnswer = [button = button](fake::FakeAlert&) { return button; };
    h.launch();
    const auto manifest = nlohmann::json{{"version", version}, {"url", url}, {"notes", ""}}.dump();
    h.fakes.http.pending(from ? std::optional(HttpAnswer{*from, manifest}) : std::nullopt);
    EXPECT_TRUE(h.fakes.desktop.alerts.empty()) << what << ": alert before the main thread ran";
    h.fakes.desktop.runPosted();
    ASSERT_EQ(h.fakes.desktop.alerts.size(), offered ? 1u : 0u) << what;
    if (offered) {
      const auto& alert = *h.fakes.desktop.alerts[0];
      EXPECT_EQ(alert.message + "|" + alert.informative, "Quillmere " + version + " is available|You have 1.0.0.\n\n");
      EXPECT_EQ(alert.buttons, (std::vector<std::string>{"Download", "Later", "Skip this version"}));
    }
    EXPECT_EQ(h.fakes.desktop.opened, opened) << what;
    auto after = h.fakes.settings.get("skipped");
    EXPECT_EQ(after ? std::optional(after->get<std::string>()) : std::nullopt, skippedAfter) << what;
  }
}

}  // namespace qm::test
