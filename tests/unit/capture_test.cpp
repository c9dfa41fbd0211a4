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
  int rc =
      tjDecompressHeader3(tj, reinterpret_cast<const unsigned char*>(jpeg.data()), jpeg.size(), &w, &h, &sub, &space);
  tjDestroy(tj);
  return rc == 0 ? std::pair{w, h} : std::pair{-1, -1};
}

struct Recorder {
  Recorder() : capture(GameCapture::make(fakes.capture, fakes.desktop)) {
    capture->onFrame = [this](const std::string& f) { frames.push_back(f); };
    capture->onError = [this](const std::string& e) { errors.push_back(e); };
  }
  // Starts and answers the window query with the given windows (one 1280x800 game window by default).
  void start(std::optional<std::vector<CaptureWindow>> windows = std::vector{game(7, 1280, 800)}) {
    fakes.capture.windowList = std::move(windows);
    capture->start();
    fakes.capture.answerListing();
  }
  void answerStarted(std::optional<std::string> error = std::nullopt) {
    fakes.capture.callbacks.started(error ? nullptr : stream, error);
  }
  void stopped() { fakes.capture.callbacks.stopped(); }
  fake::FakePlatform fakes;
  std::shared_ptr<GameCapture> capture;
  std::shared_ptr<fake::FakeStream> stream = std::make_shared<fake::FakeStream>();
  std::vector<std::string> frames, errors;
};

}  // namespace

TEST(Capture, ChoosesTheLargestGameWindowAboveTheStrictBounds) {
  const std::tuple<const char*, std::vector<CaptureWindow>, std::optional<std::uint64_t>> cases[] = {
      {"none", {}, std::nullopt},
      {"300 wide, 200 high, not the game's",
       {game(1, 300, 600), game(2, 800, 200), game(3, 900, 900, "other"), game(4, 900, 900, {})},
       std::nullopt},
      {"just above", {game(1, 301, 201)}, 1},
      {"largest area", {game(1, 800, 600), game(2, 1600, 900), game(3, 1000, 1500)}, 3},
      {"tie keeps the first", {game(4, 800, 600), game(5, 600, 800)}, 4},
      {"minimised or popup never, off screen still",
       {{kGame, 1, {0, 0, 1920, 1080}, false, false},
        {kGame, 2, {0, 0, 1600, 900}, true, true, true},
        {kGame, 3, {-5000, 0, 800, 600}, false}},
       3},
  };
  for (const auto& [what, windows, chosen] : cases) {
    auto found = chooseGameWindow(windows, kGame);
    EXPECT_EQ(found ? std::optional(found->id) : std::nullopt, chosen) << what;
  }
}

// The title bar is cut, never more than a fifth, unless the window is full screen on any screen, wherever it is; the
// frames never scale up and are even.
TEST(Capture, CropAndOutputSize) {
  const std::vector<Screen> screens{{{0, 0, 1920, 1080}, {0, 25, 1920, 1055}}, {{1920, 0, 1512, 945}, {}}};
  // the window's size, the share cut with a title bar, the frames' size
  const std::tuple<double, double, double, int, int> cases[] = {
      {1511, 944, 0, 1280, 798},          {1510, 945, 28.0 / 945, 1280, 800}, {1512, 943, 28.0 / 943, 1280, 798},
      {1920, 1080, 0, 1280, 720},         {800, 100, 0.2, 800, 100},          {800, 140, 0.2, 800, 140},
      {800, 600, 28.0 / 600, 800, 600},   {1512, 945, 0, 1280, 800},          {2560, 1440, 28.0 / 1440, 1280, 720},
      {1279, 719, 28.0 / 719, 1278, 718}, {1281, 721, 28.0 / 721, 1280, 720}, {301, 201, 28.0 / 201, 300, 200},
  };
  for (const auto& [w, h, crop, outW, outH] : cases) {
    const Rect window{500, 500, w, h};
    EXPECT_DOUBLE_EQ(cropTopFor(window, true, screens), crop) << w << "x" << h;
    EXPECT_EQ(cropTopFor(window, false, screens), 0) << w << "x" << h;
    EXPECT_EQ(outputSizeFor(window), (OutputSize{outW, outH})) << w << "x" << h;
  }
}

