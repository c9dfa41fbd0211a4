#include "tests/unit/harness.h"

namespace qm::test {

TEST(Launch, PlacesTheMainWindow) {
  const Rect fullHD{0, 0, 1920, 1080}, small{0, 25, 1280, 800};
  const std::tuple<std::vector<Rect>, std::optional<std::string>, Rect, bool> cases[] = {
      {{fullHD}, std::nullopt, {240, 90, 1440, 900}, false},
      {{small}, std::nullopt, {-80, -25, 1280, 800}, false},
      {{}, std::nullopt, {0, 0, 1440, 900}, false},  // no screen
      {{fullHD}, "{{10, 20}, {400, 700}}", {240, 90, 1440, 900}, false},
      {{fullHD}, "{{10, 20}, {401, 700}}", {10, 20, 401, 700}, true},
      {{fullHD}, "{{-3000, 5000}, {1000, 700}}", {-3000, 5000, 1000, 700}, true},
  };
  for (const auto& [visible, saved, expected, isFrame] : cases) {
    Harness h;
    h.fakes.desktop.screenList.clear();
    for (const auto& v : visible) h.fakes.desktop.screenList.push_back({v, v});
    if (saved) h.fakes.settings.values["mainFrame"] = *saved;
    h.launch();
    EXPECT_EQ(h.mainWindow().options.rect, expected) << saved.value_or("none");
    EXPECT_EQ(h.mainWindow().options.rectIsFrame, isFrame);
    EXPECT_EQ(h.mainWindow().keyShows, 1);
  }
}

TEST(Launch, RunsItsStepsInOrderFromTheFirstPageToTheUpdateCheck) {
  const std::string dashboard = SITE + "/dashboard/", guild = dashboard + "#/g/123456789012345678";
  // stored, the first page, the overlay's (it reopens when it was open at the last quit)
  const std::tuple<std::map<std::string, nlohmann::json>, std::string, std::optional<std::string>> cases[] = {
      {{}, dashboard, std::nullopt},
      {{{"guild", "123456789012345678"}}, guild + "/cad", std::nullopt},
      {{{"guild", "12345/../../x"}}, dashboard, std::nullopt},
      {{{"overlayOpen", "true"}}, dashboard, std::nullopt},
      {{{"guild", "123456789012345678"}, {"overlayOpen", true}}, guild + "/cad", guild + "/mdt"},
  };
  for (const auto& [stored, page, overlayPage] : cases) {
    Launched h(stored);
    fake::Calls steps{"main menu",   "main window", "web view",  "load " + page,
                      "status menu", "global keys", "local keys"};
    if (overlayPage) steps.insert(steps.end(), {"window", "web view", "load " + *overlayPage});
    steps.push_back("fetch " + UPDATE_MANIFEST);
    EXPECT_EQ(h.fakes.calls, steps) << page;
    EXPECT_EQ(overlayPage.has_value(), h.overlayShown());
  }
}

// The window is drawn before the pages' engine starts: a menu chosen meanwhile has no page to act on.
TEST(Launch, MenusChosenBeforeTheFirstFrameWaitForThePages) {
  Harness h;
  h.app->applicationDidFinishLaunching();
  EXPECT_EQ(h.fakes.calls, (fake::Calls{"main menu", "main window"}));
  std::function<void(const std::vector<MenuItem>&)> chooseAll = [&](const std::vector<MenuItem>& items) {
    for (const auto& item : items) {
      if (item.action) item.action(item);
      chooseAll(item.submenu);
    }
  };
  for (const auto& menu : h.fakes.desktop.mainMenu) chooseAll(menu.items);
  std::exchange(h.mainWindow().afterDraw, nullptr)();
  EXPECT_EQ(h.mainView().loads.at(0), SITE + "/dashboard/");
}

TEST(Lifecycle, HideKeepsEachWindowReopenShowsExactlyWhatShowedAndCloseAndQuitSaveTheState) {
  const std::string saved = "{{1, 2}, {600, 600}}", moved = "{{3, 4}, {700, 500}}";
  // what shows after a reopen, what the quit stores
  const std::tuple<const char*, void (*)(Harness&), std::string, bool, std::string> cases[] = {
      {"main window only: the overlay's saved frame is kept", [](Harness&) {}, "M--", false, saved},
      {"main and overlay", [](Harness& h) { h.app->showOverlay(); }, "MO-", true, moved},
      {"main closed, bubble", [](Harness& h) { h.app->showOverlay(), h.app->minimize(), h.mainWindow().hide(); }, "--B",
       false, moved},
      {"overlay hidden by its key", [](Harness& h) { h.app->showOverlay(), h.app->toggleOverlay(); }, "M--", false,
       moved},
      {"bubble hidden by the overlay's key",
       [](Harness& h) { h.app->showOverlay(), h.app->minimize(), h.app->toggleOverlay(); }, "M--", false, moved},
      {"no positions on this desktop: neither a drag nor a size saves a frame",
       [](Harness& h) {
         h.app->showOverlay(), h.windowOf(WindowKind::Overlay)->placed = false;
         h.app->dragOverlay(), h.fakes.desktop.fireTimers(), h.app->setSize({760.0, 500.0});
       },
       "MO-", true, saved},
  };
  for (const auto& [what, before, shows, overlayOpen, overlayFrame] : cases) {
    Launched h({{"overlayFrame", saved}});
    auto& stored = h.fakes.settings.values;
    h.mainWindow().rect = {5, 6, 1000, 700};
    h.app->windowWillClose(h.mainWindow());
    EXPECT_EQ(stored["mainFrame"], "{{5, 6}, {1000, 700}}") << what;
    h.mainWindow().rect = {7, 8, 1000, 700};
    before(h);
    if (auto* overlay = h.windowOf(WindowKind::Overlay)) overlay->rect = {3, 4, 700, 500};
    const auto windows = h.fakes.desktop.windows.size();
    h.app->hide();
    EXPECT_EQ(h.showing(), "---") << what;
    h.app->applicationShouldHandleReopen();
    EXPECT_EQ(h.showing(), shows) << what;
    h.app->applicationShouldHandleReopen();  // no longer hidden: reopen shows the main window
    EXPECT_TRUE(h.mainWindow().visible()) << what;
    EXPECT_EQ(h.fakes.desktop.windows.size(), windows) << what << ": reopen made a window";
    EXPECT_EQ(h.fakes.desktop.activations, 0) << what;
    h.app->applicationWillTerminate();
    EXPECT_EQ(stored["mainFrame"], "{{7, 8}, {1000, 700}}") << what;
    EXPECT_EQ(stored["overlayOpen"], overlayOpen) << what;
    EXPECT_EQ(stored["overlayFrame"], overlayFrame) << what;
  }
}

}  // namespace qm::test
