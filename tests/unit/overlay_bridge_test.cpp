#include "app/rect_text.h"
#include "capture/game_capture.h"
#include "overlay/bubble.h"
#include "tests/unit/harness.h"
#include "web/page_script.h"

namespace qm::test {
namespace {

// The main screen's visible frame is the fake's 1920x1080.
const Rect kDefaultOverlay{1920 - 920, 540 - 300, 900, 600};

struct Launched : Harness {
  Launched() { launch(); }
  fake::FakeWindow* overlayWindow() { return windowOf(WindowKind::Overlay); }
  fake::FakeWindow* bubbleWindow() { return windowOf(WindowKind::Bubble); }
  fake::FakeWebView& overlayView() { return *fakes.web.views.at(1); }
  void mainAt(const std::string& url) {
    mainView().current = url;
    app->onURLChanged(mainView());
  }
  void message(WebView& from, const char* json) { app->onMessage(from, nlohmann::json::parse(json)); }
  // The bodycam asked for by a page, its game window found and its stream started.
  std::shared_ptr<fake::FakeStream> startBodycam(WebView& from) {
    fakes.capture.windowList = std::vector<CaptureWindow>{{fakes.capture.gameOwnerId(), 1, {0, 0, 1280, 800}, true}};
    message(from, R"({"t":"bodycam","on":true})");
    fakes.capture.answerListing();
    auto stream = std::make_shared<fake::FakeStream>();
    fakes.capture.callbacks.started(stream, std::nullopt);
    return stream;
  }
  void sendFrame() {
    std::vector<std::uint8_t> pixels(64 * 64 * 4, 0x40);
    fakes.capture.callbacks.frame({pixels.data(), 64, 64, 256});
    fakes.desktop.runPosted();
  }
};

}  // namespace

TEST(Overlay, FloatsAtTheSavedOrDefaultFrameWithoutTakingFocus) {
  struct Case {
    std::optional<nlohmann::json> saved, opacity, guild;
    Rect frame;
    double alpha;
    std::string url;
  };
  const std::string mdt = SITE + "/dashboard/#/g/123456789012345678/mdt", plain = SITE + "/dashboard/";
  const Case cases[] = {
      {std::nullopt, std::nullopt, std::nullopt, kDefaultOverlay, 0.94, plain},
      {"{{10, 20}, {501, 400}}", 0.7, "123456789012345678", {10, 20, 501, 400}, 0.7, mdt},
      {"{{10, 20}, {500, 400}}", "0.5", "1234", kDefaultOverlay, 0.94, plain},
      {"junk", std::nullopt, 12345, kDefaultOverlay, 0.94, plain},
      {1000, std::nullopt, std::string(26, '1'), kDefaultOverlay, 0.94, plain},
  };
  for (const auto& c : cases) {
    Launched h;
    for (auto [key, value] : {std::pair{"overlayFrame", c.saved}, {"opacity", c.opacity}, {"guild", c.guild}})
      if (value) h.fakes.settings.values[key] = *value;
    h.app->showOverlay();
    auto* w = h.overlayWindow();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->rect, c.frame) << c.saved.value_or("none");
    EXPECT_EQ(w->options.cornerRadius, 26);
    EXPECT_DOUBLE_EQ(w->alpha, c.alpha);
    EXPECT_EQ(h.overlayView().loads, std::vector{c.url});
    EXPECT_EQ(h.overlayView().lastTimeout, 60);
    EXPECT_EQ(w->quietShows, 1);
    EXPECT_EQ(w->keyShows, 0);
  }
}

TEST(Overlay, ToggleHidesOverlayOrBubbleAndShowsTheSamePanelAgain) {
  Launched h;
  h.app->toggleOverlay();
  EXPECT_TRUE(h.overlayWindow()->visible());
  h.app->toggleOverlay();
  EXPECT_FALSE(h.overlayWindow()->visible());
  h.app->toggleOverlay();
  h.app->minimize();
  h.app->toggleOverlay();
  EXPECT_FALSE(h.bubbleWindow()->visible());
  EXPECT_FALSE(h.overlayWindow()->visible());
  h.app->toggleOverlay();
  EXPECT_TRUE(h.overlayWindow()->visible());
  EXPECT_EQ(h.fakes.web.views.size(), 2u);
  EXPECT_EQ(h.overlayView().loads.size(), 1u);
}