TEST(Capture, EachEndHasItsSentenceOnTheMainThreadOrNoneWhenStopped) {
  const auto other = std::vector{game(1, 1280, 800, "org.example.Other")};
  struct Case {
    const char* what;
    std::function<void(Recorder&)> run;
    std::vector<std::string> sentences;
    int streamStops, accessRequests = 0;
  };
  // The desktop or the system answered the listing with no windows, after the player's consent of this kind.
  auto refused = [](CaptureConsent consent) {
    return [consent](Recorder& r) { r.fakes.capture.consentKind = consent, r.start(std::nullopt); };
  };
  auto streaming = [](Recorder& r) { r.start(), r.answerStarted(); };
  auto ungranted = [](Recorder& r) { r.fakes.capture.granted = false, r.capture->start(); };
  auto answeredLate = [](Recorder& r) { r.start(), r.capture->stop(), r.answerStarted(), r.stopped(); };
  const std::string unlisted = std::string(kCouldNotStartMessage) + "the windows could not be listed",
                    gone = std::string(kCouldNotStartMessage) + "display gone";
  const Case cases[] = {
      {"listing refused", refused(CaptureConsent::systemSettings), {kCapturePermissionMessage}, 0, 1},
      {"share refused in the desktop's dialog", refused(CaptureConsent::desktopDialog), {kCaptureShareMessage}, 0, 1},
      {"the desktop never answered", refused(CaptureConsent::desktopSilent), {kCaptureUnansweredMessage}, 0, 1},
      {"desktop shares no windows", refused(CaptureConsent::notOffered), {kCaptureNotOfferedMessage}, 0, 1},
      {"an X server that lists nothing, where nothing asks", refused(CaptureConsent::unasked), {unlisted}, 0},
      {"not granted: asked before listing", ungranted, {kCapturePermissionMessage}, 0, 1},
      {"no game", [&](Recorder& r) { r.start(other); }, {kNoGameMessage}, 0},
      {"set-up error", [](Recorder& r) { r.start(), r.answerStarted("display gone"); }, {gone}, 0},
      {"window gone, told once", [&](Recorder& r) { streaming(r), r.stopped(), r.stopped(); }, {kStoppedMessage}, 0},
      {"stop before start, twice", [](Recorder& r) { r.capture->stop(), r.capture->stop(); }, {}, 0},
      {"stop twice while streaming", [&](Recorder& r) { streaming(r), r.capture->stop(), r.capture->stop(); }, {}, 1},
      {"set-up answered after stop", answeredLate, {}, 1},
  };
  for (const auto& c : cases) {
    Recorder r;
    c.run(r);
    EXPECT_TRUE(r.errors.empty()) << c.what << ": told before the main thread ran";
    EXPECT_EQ(r.fakes.capture.accessRequests, 0) << c.what << ": asked before the main thread ran";
    r.fakes.desktop.runPosted();
    EXPECT_EQ(r.errors, c.sentences) << c.what;
    EXPECT_EQ(r.stream->stops, c.streamStops) << c.what;
    EXPECT_EQ(r.fakes.capture.accessRequests, c.accessRequests) << c.what;
    EXPECT_FALSE(r.capture->streaming()) << c.what;
  }
}

TEST(Capture, StreamsTheChosenWindowAndHandsFramesOverOnTheMainThread) {
  Recorder r;
  r.fakes.desktop.screenList = {{{0, 0, 1512, 945}, {0, 25, 1512, 920}}};
  r.start(std::vector{game(3, 300, 300), game(9, 1512, 945), game(4, 1000, 700)});
  EXPECT_EQ(r.fakes.capture.streamedWindow, 9u);
  EXPECT_EQ(std::pair(r.fakes.capture.lastConfig.width, r.fakes.capture.lastConfig.height), std::pair(1280, 800));
  EXPECT_DOUBLE_EQ(r.capture->cropTopShare(), 0);  // full screen keeps its top
  // Resized while streaming: frames keep the window's proportions, and the title bar is cut again.
  EXPECT_EQ(r.fakes.capture.callbacks.resized(2560, 1080), (OutputSize{1280, 540}));
  EXPECT_DOUBLE_EQ(r.capture->cropTopShare(), 28.0 / 1080);
  r.answerStarted();
  EXPECT_TRUE(r.capture->streaming());
  Pixels pixels(1280, 800);
  for (int i = 0; i < 2; i++) r.fakes.capture.callbacks.frame(pixels.frame);
  r.fakes.capture.callbacks.frame(PixelFrame{});  // a sample without an image
  EXPECT_TRUE(r.frames.empty());
  r.fakes.desktop.runPosted();
  ASSERT_EQ(r.frames.size(), 2u);
  EXPECT_EQ(r.frames[0].find_first_of("\n\r"), std::string::npos);
  r.fakes.capture.callbacks.frame(pixels.frame);  // converted into a text the main thread gave back
  r.fakes.desktop.runPosted();
  EXPECT_EQ(r.frames.back(), r.frames[0]);
  std::thread worker([&] {
    for (int i = 0; i < 3; i++) r.fakes.capture.callbacks.frame(pixels.frame);
  });
  r.capture->stop();  // the player turns the bodycam off while the worker converts
  worker.join();
  r.fakes.desktop.runPosted();
  EXPECT_EQ(r.frames.size(), 3u);  // no frame reaches the page after that
  EXPECT_TRUE(r.errors.empty());
}

TEST(Frame, TheJPEGKeepsTheRowsLeftAfterTheCutRoundedToTheNearestRow) {
  const std::tuple<int, double, int> cases[] = {
      {800, 0, 800},          {800, 28.0 / 800, 772}, {720, 28.0 / 945, 699},  // 21.33 rows cut → 21
      {718, 28.0 / 719, 690},                                                  // 27.96 rows cut → 28
      {100, 0.2, 80},         {10, 0.05, 9},          {1, 0.2, 1},             // never below one row
      {10, 1e300, 1},
  };
  FrameEncoder encoder;
  for (const auto& [height, crop, kept] : cases) {
    Pixels pixels(16, height);
    EXPECT_EQ(jpegSize(*encoder.jpeg(pixels.frame, crop)), std::pair(16, kept)) << height << " " << crop;
  }
  std::string text;
  EXPECT_FALSE(encoder.base64JPEG(PixelFrame{nullptr, 10, 10, 40}, 0, text));
}

TEST(Frame, Base64IsStandardAndOnOneLine) {
  const std::pair<std::string, std::string> cases[] = {
      {"", ""},
      {"f", "Zg=="},
      {"fo", "Zm8="},
      {std::string("\xfb\xff\xfe", 3), "+//+"},
      {std::string("\xfb\xff\xbf\xfb\xff\xbf\xfb\xff\xbf\x00\x10\x83", 12), "+/+/+/+/+/+/ABCD"},
  };
  std::string reused = "text of a longer frame before";
  for (const auto& [bytes, text] : cases) {
    EXPECT_EQ(base64(bytes), text) << text;
    base64Into(bytes, reused);
    EXPECT_EQ(reused, text) << "written over an earlier text";
  }
}

}  // namespace qm
