#include <gtest/gtest.h>
#include <turbojpeg.h>

#include <thread>

#include "capture/frame_encoder.h"
#include "capture/game_capture.h"
#include "capture/window_choice.h"
#include "tests/fake/fake_platform.h"

namespace qm {
namespace {

const std::string kGame = "com.roblox.RobloxPlayer";

CaptureWindow game(std::uint64_t id, double w, double h, std::optional<std::string> owner = kGame) {
  return {std::move(owner), id, {0, 0, w, h}, true};
}

// Pixels of one colour, 4 bytes each.
struct Pixels {
  Pixels(int w, int h) : bytes(static_cast<std::size_t>(w) * h * 4, 0x80), frame{bytes.data(), w, h, w * 4} {}
  std::vector<std::uint8_t> bytes;
  PixelFrame frame;
};

std::pair<int, int> jpegSize(std::string_view jpeg) {
  tjhandle tj = tjInitDecompress();
  int w = 0, h = 0, sub = 0, space = 0;
  int rc = tjDecompressHeader3(tj, reinterpret_cast<const unsigned char*>(jpeg.data()), jpeg.size(), &w, &h, &sub,
                               &space);
  tjDestroy(tj);
  return rc == 0 ? std::pair{w, h} : std::pair{-1, -1};
}

struct Recorder {
  explicit Recorder(fake::FakePlatform& fakes) : fakes(fakes), capture(GameCapture::make(fakes.capture, fakes.desktop)) {
    capture->onFrame = [this](const std::string& f) { frames.push_back(f); };
    capture->onError = [this](const std::string& e) { errors.push_back(e); };
  }
  // Starts and answers the window query with one 1280x800 game window.
  void startOnGame() {
    fakes.capture.windowList = std::vector{game(7, 1280, 800)};
    capture->start();
    fakes.capture.answerListing();
  }
  std::shared_ptr<fake::FakeStream> answerStarted() {
    auto stream = std::make_shared<fake::FakeStream>();
    fakes.capture.callbacks.started(stream, std::nullopt);
    return stream;
  }
  fake::FakePlatform& fakes;
  std::shared_ptr<GameCapture> capture;
  std::vector<std::string> frames, errors;
};

}  // namespace

TEST(Capture, ChoosesTheLargestGameWindowAboveTheStrictBounds) {
  struct Case {
    const char* what;
    std::vector<CaptureWindow> windows;
    std::optional<std::uint64_t> chosen;
  };
  const Case cases[] = {
      {"none", {}, std::nullopt},
      {"exactly 300 wide", {game(1, 300, 600)}, std::nullopt},
      {"exactly 200 high", {game(1, 800, 200)}, std::nullopt},
      {"just above", {game(1, 301, 201)}, 1},
      {"other owner", {game(1, 1280, 800, "org.example.Other")}, std::nullopt},
      {"unknown owner", {game(1, 1280, 800, std::nullopt)}, std::nullopt},
      {"largest area", {game(1, 800, 600), game(2, 1600, 900), game(3, 1000, 1500)}, 3},
      {"tie keeps the first", {game(4, 800, 600), game(5, 600, 800)}, 4},
      {"small one skipped", {game(6, 200, 100), game(7, 400, 300)}, 7},
  };
  for (const auto& c : cases) {
    auto chosen = chooseGameWindow(c.windows, kGame);
    EXPECT_EQ(chosen ? std::optional(chosen->id) : std::nullopt, c.chosen) << c.what;
  }
}

TEST(Capture, FullScreenIsTestedAgainstEveryScreenAndDecidesTheCrop) {
  const std::vector<Screen> screens{{{0, 0, 1920, 1080}, {0, 25, 1920, 1055}}, {{1920, 0, 1512, 945}, {}}};
  struct Case {
    Rect window;
    bool full;
    double crop;
  };
  const Case cases[] = {
      {{0, 0, 1511, 944}, true, 0},
      {{0, 0, 1510, 945}, false, 28.0 / 945},
      {{0, 0, 1512, 943}, false, 28.0 / 943},
      {{500, 500, 1920, 1080}, true, 0},  // position does not matter
      {{0, 0, 800, 100}, false, 0.2},     // never more than a fifth
      {{0, 0, 800, 140}, false, 0.2},
      {{0, 0, 800, 600}, false, 28.0 / 600},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(isFullScreen(c.window, screens), c.full) << c.window.w << "x" << c.window.h;
    EXPECT_DOUBLE_EQ(cropTopFor(c.window, screens), c.crop) << c.window.w << "x" << c.window.h;
  }
}

TEST(Capture, OutputSizeNeverScalesUpAndIsEven) {
  const std::pair<Rect, OutputSize> cases[] = {
      {{0, 0, 1512, 945}, {1280, 800}}, {{0, 0, 2560, 1440}, {1280, 720}}, {{0, 0, 800, 600}, {800, 600}},
      {{0, 0, 1279, 719}, {1278, 718}}, {{0, 0, 1281, 721}, {1280, 720}}, {{0, 0, 301, 201}, {300, 200}},
  };
  for (const auto& [window, size] : cases) EXPECT_EQ(outputSizeFor(window), size) << window.w << "x" << window.h;
}

TEST(Capture, StreamsTheChosenWindowAtTheOutputSize) {
  fake::FakePlatform fakes;
  fakes.desktop.screenList = {{{0, 0, 1512, 945}, {0, 25, 1512, 920}}};
  Recorder r(fakes);
  fakes.capture.windowList = std::vector{game(3, 300, 300), game(9, 1512, 945), game(4, 1000, 700)};
  r.capture->start();
  fakes.capture.answerListing();
  EXPECT_EQ(fakes.capture.streamedWindow, 9u);
  EXPECT_EQ(fakes.capture.lastConfig.width, 1280);
  EXPECT_EQ(fakes.capture.lastConfig.height, 800);
  EXPECT_DOUBLE_EQ(fakes.capture.lastConfig.minFrameInterval, 0.25);
  EXPECT_EQ(fakes.capture.lastConfig.queueDepth, 3);
  EXPECT_FALSE(fakes.capture.lastConfig.showsCursor);
  EXPECT_DOUBLE_EQ(r.capture->cropTopShare(), 0);  // full screen keeps its top
  r.answerStarted();
  EXPECT_TRUE(r.capture->streaming());
}

TEST(Capture, EachFailureHasItsSentenceOnTheMainThread) {
  struct Case {
    const char* what;
    std::optional<std::vector<CaptureWindow>> windows;
    std::optional<std::string> startError;
    std::string sentence;
    int accessRequests;
  };
  const Case cases[] = {
      {"listing refused", std::nullopt, std::nullopt, kCapturePermissionMessage, 1},
      {"no game", std::vector{game(1, 1280, 800, "org.example.Other")}, std::nullopt, kNoGameMessage, 0},
      {"set-up error", std::vector{game(1, 1280, 800)}, "display gone",
       std::string(kCouldNotStartMessage) + "display gone", 0},
  };
  for (const auto& c : cases) {
    fake::FakePlatform fakes;
    Recorder r(fakes);
    fakes.capture.windowList = c.windows;
    r.capture->start();
    fakes.capture.answerListing();
    if (c.startError) fakes.capture.callbacks.started(nullptr, c.startError);
    EXPECT_TRUE(r.errors.empty()) << c.what << ": told before the main thread ran";
    fakes.desktop.runPosted();
    EXPECT_EQ(r.errors, std::vector{c.sentence}) << c.what;
    EXPECT_EQ(fakes.capture.accessRequests, c.accessRequests) << c.what;
    EXPECT_FALSE(r.capture->streaming()) << c.what;
  }
}

TEST(Capture, StopTwiceOrBeforeStartIsHarmless) {
  fake::FakePlatform fakes;
  Recorder r(fakes);
  r.capture->stop();
  r.capture->stop();
  fake::FakePlatform running;
  Recorder s(running);
  s.startOnGame();
  auto stream = s.answerStarted();
  s.capture->stop();
  s.capture->stop();
  running.desktop.runPosted();
  fakes.desktop.runPosted();
  EXPECT_EQ(stream->stops, 1);
  EXPECT_TRUE(r.errors.empty());
  EXPECT_TRUE(s.errors.empty());
}

TEST(Capture, StreamWhoseSetUpFinishesAfterStopIsStoppedAndNeverStored) {
  fake::FakePlatform fakes;
  Recorder r(fakes);
  r.startOnGame();
  r.capture->stop();  // before the set-up answers
  auto stream = r.answerStarted();
  EXPECT_EQ(stream->stops, 1);
  EXPECT_FALSE(r.capture->streaming());
  fakes.capture.callbacks.stopped();
  fakes.desktop.runPosted();
  EXPECT_TRUE(r.errors.empty());
}

TEST(Capture, WindowGoingAwayGivesExactlyOneStoppedMessage) {
  fake::FakePlatform fakes;
  Recorder r(fakes);
  r.startOnGame();
  r.answerStarted();
  fakes.capture.callbacks.stopped();
  fakes.capture.callbacks.stopped();
  fakes.desktop.runPosted();
  EXPECT_EQ(r.errors, std::vector<std::string>{kStoppedMessage});
  EXPECT_FALSE(r.capture->streaming());
}

TEST(Capture, FramesFromTheWorkerReachOnFrameOnlyThroughTheMainThread) {
  fake::FakePlatform fakes;
  Recorder r(fakes);
  r.startOnGame();
  r.answerStarted();
  Pixels pixels(1280, 800);
  PixelFrame empty{};
  std::thread worker([&] {
    for (int i = 0; i < 3; i++) fakes.capture.callbacks.frame(pixels.frame);
    fakes.capture.callbacks.frame(empty);  // a sample without an image
  });
  r.capture->stop();  // the main thread lets go while the worker converts
  worker.join();
  EXPECT_TRUE(r.frames.empty());
  fakes.desktop.runPosted();
  ASSERT_EQ(r.frames.size(), 3u);  // frames already dispatched still arrive
  EXPECT_EQ(r.frames[0].find_first_of("\n\r"), std::string::npos);
  fakes.capture.callbacks.frame(pixels.frame);  // converted into a text the main thread gave back
  fakes.desktop.runPosted();
  EXPECT_EQ(r.frames.back(), r.frames[0]);
  EXPECT_TRUE(r.errors.empty());
}

TEST(Frame, KeptRowsRoundTheCutToTheNearestRow) {
  const std::tuple<int, double, int> cases[] = {
      {800, 0, 800},           {800, 28.0 / 800, 772}, {720, 28.0 / 945, 699},  // 21.33 rows cut → 21
      {718, 28.0 / 719, 690},  // 27.96 rows cut → 28
      {100, 0.2, 80},          {10, 0.05, 9},          {1, 0.2, 1},            // never below one row
  };
  for (const auto& [height, crop, kept] : cases) EXPECT_EQ(keptRows(height, crop), kept) << height << " " << crop;
}

TEST(Frame, Base64IsStandardAndOnOneLine) {
  const std::pair<std::string, std::string> cases[] = {
      {"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},
      {"foo", "Zm9v"},  {"foob", "Zm9vYg=="},  {"fooba", "Zm9vYmE="},
      {"foobar", "Zm9vYmFy"},
      {std::string("\xfb\xff\xfe", 3), "+//+"},
      {"Many hands make light work.", "TWFueSBoYW5kcyBtYWtlIGxpZ2h0IHdvcmsu"},
      {std::string("\xfb\xff\xbf\xfb\xff\xbf\xfb\xff\xbf\x00\x10\x83", 12), "+/+/+/+/+/+/ABCD"},
  };
  std::string reused = "text of a longer frame before";
  for (const auto& [bytes, text] : cases) {
    EXPECT_EQ(base64(bytes), text) << text;
    base64Into(bytes, reused);
    EXPECT_EQ(reused, text) << "written over an earlier text";
  }
  EXPECT_EQ(base64(std::string(1000, 'x')).find('\n'), std::string::npos);
}

TEST(Frame, JPEGHasTheKeptSizeAndFramesWithoutAnImageAreDropped) {
  FrameEncoder encoder;
  Pixels big(1280, 800), small(800, 600);
  EXPECT_EQ(jpegSize(*encoder.jpeg(big.frame, 28.0 / 800)), std::pair(1280, 772));
  EXPECT_EQ(jpegSize(*encoder.jpeg(big.frame, 0)), std::pair(1280, 800));
  EXPECT_EQ(jpegSize(*encoder.jpeg(small.frame, 28.0 / 600)), std::pair(800, 572));
  EXPECT_FALSE(encoder.jpeg(PixelFrame{}, 0));
  std::string text;
  EXPECT_FALSE(encoder.base64JPEG(PixelFrame{nullptr, 10, 10, 40}, 0, text));
}

}  // namespace qm
