// The Wayland capture against the stand-in portal and a real PipeWire daemon (under tests/platform/with_portal.py).
#include <gio/gio.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>

#include "platform/gtk/portal/portal_capture.h"
#include "tests/fake/fake_platform.h"
#include "tests/platform/run_until.h"

namespace qm::gtk {
namespace {

using Listing = std::optional<std::vector<CaptureWindow>>;
using Clock = std::chrono::steady_clock;
using Token = std::optional<std::string>;

Listing list(PortalCapture& capture) {
  std::optional<Listing> answer;
  capture.listWindows([&](Listing windows) { answer = std::move(windows); });
  EXPECT_TRUE(runUntil([&] { return answer.has_value(); })) << "no listing";
  return answer.value_or(std::nullopt);
}

Token token(const fake::FakeSettings& settings) {
  auto value = settings.get(kRestoreTokenKey);
  return value ? Token(value->get<std::string>()) : std::nullopt;
}

TEST(PortalCapture, NoPortalNoCaptureThePlayersAnswerDecidesAndEveryChoiceIsRememberedOnce) {
  fake::FakeSettings none;
  PortalCapture absent(none, nullptr, nullptr, std::chrono::seconds(3), "org.quillmere.NoSuchPortal");
  EXPECT_FALSE(absent.available());
  EXPECT_EQ(list(absent), std::nullopt);
  struct Case {
    const char* answer;
    Token saved;
    bool shared;
    std::vector<Token> tokensOffered;  // per dialog, in order
  };
  const Case cases[] = {
      {"cancel", std::nullopt, false, {std::nullopt}},
      {"refuse", std::nullopt, false, {std::nullopt}},
      {"silent", std::nullopt, false, {std::nullopt}},
      {"share", std::nullopt, true, {std::nullopt}},
      {"share", "token-remembered", true, {"token-remembered"}},
      // The remembered window is gone: the token is dropped and the dialog asks again.
      {"share", "dead-token", true, {"dead-token", std::nullopt}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.answer) + " " + c.saved.value_or("-"));
    fake::FakeSettings settings;
    if (c.saved) settings.values[kRestoreTokenKey] = *c.saved;
    standIn("SetAnswer", g_variant_new("(s)", c.answer));
    std::size_t before = standIn("State")["selections"].size();
    PortalCapture capture(
        settings, nullptr, [] { return std::string("x11:2a"); }, std::chrono::seconds(3));
    ASSERT_TRUE(capture.available());
    Listing windows = list(capture);
    EXPECT_EQ(capture.consent(),
              std::string(c.answer) == "silent" ? CaptureConsent::desktopSilent : CaptureConsent::desktopDialog);
    auto asked = standIn("State")["selections"];
    ASSERT_EQ(asked.size() - before, c.tokensOffered.size());
    EXPECT_EQ(standIn("State")["parents"].back(), "x11:2a") << "the dialog belongs to the main window";
    for (std::size_t i = 0; i < c.tokensOffered.size(); ++i) {
      // A window, no cursor, remembered until the player revokes it.
      nlohmann::json wanted{{"types", 2}, {"multiple", false}, {"cursor_mode", 1}, {"persist_mode", 2}};
      if (c.tokensOffered[i]) wanted["restore_token"] = *c.tokensOffered[i];
      EXPECT_EQ(asked[before + i], wanted);
    }
    if (!c.shared) {
      EXPECT_EQ(windows, std::nullopt);
      EXPECT_EQ(token(settings), c.saved);
      continue;
    }
    ASSERT_TRUE(windows && windows->size() == 1);
    EXPECT_EQ(windows->front().owner, capture.gameOwnerId());
    EXPECT_EQ(std::pair(windows->front().frame.w, windows->front().frame.h), std::pair(640.0, 360.0));
    auto kept = token(settings);
    EXPECT_TRUE(kept && kept->starts_with("token-") && kept != c.saved) << kept.value_or("no token");
  }
}

// Frames come at most four a second at the asked size until the shared window closes (the end told once,
// the spent choice dropped) or the bodycam stops (the desktop's share closed).
TEST(PortalCapture, FramesAtMostFourASecondAtTheAskedSizeUntilTheEnd) {
  standIn("SetAnswer", g_variant_new("(s)", "share"));
  for (auto [width, height, windowCloses] : {std::tuple(640, 360, true), std::tuple(320, 180, false)}) {
    SCOPED_TRACE(windowCloses ? "the window closes" : "the bodycam stops");
    // The shares of the captures before this one close as the portal gets to it: wait, then count ours.
    ASSERT_TRUE(runUntil([] { return standIn("State")["shares"] == 0; })) << "an earlier share was never closed";
    fake::FakeSettings settings;
    PortalCapture capture(settings, nullptr);
    Listing windows = list(capture);
    ASSERT_TRUE(windows && windows->size() == 1);
    std::atomic<int> frames = 0, bad = 0, stops = 0;
    Clock::time_point last;  // the stream's thread alone calls back
    std::shared_ptr<CaptureStream> stream;
    StreamCallbacks callbacks{[&](const PixelFrame& f) {
                                const auto* row = f.pixels + f.stride * (f.height / 3);  // the source paints bars
                                bool lit = std::any_of(row, row + f.width * 4, [](std::uint8_t p) { return p != 0; });
                                bool soon = frames > 0 && Clock::now() - last < std::chrono::milliseconds(249);
                                last = Clock::now();
                                bad += f.width != width || f.height != height || f.stride < width * 4 || !lit || soon;
                                frames++;
                              },
                              [&] { stops++; },
                              [&](std::shared_ptr<CaptureStream> s, std::optional<std::string> error) {
                                EXPECT_EQ(error, std::nullopt);
                                stream = std::move(s);
                              },
                              nullptr};
    capture.startStream(windows->front().id, {width, height, 0.25, 3, false}, callbacks);
    ASSERT_TRUE(stream);
    ASSERT_TRUE(runUntil([&] { return frames >= 4; }));
    EXPECT_EQ(standIn("State")["shares"], 1);
    if (windowCloses) {
      standIn("EndShares");
      ASSERT_TRUE(runUntil([&] { return stops > 0; }));
      EXPECT_TRUE(runUntil([&] { return !token(settings); })) << "a window that closed is not remembered";
    } else {
      stream->stop();
      EXPECT_TRUE(runUntil([] { return standIn("State")["shares"] == 0; })) << "the share outlives the bodycam";
      EXPECT_TRUE(token(settings)) << "the choice is kept for the next start";
    }
    EXPECT_EQ(stops, windowCloses ? 1 : 0);
    EXPECT_EQ(bad, 0) << "frames too soon, of another size or dark";
  }
}

}  // namespace
}  // namespace qm::gtk