TEST(Overlay, SizePresetsKeepTheBottomLeftAndPersist) {
  Launched h;
  h.app->setSize({760.0, 500.0});  // no overlay yet: nothing happens
  EXPECT_EQ(h.fakes.settings.values.count("overlayFrame"), 0u);
  h.app->showOverlay();
  const std::pair<nlohmann::json, Rect> cases[] = {
      {{760.0, 500.0}, {1000, 340, 760, 500}},
      {{1100.0, 720.0}, {1000, 120, 1100, 720}},
      {{900.0, 600.0}, kDefaultOverlay},
      {"Large", kDefaultOverlay},  // not a preset: ignored
      {{900.0}, kDefaultOverlay},
  };
  for (const auto& [preset, frame] : cases) {
    h.app->setSize(preset);
    EXPECT_EQ(h.overlayWindow()->rect, frame) << preset;
    EXPECT_EQ(h.fakes.settings.values["overlayFrame"], stringFromRect(frame)) << preset;
  }
}

TEST(Overlay, OpacityPresetsApplyAndPersist) {
  Launched h;
  h.app->setOpacity(0.55);  // stored even before the overlay exists
  EXPECT_EQ(h.fakes.settings.values["opacity"], 0.55);
  h.app->showOverlay();
  EXPECT_DOUBLE_EQ(h.overlayWindow()->alpha, 0.55);
  h.app->setOpacity(0.85);
  EXPECT_DOUBLE_EQ(h.overlayWindow()->alpha, 0.85);
  h.app->setOpacity("half");
  EXPECT_DOUBLE_EQ(h.overlayWindow()->alpha, 1.0);
  EXPECT_EQ(h.fakes.settings.values["opacity"], 1.0);
}

TEST(Overlay, GuildObserverStoresOnChangeAndReloadsOnlyWhenVisible) {
  Launched h;
  const std::string g = "/dashboard/#/g/";
  struct Step {
    std::string url;
    std::optional<std::string> guild;
    bool stores;
  };
  const Step steps[] = {
      {SITE + g + "1234/cad", std::nullopt, false},
      {SITE + g + std::string(26, '7') + "/cad", std::nullopt, false},
      {SITE + g + "12345/cad", "12345", true},
      {SITE + g + "12345/mdt", "12345", false},  // same guild: stored once
      {SITE + g + "98765x/cad", "12345", false},
      {SITE + "/dashboard/", "12345", false},
      {SITE + g + std::string(25, '9') + "/cad", std::string(25, '9'), true},
  };
  for (const auto& s : steps) {
    int before = h.fakes.settings.writes;
    h.mainAt(s.url);
    EXPECT_EQ(h.app->guild(), s.guild) << s.url;
    EXPECT_EQ(h.fakes.settings.writes - before, s.stores ? 1 : 0) << s.url;
  }
  h.app->showOverlay();
  h.app->toggleOverlay();  // hidden
  h.mainAt(SITE + g + "55555/cad");
  EXPECT_EQ(h.overlayView().loads.size(), 1u);
  h.app->toggleOverlay();
  h.mainAt(SITE + g + "66666/cad");
  EXPECT_EQ(h.overlayView().loads.back(), SITE + g + "66666/mdt");
  EXPECT_EQ(h.overlayView().loads.size(), 2u);
}

TEST(Bubble, SitsAtTheEdgeClicksRestoreAndDragsSlideVertically) {
  Launched h;
  h.app->minimize();  // no overlay: nothing to shrink
  EXPECT_EQ(h.bubbleWindow(), nullptr);
  h.app->showOverlay();
  h.app->minimize();
  auto* b = h.bubbleWindow();
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->rect, (Rect{1920 - 64, 540 - 29, 58, 58}));
  EXPECT_FALSE(h.overlayWindow()->visible());
  EXPECT_EQ(b->quietShows, 1);
  EXPECT_EQ(b->style.iconInset, 11);
  EXPECT_EQ(b->style.outlineWidth, 1.5);

  struct Drag {
    double dx, dy;
    bool restores;
  };
  const Drag drags[] = {{0, 3, true}, {40, -3, true}, {0, 4, false}, {30, -50, false}};
  for (const auto& d : drags) {
    h.app->minimize();
    Rect before = b->rect;
    h.fakes.settings.values.erase("bubbleY");
    h.fakes.desktop.mouse = {1900, 500};
    b->handlers.down();
    h.fakes.desktop.mouse = {1900 + d.dx, 500 + d.dy};
    b->handlers.dragged();
    b->handlers.up();
    EXPECT_EQ(b->rect.x, before.x) << d.dy;  // vertical only
    EXPECT_EQ(b->rect.y, before.y + d.dy) << d.dy;
    EXPECT_EQ(h.overlayWindow()->visible(), d.restores) << d.dy;
    EXPECT_EQ(h.fakes.settings.values.count("bubbleY"), d.restores ? 0u : 1u) << d.dy;
    if (!d.restores) {
      EXPECT_EQ(h.fakes.settings.values["bubbleY"], b->rect.y);
    }
  }
}

