#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <locale>

#include "app/plain_text.h"
#include "app/rect_text.h"
#include "platform/posix/file_settings.h"
#include "platform/posix/posix_files.h"
#include "tests/unit/harness.h"
#include "web/page_script.h"

namespace qm::test {
namespace {

struct TempDir {
  TempDir() { std::filesystem::create_directories(dir); }
  ~TempDir() { std::filesystem::remove_all(dir); }
  std::filesystem::path dir = std::filesystem::temp_directory_path() / ("qm-test-" + std::to_string(getpid()));
};

struct SettingsDir : TempDir {
  std::filesystem::path path = dir / "settings.json";
  std::vector<std::string> lines;
  FileSettings settings{path.string(), [this](const std::string& line) { lines.push_back(line); }};
};

std::string text(const std::filesystem::path& p) {
  std::ifstream in(p);
  return {std::istreambuf_iterator<char>(in), {}};
}

}  // namespace

TEST(Settings, KeyFollowsTheExactIntegerRule) {
  // the action, its stored value (null: none), its key
  const std::tuple<std::string, nlohmann::json, int> cases[] = {
      {"overlay", nullptr, 100}, {"overlay", 0, 0},  {"nothing", nullptr, 0}, {"ptt", "12", 9},
      {"ptt", 12.5, 9},          {"ptt", 12.0, 12},  {"ptt", true, 9},        {"ptt", nlohmann::json::array({1}), 9},
      {"ptt", 70000, 70000},     {"ptt", 1e300, -1},
  };
  for (const auto& [action, stored, expected] : cases) {
    Harness h;
    if (!stored.is_null()) h.fakes.settings.values["key." + action] = stored;
    EXPECT_EQ(h.app->key(action), expected) << action << " " << stored.dump();
  }
}

TEST(Log, WritesOneUTCLinePerNoteRotatesAtItsBoundAndNeverReplacesALogItCannotOpen) {
  Harness h;
  h.fakes.desktop.clock = std::chrono::system_clock::from_time_t(1796463875);  // 2026-12-05 09:44:35 UTC
  for (const auto* note : {"first", "", "two\n2026-12-05 09:44:35 +0000 forged"}) h.app->note(note);
  const std::string all =
      "2026-12-05 09:44:35 +0000 first\n2026-12-05 09:44:35 +0000 \n"
      "2026-12-05 09:44:35 +0000 two\\n2026-12-05 09:44:35 +0000 forged\n";
  EXPECT_EQ(h.log(), all);
  h.app->note(std::string(3000, 'x'));
  EXPECT_LT(h.log().size(), all.size() + 2100);
  const std::string path = h.fakes.files.logPath(), full(2 * 1024 * 1024 - 10, 'o');
  h.fakes.files.files[path] = full;
  h.app->note("new");
  EXPECT_EQ(h.fakes.files.files[path + ".1"], full);
  EXPECT_EQ(h.log(), "2026-12-05 09:44:35 +0000 new\n");
  h.fakes.files.unwritable = true;
  h.app->note("lost");
  EXPECT_EQ(h.log(), "2026-12-05 09:44:35 +0000 new\n");
}

TEST(PlainText, NothingFromOutsideStartsALineHidesWhatFollowsOrRunsOn) {
  using namespace std::string_literals;
  const std::tuple<std::string, std::string, std::string> rows[] = {
      // text, as logged (10 bytes), as shown (10 characters, 2 line feeds)
      {"plain \u00e9", "plain \u00e9", "plain \u00e9"},
      {"a\r\nb\tc", "a\\r\\nb\\tc", "a\nbc"},
      {"nul\0cut"s, "nul\\x00cut", "nulcut"},
      {"\u202eevil", "\\u202eevil", "evil"},
      {"bad\xff\xc0\x80", "bad\\xff\u2026", "bad\ufffd\ufffd\ufffd"},
      {"12345678901", "1234567890\u2026", "1234567890\u2026"},
      {"a\nb\nc\nd", "a\\nb\\nc\\nd", "a\nb\nc d"},
  };
  for (const auto& [text, logged, shown] : rows) {
    EXPECT_EQ(loggable(text, 10), logged) << text;
    EXPECT_EQ(displayable(text, 10, 2), shown) << text;
  }
}

TEST(Log, PosixFilesCreateThenAppend) {
  TempDir d;
  ASSERT_TRUE(makeDirectories((d.dir / "a/b").string()));
  PosixFiles files((d.dir / "a/b/Quillmere.log").string());
  EXPECT_EQ(files.append(files.logPath(), "x\n"), AppendResult::Missing);
  files.writeAtomically(files.logPath(), "x\n");
  EXPECT_EQ(files.append(files.logPath(), "y\n"), AppendResult::Written);
  EXPECT_EQ(text(files.logPath()), "x\ny\n");
  // A log that exists but cannot be opened (even by root) is never replaced.
  PosixFiles blocked((d.dir / "a").string());
  EXPECT_EQ(blocked.append(blocked.logPath(), "z\n"), AppendResult::Unwritable);
}

TEST(Folders, OursArePrivateAnotherUsersAreRefused) {
  // how the folder was made (none: it does not exist yet), whether another user owns it, what the check says
  const std::tuple<const char*, std::optional<std::filesystem::perms>, bool, FolderCheck> rows[] = {
      {"new", std::nullopt, false, FolderCheck::Private},
      {"ours, open to everyone", std::filesystem::perms::all, false, FolderCheck::Private},
      {"another user's", std::filesystem::perms::owner_all, true, FolderCheck::NotOurs},
  };
  for (const auto& [what, made, anotherUser, check] : rows) {
    TempDir d;
    auto folder = d.dir / "quillmere";
    if (made) {
      std::filesystem::create_directory(folder);
      std::filesystem::permissions(folder, *made);
    }
    if (anotherUser && (geteuid() != 0 || ::chown(folder.c_str(), 65534, 65534) != 0)) continue;  // root only
    EXPECT_EQ(privateFolder(folder.string()), check) << what;
    if (check == FolderCheck::Private) {
      EXPECT_EQ(std::filesystem::status(folder).permissions(), std::filesystem::perms::owner_all) << what;
    }
  }
}

TEST(FileSettings, WritesKeysAndKeepsAnUnreadableFileAside) {
  const std::string deep = std::string(100000, '[') + std::string(100000, ']');
  const std::string big = "{\"pad\": \"" + std::string(2 << 20, 'x') + "\"}";
  for (const std::string& unreadable : {std::string("{\"y\": \"two\", broken"), deep, "{\"a\":" + deep + "}", big}) {
    SettingsDir d;
    EXPECT_EQ(d.settings.get("x"), std::nullopt);
    d.settings.set("x", 1);
    d.settings.set("y", "two");
    d.settings.remove("x");
    EXPECT_EQ(d.settings.get("x"), std::nullopt);
    EXPECT_EQ(d.settings.get("y"), nlohmann::json("two"));
    std::ofstream(d.path) << unreadable;
    EXPECT_EQ(d.settings.get("y"), std::nullopt);  // fallbacks while it is unreadable
    d.settings.set("z", true);
    ASSERT_EQ(d.lines.size(), 1u);
    EXPECT_EQ(text(d.lines[0].substr(d.lines[0].find(" kept as ") + 9)), unreadable) << d.lines[0];
    EXPECT_EQ(d.settings.get("z"), nlohmann::json(true));
  }
}

TEST(FileSettings, NeverWritesOverAFileItCannotRead) {
  SettingsDir d;
  std::filesystem::create_directory(d.path);  // a failure no user, not even root, can read past
  std::ofstream(d.path / "kept") << "mine";
  EXPECT_EQ(d.settings.get("guild"), std::nullopt);
  d.settings.set("guild", "12345");
  d.settings.set("key.ptt", 9);
  EXPECT_TRUE(std::filesystem::is_directory(d.path));
  EXPECT_EQ(text(d.path / "kept"), "mine");
  EXPECT_EQ(d.lines, std::vector<std::string>{"settings file could not be read; changes are not saved"});
}

// A new file takes the old one's place whole (a kill mid-write never leaves half a file): the link's target,
// the player's dotfile, never a temporary file someone planted beside it.
TEST(FileSettings, ReplacesTheFileWholeThroughALinkNeverThroughAPlantedTemporaryFile) {
  SettingsDir d;
  auto target = d.dir / "dotfiles-settings.json", victim = d.dir / "victim";
  std::ofstream(target) << "{\"guild\": \"12345\"}";
  std::ofstream(victim) << "keep";
  std::filesystem::create_symlink(target, d.path);
  std::filesystem::create_symlink(victim, target.string() + ".tmp-" + std::to_string(getpid()));
  auto inode = [&] {
    struct stat s {};
    return ::stat(d.path.c_str(), &s) == 0 ? s.st_ino : 0;
  };
  const auto first = inode();
  d.settings.set("key.ptt", 9);
  EXPECT_NE(inode(), first);
  EXPECT_EQ(text(victim), "keep");
  EXPECT_TRUE(std::filesystem::is_symlink(d.path));
  EXPECT_EQ(nlohmann::json::parse(text(target)), (nlohmann::json{{"guild", "12345"}, {"key.ptt", 9}}));
}

TEST(RectText, RoundTripsAndRejectsJunk) {
  const std::pair<std::string, Rect> reads[] = {
      {"{{240, 90}, {1440, 900}}", {240, 90, 1440, 900}},
      {"{{-80.5, -25}, {1280.25, 800}}", {-80.5, -25, 1280.25, 800}},
      {" { {1,2} , {3,4} } ", {1, 2, 3, 4}},
  };
  for (const auto& [text, rect] : reads) EXPECT_EQ(rectFromString(text), rect) << text;
  for (const char* junk : {"", "{{1, 2}, {3}}", "{{1, 2}, {3, 4}} trailing", "{{a, 2}, {3, 4}}", "{{nan, 2}, {3, 4}}",
                           "{{1e300, 5}, {1e300, 1e300}}", "{{0, 0}, {-800, 600}}", "{{0, 0}, {800, 1e6}}",
                           "{{-1e6, 0}, {800, 600}}", "{{+1, 2}, {3, 4}}", "{{0x10, 2}, {3, 4}}", "{{1,5, 2}, {3, 4}}"})
    EXPECT_EQ(rectFromString(junk), Rect{}) << junk;
  // A player's locale with a decimal comma changes nothing in the stored text.
  const std::locale before = std::locale::global(std::locale("tr_TR.UTF-8"));
  EXPECT_EQ(stringFromRect({-0.0, 1.5, 900, 600.25}), "{{0, 1.5}, {900, 600.25}}");
  Rect odd{1.0 / 3, -2.0 / 7, 1e4, 0.1};
  EXPECT_EQ(rectFromString(stringFromRect(odd)), odd);
  std::locale::global(before);
}

TEST(WebView, ScriptTellsWhetherCaptureWorksAndTheAgentNamesTheApp) {
  using Agent = std::optional<std::string>;
  for (const auto& [agent, ours] :
       {std::pair<Agent, Agent>{"Mozilla/5.0 Fake", "Mozilla/5.0 Fake Quillmere/1.0.0 (Linux) QuillmereMac/1.0.0"},
        {std::nullopt, std::nullopt}}) {
    Harness h;
    h.fakes.capture.canCapture = false;
    h.fakes.web.defaultAgent = agent;
    h.app->makeWeb();
    auto& view = *h.fakes.web.views.at(0);
    EXPECT_NE(view.config.userScript.find("window.QMApp = { platform: 'linux', version: '1.0.0', capture: false"),
              std::string::npos);
    EXPECT_EQ(view.userAgent, ours);
    EXPECT_TRUE(view.loads.empty());
  }
}

}  // namespace qm::test
