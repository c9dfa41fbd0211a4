// The Wayland capture against a stand-in ScreenCast portal and a real PipeWire daemon (run under
// tests/platform/screencast/with-portal.sh): the player's answers, remembered and dead choices, frames at
// most four a second at the asked size, and a shared window that closes.
#include <gio/gio.h>
#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <mutex>

#include "platform/gtk/portal/portal_capture.h"

namespace qm::gtk {
namespace {

using Listing = std::optional<std::vector<CaptureWindow>>;
using Clock = std::chrono::steady_clock;

class MemorySettings : public Settings {
 public:
  std::optional<nlohmann::json> get(const std::string& key) const override {
    auto found = values.find(key);
    return found == values.end() ? std::nullopt : std::optional(found->second);
  }
  void set(const std::string& key, const nlohmann::json& value) override { values[key] = value; }
  void remove(const std::string& key) override { values.erase(key); }
  std::map<std::string, nlohmann::json> values;
};

bool runUntil(const std::function<bool()>& ready) {
  auto until = Clock::now() + std::chrono::seconds(30);
  while (!ready() && Clock::now() < until) g_main_context_iteration(nullptr, FALSE), g_usleep(2000);
  return ready();
}

// Talks to the stand-in's test interface.
GVariant* standIn(const char* method, GVariant* args = nullptr) {
  GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
  GVariant* reply = g_dbus_connection_call_sync(bus, "org.freedesktop.portal.Desktop", "/org/freedesktop/portal/desktop",
                                                "org.quillmere.Test", method, args, nullptr, G_DBUS_CALL_FLAGS_NONE,
                                                10000, nullptr, nullptr);
  g_object_unref(bus);
  return reply;
}

nlohmann::json selections() {
  GVariant* reply = standIn("Selections");
  const char* text = nullptr;
  g_variant_get(reply, "(&s)", &text);
  auto parsed = nlohmann::json::parse(text);
  g_variant_unref(reply);
  return parsed;
}

Listing list(PortalCapture& capture) {
  std::optional<Listing> answer;
  capture.listWindows([&](Listing windows) { answer = std::move(windows); });
  EXPECT_TRUE(runUntil([&] { return answer.has_value(); })) << "no listing";
  return answer.value_or(std::nullopt);
}

std::uint32_t liveShares() {
  GVariant* reply = standIn("Shares");
  std::uint32_t count = 0;
  g_variant_get(reply, "(u)", &count);
  g_variant_unref(reply);
  return count;
}

std::optional<std::string> token(const MemorySettings& settings) {
  auto value = settings.get(kRestoreTokenKey);
  return value ? std::optional(value->get<std::string>()) : std::nullopt;
}

TEST(PortalCapture, ThePlayersAnswerDecidesAndEveryChoiceIsRememberedOnce) {
  struct Case {
    const char* what;
    const char* answer;
    std::optional<std::string> saved;
    bool shared;
    std::vector<std::optional<std::string>> tokensOffered;  // per dialog, in order
  };
  const Case cases[] = {
      {"cancelled", "cancel", std::nullopt, false, {std::nullopt}},
      {"refused", "refuse", std::nullopt, false, {std::nullopt}},
      {"shared", "share", std::nullopt, true, {std::nullopt}},
      {"remembered", "share", "token-remembered", true, {"token-remembered"}},
      // The remembered window is gone: the token is dropped and the dialog asks again.
      {"dead token", "share", "dead-token", true, {"dead-token", std::nullopt}},
  };
  for (const auto& c : cases) {
    MemorySettings settings;
    if (c.saved) settings.values[kRestoreTokenKey] = *c.saved;
    g_variant_unref(standIn("SetAnswer", g_variant_new("(s)", c.answer)));
    std::size_t before = selections().size();
    PortalCapture capture(settings);
    ASSERT_TRUE(capture.available());
    Listing windows = list(capture);
    auto asked = selections();
    ASSERT_EQ(asked.size() - before, c.tokensOffered.size()) << c.what;
    for (std::size_t i = 0; i < c.tokensOffered.size(); ++i) {
      const auto& options = asked[before + i];
      EXPECT_EQ(options.value("types", 0), 2) << c.what;
      EXPECT_EQ(options.value("cursor_mode", 0), 1) << c.what;
      EXPECT_EQ(options.value("persist_mode", 0), 2) << c.what;
      EXPECT_EQ(options.contains("restore_token") ? std::optional(options["restore_token"].get<std::string>())
                                                  : std::nullopt,
                c.tokensOffered[i])
          << c.what;
    }
    if (!c.shared) {
      EXPECT_EQ(windows, std::nullopt) << c.what;
      EXPECT_EQ(token(settings), c.saved) << c.what;
      continue;
    }
    ASSERT_TRUE(windows && windows->size() == 1) << c.what;
    const auto& w = windows->front();
    EXPECT_EQ(w.owner, capture.gameOwnerId()) << c.what;
    EXPECT_EQ(std::pair(w.frame.w, w.frame.h), std::pair(640.0, 360.0)) << c.what;
    auto kept = token(settings);
    ASSERT_TRUE(kept) << c.what;
    EXPECT_EQ(kept->rfind("token-", 0), 0u) << c.what << ": " << *kept;
    EXPECT_NE(kept, c.saved) << c.what;
  }
}

TEST(PortalCapture, NoPortalNoCapture) {
  MemorySettings settings;
  PortalCapture capture(settings, "org.quillmere.NoSuchPortal");
  EXPECT_FALSE(capture.available());
  EXPECT_EQ(list(capture), std::nullopt);
}

TEST(PortalCapture, FramesAtMostFourASecondAtTheAskedSizeUntilTheWindowCloses) {
  g_variant_unref(standIn("SetAnswer", g_variant_new("(s)", "share")));
  for (auto [width, height] : {std::pair(640, 360), std::pair(320, 180)}) {
    MemorySettings settings;
    PortalCapture capture(settings);
    Listing windows = list(capture);
    ASSERT_TRUE(windows && windows->size() == 1);
    std::mutex mutex;
    std::vector<Clock::time_point> times;
    std::vector<std::string> problems;
    int stops = 0;
    std::shared_ptr<CaptureStream> stream;
    StreamCallbacks callbacks{
        [&](const PixelFrame& f) {
          std::lock_guard lock(mutex);
          times.push_back(Clock::now());
          bool lit = false;  // the test source paints colour bars
          for (int x = 0; x < f.width * 4 && !lit; ++x) lit = f.pixels[f.stride * (f.height / 3) + x] != 0;
          if (f.width != width || f.height != height || f.stride < width * 4 || !lit)
            problems.push_back(std::to_string(f.width) + "x" + std::to_string(f.height));
        },
        [&] {
          std::lock_guard lock(mutex);
          stops++;
        },
        [&](std::shared_ptr<CaptureStream> s, std::optional<std::string> error) {
          EXPECT_EQ(error, std::nullopt);
          stream = std::move(s);
        },
        nullptr};
    capture.startStream(windows->front().id, {width, height, 0.25, 3, false}, callbacks);
    ASSERT_TRUE(stream);
    ASSERT_TRUE(runUntil([&] {
      std::lock_guard lock(mutex);
      return times.size() >= 4;
    }));
    g_variant_unref(standIn("EndShares"));  // the game window closes
    ASSERT_TRUE(runUntil([&] {
      std::lock_guard lock(mutex);
      return stops > 0;
    }));
    // The spent token goes on the main loop.
    EXPECT_TRUE(runUntil([&] { return !token(settings); })) << "a window that closed is not remembered";
    std::lock_guard lock(mutex);
    EXPECT_EQ(stops, 1);
    EXPECT_TRUE(problems.empty()) << problems.front();
    for (std::size_t i = 1; i < times.size(); ++i)
      EXPECT_GE(times[i] - times[i - 1], std::chrono::milliseconds(249)) << "frame " << i;
  }
  // Turning the bodycam off ends the share: the desktop's session is closed.
  MemorySettings settings;
  PortalCapture capture(settings);
  Listing windows = list(capture);
  ASSERT_TRUE(windows && windows->size() == 1);
  std::shared_ptr<CaptureStream> stream;
  capture.startStream(windows->front().id, {640, 360, 0.25, 3, false},
                      {[](const PixelFrame&) {}, [] {}, [&](auto s, auto) { stream = std::move(s); }, nullptr});
  ASSERT_TRUE(stream);
  EXPECT_EQ(liveShares(), 1u);
  stream->stop();
  EXPECT_TRUE(runUntil([] { return liveShares() == 0; })) << "the share outlives the bodycam";
}

}  // namespace
}  // namespace qm::gtk
