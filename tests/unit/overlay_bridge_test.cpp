#include "app/rect_text.h"
#include "capture/game_capture.h"
#include "tests/unit/harness.h"
#include "web/page_script.h"

namespace qm::test {
namespace {

// The main screen's visible frame is the fake's 1920x1080.
const Rect kDefaultOverlay{1920 - 920, 540 - 300, 900, 600};

struct Panels : Launched {
  fake::FakeWindow* overlayWindow() { return windowOf(WindowKind::Overlay); }
  fake::FakeWindow* bubbleWindow() { return windowOf(WindowKind::Bubble); }
  void mainAt(const std::string& url) {
    mainView().current = url;
    app->onURLChanged(mainView());
  }
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
  const std::string mdt = SITE + "/dashboard/#/g/123456789012345678/mdt", plain = SITE + "/dashboard/";
  using Stored = std::optional<nlohmann::json>;
  const std::tuple<Stored, Stored, Stored, Rect, double, std::string> cases[] = {
      // saved frame, opacity, guild
      {std::nullopt, std::nullopt, std::nullopt, kDefaultOverlay, 0.94, plain},
      {"{{10, 20}, {501, 400}}", 0.7, "123456789012345678", {10, 20, 501, 400}, 0.7, mdt},
      {"{{10, 20}, {500, 400}}", "0.5", "1234", kDefaultOverlay, 0.94, plain},
      {"junk", std::nullopt, 12345, kDefaultOverlay, 0.94, plain},
      {1000, std::nullopt, std::string(26, '1'), kDefaultOverlay, 0.94, plain},
  };
  for (const auto& [saved, opacity, guild, frame, alpha, url] : cases) {
    Panels h;
    for (auto [key, value] : {std::pair{"overlayFrame", saved}, {"opacity", opacity}, {"guild", guild}})
      if (value) h.fakes.settings.values[key] = *value;
    h.app->showOverlay();
    auto* w = h.overlayWindow();
    EXPECT_EQ(w->rect, frame) << saved.value_or("none");
    EXPECT_DOUBLE_EQ(w->alpha, alpha);
    EXPECT_EQ(h.overlayView().loads, std::vector{url});
    EXPECT_EQ(std::pair(w->quietShows, w->keyShows), std::pair(1, 0));
  }
}

// A dialog the player must answer has the keyboard, over the game, until it closes; a page's answers to a click.
TEST(Overlay, PanelsStepAsideAndTheKeyboardComesToADialogOfOursWhileItIsUp) {
  const std::tuple<const char*, void (*)(Panels&), std::string> dialogs[] = {
      {"page alert", [](Panels& h) { h.app->onAlert(h.overlayView(), "Saved"); }, "M--, keyboard ours, by click"},
      {"page confirm", [](Panels& h) { h.app->onConfirm(h.overlayView(), "Sure?"); }, "M--, keyboard ours, by click"},
      {"key picker", [](Panels& h) { h.app->pickKey("bodycam"); }, "M--, keyboard ours"},
  };
  for (bool minimized : {false, true})
    for (const auto& [what, open, up] : dialogs) {
      Panels h;
      h.app->showOverlay();
      if (minimized) h.app->minimize();
      const auto before = h.showing();
      std::string whileUp;
      h.fakes.desktop.nextAlertAnswer = [&](fake::FakeAlert& alert) {
        whileUp = h.showing() + (h.fakes.desktop.keyboard == 1 ? ", keyboard ours" : "");
        return whileUp += alert.byClick ? ", by click" : "", 1;
      };
      open(h);
      EXPECT_EQ(whileUp, up) << what;
      EXPECT_EQ(h.showing(), before) << what;
      EXPECT_EQ(h.fakes.desktop.keyboard, fake::kGameWindow) << what;
    }
}

TEST(Overlay, SizeAndOpacityPresetsApplyAndPersist) {
  Panels h;
  h.app->setSize({760.0, 500.0});  // no overlay yet: nothing happens
  EXPECT_EQ(h.fakes.settings.values.count("overlayFrame"), 0u);
  h.app->setOpacity(0.55);  // stored even before the overlay exists
  h.app->showOverlay();
  EXPECT_DOUBLE_EQ(h.overlayWindow()->alpha, 0.55);
  const std::pair<nlohmann::json, Rect> sizes[] = {
      {{760.0, 500.0}, {1000, 340, 760, 500}},  // the left and top edges stay
      {{900.0, 600.0}, kDefaultOverlay},
      {"Large", kDefaultOverlay},  // not a preset: ignored
      {{1100.0}, kDefaultOverlay},
      {{1100.0, 720.0}, {820, 120, 1100, 720}},  // it would leave the screen: back onto it, the top stays
  };
  for (const auto& [preset, frame] : sizes) {
    h.app->setSize(preset);
    EXPECT_EQ(h.overlayWindow()->rect, frame) << preset;
    EXPECT_EQ(h.fakes.settings.values["overlayFrame"], stringFromRect(frame)) << preset;
  }
  for (const auto& [preset, alpha] : {std::pair<nlohmann::json, double>{0.85, 0.85}, {"half", 1.0}}) {
    h.app->setOpacity(preset);
    EXPECT_DOUBLE_EQ(h.overlayWindow()->alpha, alpha);
    EXPECT_EQ(h.fakes.settings.values["opacity"], alpha);
  }
}

TEST(Overlay, GuildObserverStoresOnChangeAndReloadsOnlyWhenVisible) {
  Panels h;
  const std::string g = SITE + "/dashboard/#/g/";
  const std::tuple<std::string, std::optional<std::string>, bool> steps[] = {
      {g + "1234/cad", std::nullopt, false},
      {g + std::string(26, '7') + "/cad", std::nullopt, false},
      {g + "12345/cad", "12345", true},
      {g + "12345/mdt", "12345", false},  // same guild: stored once
      {g + "98765x/cad", "12345", false},
      {SITE + "/dashboard/", "12345", false},
      {g + std::string(25, '9') + "/cad", std::string(25, '9'), true},
  };
  for (const auto& [url, guild, stores] : steps) {
    int before = h.fakes.settings.writes;
    h.mainAt(url);
    EXPECT_EQ(h.app->guild(), guild) << url;
    EXPECT_EQ(h.fakes.settings.writes - before, stores ? 1 : 0) << url;
  }
  h.app->showOverlay();
  h.app->toggleOverlay();  // hidden
  h.mainAt(g + "55555/cad");
  EXPECT_EQ(h.overlayView().loads.size(), 1u);
  h.app->toggleOverlay();
  h.mainAt(g + "66666/cad");
  EXPECT_EQ(h.overlayView().loads,
            (std::vector{SITE + "/dashboard/#/g/" + std::string(25, '9') + "/mdt", g + "66666/mdt"}));
}

TEST(Bubble, SitsAtTheEdgeClicksRestoreAndDragsSlideVertically) {
  Panels h;
  h.app->showOverlay();
  h.app->minimize();
  auto* b = h.bubbleWindow();
  EXPECT_EQ(b->rect, (Rect{1920 - 64, 540 - 29, 58, 58}));
  EXPECT_EQ(b->quietShows, 1);

  const std::tuple<double, double, bool> drags[] = {{0, 3, true}, {40, -3, true}, {0, 4, false}, {30, -50, false}};
  for (const auto& [dx, dy, restores] : drags) {
    h.app->minimize();
    Rect before = b->rect;
    h.fakes.settings.values.erase("bubbleY");
    h.fakes.desktop.mouse = {1900, 500};
    b->handlers.down();
    h.fakes.desktop.mouse = {1900 + dx, 500 + dy};
    b->handlers.dragged();
    b->handlers.up();
    EXPECT_EQ(b->rect, (Rect{before.x, before.y + dy, 58, 58})) << dy;  // vertical only
    EXPECT_EQ(h.showing(), restores ? "MO-" : "M-B") << dy;
    auto stored = h.fakes.settings.get("bubbleY");
    EXPECT_EQ(stored, restores ? std::nullopt : std::optional<nlohmann::json>(b->rect.y)) << dy;
  }
  Panels stored;
  stored.fakes.settings.values["bubbleY"] = 123.0;
  stored.app->showOverlay();
  stored.app->minimize();
  EXPECT_EQ(stored.bubbleWindow()->rect, (Rect{1920 - 64, 123, 58, 58}));
}

TEST(Bridge, MessagesFromTheMainPageAndMalformedBodies) {
  const char *on = R"({"t":"bodycam","on":true})", *off = R"({"t":"bodycam"})";
  // The bodies in a row go in turn to one app; those it ignores share a row.
  const std::pair<std::vector<const char*>, std::string> cases[] = {
      {{R"({"t":"overlay"})"}, "overlay"},
      {{R"(["overlay"])", R"("overlay")", "7", R"({"type":"overlay"})", R"({"t":1})", R"({"t":["overlay"]})",
        R"({"t":"Overlay"})", R"({"t":"unknown"})", R"({"t":"bodycam","on":"yes"})", off},
       ""},
      {{R"({"t":"minimize"})", R"({"t":"drag"})"}, ""},  // no overlay to act on
      {{on}, "listed running"},
      {{R"({"t":"bodycam","on":1})"}, "listed running"},
      {{on, off}, "listed"},
      {{on, on}, "listed listed running"},  // a second start restarts
  };
  for (const auto& [bodies, seen] : cases) {
    Panels h;
    std::string done;
    for (const char* body : bodies) {
      h.message(h.mainView(), body);
      if (h.fakes.capture.listing) done += " listed", h.fakes.capture.answerListing();
    }
    done += h.overlayWindow() ? " overlay" : "";
    done += h.bubbleWindow() ? " bubble" : "";
    done += h.fakes.desktop.timers.empty() ? "" : " drag";
    done += h.app->gameCapture ? " running" : "";
    EXPECT_EQ(done, seen.empty() ? "" : " " + seen) << bodies.back();
  }
  // Only the service's top frame, in a view that shows the service, speaks for the app.
  const std::tuple<const char*, MessageSource, std::string> strangers[] = {
      {"a frame", {false, SITE}, SITE + "/dashboard/"},
      {"another origin", {true, "https://example.com"}, SITE + "/dashboard/"},
      {"an opaque origin", {true, "null"}, SITE + "/dashboard/"},
      {"a view showing another page", {true, SITE}, "about:blank"},
  };
  for (const auto& [what, source, shown] : strangers) {
    Panels h;
    h.mainView().current = shown;
    h.app->onMessage(h.mainView(), source, R"({"t":"overlay"})");
    h.app->onMessage(h.mainView(), source, on);
    EXPECT_FALSE(h.overlayWindow() || h.fakes.capture.listing) << what;
    EXPECT_NE(h.log().find("message refused from "), std::string::npos) << what;
  }
  Panels h;
  h.fakes.capture.canCapture = false;
  h.message(h.mainView(), on);
  EXPECT_FALSE(h.fakes.capture.listing || h.app->gameCapture) << "a system that cannot capture never starts";
}

TEST(Bridge, FramesAndErrorsGoToThePageThatAsked) {
  Panels h;
  h.app->showOverlay();
  h.startBodycam(h.mainView());  // asked from the main page while the overlay shows
  auto first = h.fakes.capture.callbacks;
  h.sendFrame();
  EXPECT_EQ(h.mainView().scripts.back().substr(0, 60), frameEventScript("").substr(0, 60));
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
  const std::string error = eventScript(nlohmann::json{{"type", "bodycam-error"}, {"message", kStoppedMessage}}.dump());
  EXPECT_EQ(h.overlayView().scripts.back(), error);
  EXPECT_NE(h.mainView().scripts.back(), error);
  const auto scripts = h.overlayView().scripts.size();
  h.app->send({{"type", std::string("\xff")}});
  EXPECT_EQ(h.overlayView().scripts.size(), scripts) << "an event that is not UTF-8 is never sent";
}

TEST(Bridge, PanelsStepAsideWhileTheDesktopMayAskWhichWindowToShare) {
  // consent, the player shares the game (else says no), whether the MDT steps aside meanwhile
  const std::tuple<CaptureConsent, bool, bool> cases[] = {
      {CaptureConsent::desktopDialog, true, true},
      {CaptureConsent::desktopDialog, false, true},
      {CaptureConsent::systemSettings, true, false},
  };
  for (const auto& [consent, shares, aside] : cases) {
    Panels h;
    h.fakes.capture.consentKind = consent;
    h.app->showOverlay();
    if (shares) {
      h.startBodycam(h.overlayView());
      EXPECT_EQ(h.overlayWindow()->shown, !aside) << "before the first frame";
      h.sendFrame();
    } else {
      h.fakes.capture.windowList = std::nullopt;
      h.message(h.overlayView(), R"({"t":"bodycam","on":true})");
      EXPECT_EQ(h.overlayWindow()->shown, !aside) << "while the desktop asks";
      h.fakes.capture.answerListing();
      h.fakes.desktop.runPosted();
    }
    EXPECT_TRUE(h.overlayWindow()->shown) << "once answered";
  }
}

TEST(Bridge, QuitOrBodycamOffStopsTheStreamAndLetsTheCaptureGo) {
  // how it ends, the stops asked of the stream, whether the pages' memory cache lets go of the frames
  const std::tuple<const char*, void (*)(Panels&), int, bool> endings[] = {
      {"quit", [](Panels& h) { h.app->applicationWillTerminate(); }, 1, false},
      {"bodycam off", [](Panels& h) { h.message(h.mainView(), R"({"t":"bodycam"})"); }, 1, true},
      {"stream ended", [](Panels& h) { h.fakes.capture.callbacks.stopped(); }, 0, true},
  };
  for (const auto& [what, end, stops, released] : endings) {
    Panels h;
    auto stream = h.startBodycam(h.mainView());
    std::weak_ptr<GameCapture> capture = h.app->gameCapture;
    end(h);
    h.fakes.desktop.runPosted();
    EXPECT_EQ(stream->stops, stops) << what;
    EXPECT_EQ(std::count(h.fakes.calls.begin(), h.fakes.calls.end(), "memory cache released"), released) << what;
    EXPECT_TRUE(capture.expired()) << what << ": the answered set-up still holds the capture";
    auto scripts = h.mainView().scripts.size();
    h.sendFrame();  // a worker's frame after the end
    EXPECT_EQ(h.mainView().scripts.size(), scripts) << what << ": a frame reached the page";
  }
}

}  // namespace qm::test