TEST(Bubble, StartsAtTheStoredHeight) {
  Launched h;
  h.fakes.settings.values["bubbleY"] = 123.0;
  h.app->showOverlay();
  h.app->minimize();
  EXPECT_EQ(h.bubbleWindow()->rect, (Rect{1920 - 64, 123, 58, 58}));
}

TEST(Overlay, DragFollowsTheMouseAtSixtyAHertzAndStoresTheFrameAtTheEnd) {
  Launched h;
  h.app->showOverlay();
  h.fakes.desktop.mouse = {1100, 250};
  h.fakes.desktop.buttonDown = true;
  h.app->dragOverlay();
  ASSERT_EQ(h.fakes.desktop.timers.size(), 1u);
  EXPECT_DOUBLE_EQ(h.fakes.desktop.timers[0]->interval, 1.0 / 60);
  h.fakes.desktop.mouse = {1000, 300};
  h.fakes.desktop.fireTimers();
  Rect moved{900, 290, 900, 600};
  EXPECT_EQ(h.overlayWindow()->rect, moved);
  EXPECT_EQ(h.fakes.settings.values.count("overlayFrame"), 0u);
  h.fakes.desktop.buttonDown = false;
  h.fakes.desktop.mouse = {0, 0};
  h.fakes.desktop.fireTimers();
  EXPECT_FALSE(h.fakes.desktop.timers[0]->valid);
  EXPECT_EQ(h.overlayWindow()->rect, moved);
  EXPECT_EQ(h.fakes.settings.values["overlayFrame"], stringFromRect(moved));
}

TEST(Bridge, SendGoesToTheOverlayWhileVisibleElseToTheMainPage) {
  Launched h;
  const nlohmann::json event = {{"type", "clip"}};
  const std::string script = eventScript(event.dump());
  h.app->send(event);
  EXPECT_EQ(h.mainView().scripts.back(), script);
  h.app->showOverlay();
  auto mainCount = h.mainView().scripts.size();
  h.app->send(event);
  EXPECT_EQ(h.overlayView().scripts.back(), script);
  h.app->minimize();
  h.app->send(event);
  EXPECT_EQ(h.mainView().scripts.size(), mainCount + 1);
  h.app->send({{"type", std::string("\xff")}});  // not UTF-8: never sent
  EXPECT_EQ(h.mainView().scripts.size(), mainCount + 1);
}

TEST(Bridge, InboundMessagesAndMalformedBodies) {
  const std::pair<const char*, bool> cases[] = {
      {R"({"t":"overlay"})", true},  {R"(["overlay"])", false},   {R"("overlay")", false},
      {R"(7)", false},               {R"({"type":"overlay"})", false}, {R"({"t":1})", false},
      {R"({"t":["overlay"]})", false}, {R"({"t":"Overlay"})", false}, {R"({"t":"unknown"})", false},
      {R"({"t":"minimize"})", false}, {R"({"t":"drag"})", false}, {R"({"t":"bodycam","on":false})", false},
  };
  for (const auto& [body, opens] : cases) {
    Launched h;
    h.message(h.mainView(), body);
    EXPECT_EQ(h.overlayWindow() != nullptr, opens) << body;
    EXPECT_EQ(h.bubbleWindow(), nullptr) << body;
    EXPECT_TRUE(h.fakes.desktop.timers.empty()) << body;
    EXPECT_FALSE(h.fakes.capture.listing) << body;
  }
  Launched h;
  h.message(h.mainView(), R"({"t":"overlay"})");
  h.message(h.overlayView(), R"({"t":"minimize"})");
  EXPECT_TRUE(h.bubbleWindow()->visible());
  h.app->restore();
  h.message(h.overlayView(), R"({"t":"drag"})");
  EXPECT_EQ(h.fakes.desktop.timers.size(), 1u);
}

