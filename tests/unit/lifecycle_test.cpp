#include "app/rect_text.h"
#include "tests/unit/harness.h"

namespace qm::test {

struct PlacementCase {
  Rect visible;
  std::optional<std::string> saved;
  Rect expected;
  bool isFrame;
};

TEST(Launch, PlacesTheMainWindow) {
  const PlacementCase cases[] = {
      {{0, 0, 1920, 1080}, std::nullopt, {240, 90, 1440, 900}, false},
      {{0, 25, 1280, 800}, std::nullopt, {-80, -25, 1280, 800}, false},
      {{0, 0, 1920, 1080}, "{{10, 20}, {400, 700}}", {240, 90, 1440, 900}, false},
      {{0, 0, 1920, 1080}, "{{10, 20}, {401, 700}}", {10, 20, 401, 700}, true},
      {{0, 0, 1920, 1080}, "{{-3000, 5000}, {1000, 700}}", {-3000, 5000, 1000, 700}, true},
      {{0, 0, 1920, 1080}, "garbage", {240, 90, 1440, 900}, false},
  };
  for (const auto& c : cases) {
    Harness h;
    h.fakes.desktop.screenList = {{c.visible, c.visible}};
    if (c.saved) h.fakes.settings.values["mainFrame"] = *c.saved;
    h.launch();
    auto& w = h.mainWindow();
    EXPECT_EQ(w.options.rect, c.expected) << c.saved.value_or("none");
    EXPECT_EQ(w.options.rectIsFrame, c.isFrame);
    EXPECT_EQ(w.options.title, "Quillmere");
    EXPECT_EQ(w.options.minWidth, 900);
    EXPECT_EQ(w.options.minHeight, 600);
    EXPECT_EQ(w.keyShows, 1);
  }
}

TEST(Launch, NoScreenUsesTheFallbackFrame) {
  Harness h;
  h.fakes.desktop.screenList.clear();
  h.launch();
  EXPECT_EQ(h.mainWindow().options.rect, (Rect{0, 0, 1440, 900}));
}

TEST(Launch, ChoosesTheFirstPage) {
  const std::pair<std::optional<nlohmann::json>, std::string> cases[] = {
      {std::nullopt, SITE + "/dashboard/"},
      {nlohmann::json("123456789012345678"), SITE + "/dashboard/#/g/123456789012345678/cad"},
      {nlohmann::json(12345), SITE + "/dashboard/"},
      {nlohmann::json("1234"), SITE + "/dashboard/"},
      {nlohmann::json("12345/../../x"), SITE + "/dashboard/"},
  };
  for (const auto& [stored, page] : cases) {
    Harness h;
    if (stored) h.fakes.settings.values["guild"] = *stored;
    h.launch();
    ASSERT_EQ(h.mainView().loads.size(), 1u);
    EXPECT_EQ(h.mainView().loads[0], page);
    EXPECT_EQ(h.mainView().lastTimeout, 60);
  }
}

TEST(Launch, RunsTheLaunchStepsInOrder) {
  Harness h;
  h.fakes.desktop.trusted = false;
  h.launch();
  EXPECT_FALSE(h.fakes.desktop.mainMenu.empty());
  EXPECT_EQ(h.fakes.desktop.statusTitle, "QM");
  EXPECT_EQ(h.fakes.desktop.prompts, 1);
  EXPECT_TRUE(h.fakes.desktop.local);
  EXPECT_EQ(h.fakes.http.requested, std::vector<std::string>{UPDATE_MANIFEST});
  EXPECT_EQ(h.windowOf(WindowKind::Overlay), nullptr);
  EXPECT_TRUE(h.app->launched());
}

TEST(Launch, ReopensTheOverlayThatWasOpen) {
  Harness h;
  h.fakes.settings.values["overlayOpen"] = true;
  h.launch();
  ASSERT_NE(h.windowOf(WindowKind::Overlay), nullptr);
  EXPECT_TRUE(h.windowOf(WindowKind::Overlay)->visible());
}

TEST(Lifecycle, SavesTheWindowStateAtCloseAndQuit) {
  Harness h;
  h.launch();
  h.mainWindow().rect = {5, 6, 1000, 700};
  h.app->windowWillClose(h.mainWindow());
  EXPECT_EQ(h.fakes.settings.values["mainFrame"], "{{5, 6}, {1000, 700}}");
  h.fakes.settings.values["overlayFrame"] = "{{1, 2}, {600, 600}}";
  h.app->applicationWillTerminate();
  EXPECT_EQ(h.fakes.settings.values["mainFrame"], "{{5, 6}, {1000, 700}}");
  EXPECT_EQ(h.fakes.settings.values["overlayOpen"], false);
  EXPECT_EQ(h.fakes.settings.values["overlayFrame"], "{{1, 2}, {600, 600}}");
}

TEST(Lifecycle, QuitWithTheOverlayMinimizedStoresItClosed) {
  Harness h;
  h.launch();
  h.app->showOverlay();
  h.app->minimize();
  h.app->applicationWillTerminate();
  EXPECT_EQ(h.fakes.settings.values["overlayOpen"], false);
  EXPECT_EQ(h.fakes.settings.values["overlayFrame"], stringFromRect(h.windowOf(WindowKind::Overlay)->rect));
}

TEST(Lifecycle, ReopenAndShowMainBringBackTheSameWindow) {
  Harness h;
  h.launch();
  h.mainWindow().hide();
  EXPECT_TRUE(h.app->applicationShouldHandleReopen());
  EXPECT_TRUE(h.mainWindow().visible());
  EXPECT_EQ(h.fakes.desktop.activations, 0);
  h.app->showMain();
  EXPECT_EQ(h.fakes.desktop.activations, 1);
  EXPECT_EQ(h.fakes.desktop.windows.size(), 1u);
  EXPECT_FALSE(h.app->applicationShouldTerminateAfterLastWindowClosed());
}

TEST(Lifecycle, ReloadAllReloadsEachWebView) {
  Harness h;
  h.launch();
  h.app->reloadAll();
  h.app->showOverlay();
  h.app->reloadAll();
  EXPECT_EQ(h.mainView().reloads, 2);
  EXPECT_EQ(h.fakes.web.views.at(1)->reloads, 1);
}

}  // namespace qm::test
