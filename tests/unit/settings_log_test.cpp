#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "app/log_line.h"
#include "app/rect_text.h"
#include "platform/posix/file_settings.h"
#include "platform/posix/posix_files.h"
#include "tests/unit/harness.h"
#include "web/page_script.h"

namespace qm::test {

TEST(Settings, KeyFollowsTheExactIntegerRule) {
  const std::tuple<std::string, std::optional<nlohmann::json>, int> cases[] = {
      {"overlay", std::nullopt, 100}, {"overlay", 0, 0},        {"nothing", std::nullopt, 0},
      {"ptt", "12", 9},               {"ptt", 12.5, 9},         {"ptt", 12.0, 12},
      {"ptt", true, 9},               {"ptt", nlohmann::json::array({1}), 9},
      {"ptt", 70000, 70000},          {"ptt", 1e300, -1},
  };
  for (const auto& [action, stored, expected] : cases) {
    Harness h;
    if (stored) h.fakes.settings.values["key." + action] = *stored;
    EXPECT_EQ(h.app->key(action), expected) << action << " " << (stored ? stored->dump() : "none");
  }
}

TEST(Settings, GuildReadsOnlyTextAndRemovesOnNone) {
  Harness h;
  EXPECT_EQ(h.app->guild(), std::nullopt);
  h.fakes.settings.values["guild"] = 12345;
  EXPECT_EQ(h.app->guild(), std::nullopt);
  h.app->setGuild("98765");
  EXPECT_EQ(h.app->guild(), "98765");
  h.app->setGuild(std::nullopt);
  EXPECT_FALSE(h.fakes.settings.values.contains("guild"));
  h.launch();
  EXPECT_EQ(h.mainView().loads[0], SITE + "/dashboard/");
}

TEST(Log, WritesOneLinePerNote) {
  Harness h;
  h.fakes.desktop.clock = std::chrono::system_clock::from_time_t(1796463875);  // 2026-12-05 09:44:35 UTC
  h.app->note("first");
  EXPECT_EQ(h.log(), "2026-12-05 09:44:35 +0000 first\n");
  h.app->note("");
  h.app->note("two\nlines");
  EXPECT_EQ(h.log(), "2026-12-05 09:44:35 +0000 first\n2026-12-05 09:44:35 +0000 \n"
                     "2026-12-05 09:44:35 +0000 two\nlines\n");
}

TEST(Log, FailuresNeverReplaceAnExistingLog) {
  Harness h;
  h.fakes.files.files[h.fakes.files.logPath()] = "old history\n";
  h.fakes.files.unwritable = true;
  h.app->note("lost");
  EXPECT_EQ(h.log(), "old history\n");

  Harness missingDir;
  missingDir.fakes.files.directoryMissing = true;
  missingDir.app->note("nowhere");
  EXPECT_TRUE(missingDir.fakes.files.files.empty());
}

TEST(Log, PosixFilesCreateThenAppend) {
  auto dir = std::filesystem::temp_directory_path() / ("qm-log-" + std::to_string(getpid()));
  ASSERT_TRUE(makeDirectories((dir / "a/b").string()));
  PosixFiles files((dir / "a/b/Quillmere.log").string());
  EXPECT_EQ(files.append(files.logPath(), "x\n"), AppendResult::Missing);
  files.writeAtomically(files.logPath(), "x\n");
  EXPECT_EQ(files.append(files.logPath(), "y\n"), AppendResult::Written);
  std::ifstream in(files.logPath());
  std::string all((std::istreambuf_iterator<char>(in)), {});
  EXPECT_EQ(all, "x\ny\n");
  if (getuid() != 0) {  // root opens any file
    std::filesystem::permissions(files.logPath(), std::filesystem::perms::owner_read);
    EXPECT_EQ(files.append(files.logPath(), "z\n"), AppendResult::Unwritable);
  }
  std::filesystem::remove_all(dir);
}

TEST(FileSettings, KeepsAnUnreadableFileAside) {
  auto dir = std::filesystem::temp_directory_path() / ("qm-settings-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  auto path = (dir / "settings.json").string();
  std::vector<std::string> asides;
  FileSettings settings(path, [&](const std::string& p) { asides.push_back(p); });
  EXPECT_EQ(settings.get("x"), std::nullopt);
  settings.set("x", 1);
  settings.set("y", "two");
  settings.remove("x");
  EXPECT_EQ(settings.get("x"), std::nullopt);
  EXPECT_EQ(settings.get("y"), nlohmann::json("two"));
  { std::ofstream(path) << "{\"y\": \"two\", broken"; }
  EXPECT_EQ(settings.get("y"), std::nullopt);  // fallbacks while it is unreadable
  settings.set("z", true);
  ASSERT_EQ(asides.size(), 1u);
  std::ifstream kept(asides[0]);
  std::string old((std::istreambuf_iterator<char>(kept)), {});
  EXPECT_EQ(old, "{\"y\": \"two\", broken");
  EXPECT_EQ(settings.get("z"), nlohmann::json(true));
  std::filesystem::remove_all(dir);
}

TEST(RectText, RoundTripsAndRejectsJunk) {
  const std::pair<std::string, Rect> reads[] = {
      {"{{240, 90}, {1440, 900}}", {240, 90, 1440, 900}},
      {"{{-80.5, -25}, {1280.25, 800}}", {-80.5, -25, 1280.25, 800}},
      {" { {1,2} , {3,4} } ", {1, 2, 3, 4}},
      {"", {}},
      {"{{1, 2}, {3}}", {}},
      {"{{1, 2}, {3, 4}} trailing", {}},
      {"{{a, 2}, {3, 4}}", {}},
      {"{{nan, 2}, {3, 4}}", {}},
  };
  for (const auto& [text, rect] : reads) EXPECT_EQ(rectFromString(text), rect) << text;
  EXPECT_EQ(stringFromRect({240, 90, 1440, 900}), "{{240, 90}, {1440, 900}}");
  EXPECT_EQ(stringFromRect({-0.0, 1.5, 900, 600.25}), "{{0, 1.5}, {900, 600.25}}");
  Rect odd{1.0 / 3, -2.0 / 7, 1e6, 0.1};
  EXPECT_EQ(rectFromString(stringFromRect(odd)), odd);
}

TEST(WebView, PageScriptAndConfiguration) {
  EXPECT_EQ(pageObjectScript("1.0.0", true),
            "(function () {\n  window.QMApp = { platform: 'mac', version: '1.0.0', capture: true, send: function (m) "
            "{ try { window.webkit.messageHandlers.qm.postMessage(m); } catch (e) {} } };\n})();");
  EXPECT_NE(pageObjectScript("2.1", false).find("version: '2.1', capture: false, send"), std::string::npos);

  Harness h;
  h.fakes.capture.canCapture = false;
  auto view = h.app->makeWeb();
  auto& fakeView = *h.fakes.web.views.at(0);
  EXPECT_EQ(fakeView.config.userScript, pageObjectScript(VERSION, false));
  EXPECT_EQ(fakeView.config.messageHandler, "qm");
  EXPECT_TRUE(fakeView.config.developerExtras);
  EXPECT_FALSE(fakeView.config.mediaNeedsGesture);
  EXPECT_DOUBLE_EQ(fakeView.config.underPageColor.r, 0.035);
  EXPECT_EQ(fakeView.userAgent, "Mozilla/5.0 Fake QuillmereMac/1.0.0");
  EXPECT_TRUE(fakeView.loads.empty());
}

TEST(WebView, NoAgentAnswerKeepsTheDefault) {
  Harness h;
  struct Silent : fake::FakeWebContext {
    std::shared_ptr<WebView> makeWebView(const WebViewConfig& c, WebViewDelegate& d) override {
      auto v = FakeWebContext::makeWebView(c, d);
      views.back()->defaultAgent = std::nullopt;
      return v;
    }
  } silent;
  auto p = h.fakes.platform();
  App app(Platform{p.settings, p.files, p.desktop, silent, p.crypto, p.http, p.capture});
  app.makeWeb();
  EXPECT_EQ(silent.views.at(0)->userAgent, std::nullopt);
}

TEST(Log, DateIsUTC) {
  EXPECT_EQ(dateDescription(std::chrono::system_clock::from_time_t(0)), "1970-01-01 00:00:00 +0000");
}

}  // namespace qm::test