TEST(Bridge, BodycamStateTable) {
  struct Case {
    const char* what;
    std::vector<const char*> bodies;
    bool canCapture;
    int listings;
    bool running;
  };
  const Case cases[] = {
      {"on", {R"({"t":"bodycam","on":true})"}, true, 1, true},
      {"on as 1", {R"({"t":"bodycam","on":1})"}, true, 1, true},
      {"on as text", {R"({"t":"bodycam","on":"yes"})"}, true, 0, false},
      {"off", {R"({"t":"bodycam"})"}, true, 0, false},
      {"on then off", {R"({"t":"bodycam","on":true})", R"({"t":"bodycam"})"}, true, 1, false},
      {"on twice restarts", {R"({"t":"bodycam","on":true})", R"({"t":"bodycam","on":true})"}, true, 2, true},
      {"cannot capture", {R"({"t":"bodycam","on":true})"}, false, 0, false},
  };
  for (const auto& c : cases) {
    Launched h;
    h.fakes.capture.canCapture = c.canCapture;
    int listings = 0;
    for (const char* body : c.bodies) {
      h.message(h.mainView(), body);
      if (h.fakes.capture.listing) listings++, h.fakes.capture.answerListing();
    }
    EXPECT_EQ(listings, c.listings) << c.what;
    EXPECT_EQ(h.app->gameCapture != nullptr, c.running) << c.what;
  }
}

TEST(Bridge, FramesAndErrorsGoToThePageThatAsked) {
  Launched h;
  h.app->showOverlay();
  h.startBodycam(h.mainView());  // asked from the main page while the overlay shows
  auto first = h.fakes.capture.callbacks;
  h.sendFrame();
  ASSERT_FALSE(h.mainView().scripts.empty());
  const std::string frameHead = frameEventScript("");
  EXPECT_EQ(h.mainView().scripts.back().substr(0, 60), frameHead.substr(0, 60));
  EXPECT_EQ(h.overlayView().scripts, std::vector<std::string>{"navigator.userAgent"});

  // A newer capture from the overlay page replaces it; the old one's failure leaves the new one alone.
  h.startBodycam(h.overlayView());
  auto second = h.app->gameCapture;
  first.stopped();
  h.fakes.desktop.runPosted();
  EXPECT_EQ(h.app->gameCapture, second);
  h.fakes.capture.callbacks.stopped();
  h.fakes.desktop.runPosted();
  EXPECT_EQ(h.app->gameCapture, nullptr);
  const std::string error = eventScript(
      nlohmann::json{{"type", "bodycam-error"}, {"message", kStoppedMessage}}.dump());
  EXPECT_EQ(h.overlayView().scripts.back(), error);
  EXPECT_NE(h.mainView().scripts.back(), error);
}

TEST(Bridge, QuitOrBodycamOffStopsTheStreamAndLetsTheCaptureGo) {
  const std::pair<const char*, void (*)(Launched&)> endings[] = {
      {"quit", [](Launched& h) { h.app->applicationWillTerminate(); }},
      {"bodycam off", [](Launched& h) { h.message(h.mainView(), R"({"t":"bodycam"})"); }},
  };
  for (const auto& [what, end] : endings) {
    Launched h;
    auto stream = h.startBodycam(h.mainView());
    std::weak_ptr<GameCapture> capture = h.app->gameCapture;
    end(h);
    h.fakes.desktop.runPosted();
    EXPECT_EQ(stream->stops, 1) << what;
    EXPECT_EQ(h.app->gameCapture, nullptr) << what;
    EXPECT_TRUE(capture.expired()) << what << ": the answered set-up still holds the capture";
    auto scripts = h.mainView().scripts.size();
    h.sendFrame();  // a worker's frame after the end
    EXPECT_EQ(h.mainView().scripts.size(), scripts) << what << ": a frame reached the page";
  }
}

}  // namespace qm::test
