#include <regex>

#include "app/app.h"
#include "app/rect_text.h"
#include "capture/game_capture.h"
#include "overlay/bubble.h"
#include "update/version_compare.h"

namespace qm {
namespace {

const Rect kNoScreen{0, 0, 1440, 900};

}  // namespace

// A guild only makes an address as the digits the app stores itself; anything else opens the dashboard.
std::string App::dashboardURL(const std::string& page) const {
  auto g = guild();
  bool valid = g && std::regex_match(*g, std::regex("[0-9]{5,25}"));
  return valid ? SITE + "/dashboard/#/g/" + *g + "/" + page : SITE + "/dashboard/";
}

App::App(Platform p) : defaults(p.settings), platform(p) {}

App::~App() {
  if (trustPoll) trustPoll->invalidate();
  if (dragTimer) dragTimer->invalidate();
  for (auto& [view, recovery] : recoveries)
    if (recovery.reload) recovery.reload->invalidate();
}

bool App::canCapture() const { return platform.capture.available(); }

Rect App::mainScreenVisibleFrame() const {
  auto screens = platform.desktop.screens();
  return screens.empty() ? kNoScreen : screens.front().visibleFrame;
}

// A session that cannot give some features says so once, in the log and to the user, after launch.
void App::warnAboutSession() {
  std::optional<std::string> session;
  // The bodycam still films the game through the desktop's screen sharing.
  if (platform.desktop.withoutXWayland())
    session =
        "This Wayland session has no XWayland: the MDT cannot float above a full-screen game. Turn XWayland "
        "on in your desktop, or log in to an X11 session.";
  std::string warnings;
  for (const auto& warning : {session, platform.web.sandboxProblem()}) {
    if (!warning) continue;
    note(*warning);
    warnings += (warnings.empty() ? "" : "\n\n") + *warning;
  }
  if (warnings.empty()) return;
  auto alert = platform.desktop.makeAlert("Some features cannot work in this session", warnings, {"OK"});
  std::weak_ptr<App> weak = weak_from_this();
  platform.desktop.postToMain([weak, alert] {
    if (auto app = weak.lock()) app->runAside(*alert);
  });
}

void App::refuseFolder(const std::string& path) {
  auto alert = platform.desktop.makeAlert(
      "Quillmere cannot use " + path,
      "The folder belongs to another user, who could read or change your settings and sign-in there. Make it "
      "yours again (sudo chown -R \"$USER\" '" +
          path + "'), then start Quillmere again.",
      {"Quit"});
  alert->run();
}

void App::applicationDidFinishLaunching() {
  buildMainMenu();
  Rect v = mainScreenVisibleFrame();
  auto saved = defaults.get("mainFrame");
  Rect frame = rectFromString(saved && saved->is_string() ? saved->get<std::string>() : "");
  WindowOptions options;
  options.kind = WindowKind::Main;
  if (frame.w > 400) {
    options.rect = frame;
    options.rectIsFrame = true;
  } else {
    options.rect = {v.midX() - 720, v.midY() - 450, std::min(v.w, 1440.0), std::min(v.h, 900.0)};
  }
  options.title = "Quillmere";
  options.background = {0.04, 0.04, 0.05, 1.0};
  options.minWidth = 900;
  options.minHeight = 600;
  options.loadingText = "Loading…";
  main = platform.desktop.makeWindow(options, this);
  main->showAsKey();
  // The window says "Loading…" before the pages' engine starts, the longest step of a launch.
  std::weak_ptr<App> weak = weak_from_this();
  main->whenDrawn([weak] {
    if (auto app = weak.lock()) app->finishLaunching();
  });
}

void App::finishLaunching() {
  web = makeWeb();
  main->setContent(*web);
  web->load(dashboardURL("cad"), kLoadTimeout);
  buildStatusItem();
  std::weak_ptr<App> weak = weak_from_this();
  platform.desktop.onCompositingChanged([weak] {
    if (auto app = weak.lock()) app->buildStatusItem();  // the opacity menu's word on it
  });
  startKeys();
  warnAboutSession();
  auto open = defaults.get("overlayOpen");
  if (open && open->is_boolean() && open->get<bool>()) showOverlay();
  checkForUpdate();
  launchComplete = true;
  for (auto& url : std::exchange(earlyURLs, {})) onURL(url);
}

bool App::applicationShouldHandleReopen() {
  if (hiddenWindows)
    unhide();
  else if (main)
    main->showAsKey();
  return true;
}

void App::windowWillClose(Window& window) {
  if (&window == main.get()) defaults.set("mainFrame", stringFromRect(main->frame()));
}

void App::applicationWillTerminate() {
  // A page keyed by a held push-to-talk key gets its "up" before the windows go.
  while (!talking.empty()) endTalk(talking.begin()->first);
  if (main) defaults.set("mainFrame", stringFromRect(main->frame()));
  defaults.set("overlayOpen", overlay != nullptr && overlay->visible());
  if (overlay && overlay->knowsPosition()) defaults.set("overlayFrame", stringFromRect(overlay->frame()));
  // No frame may reach a page or the desktop once the app is going.
  if (gameCapture) gameCapture->stop();
  gameCapture.reset();
  shareAside.reset();
}

void App::showMain() {
  if (main) main->showAsKey();
  platform.desktop.activate();
}

void App::hide() {
  if (hiddenWindows) return;
  hiddenWindows.emplace();
  for (Window* w : {main.get(), overlay.get(), bubble.get()}) {
    if (!w || !w->visible()) continue;
    hiddenWindows->push_back(w);
    w->hide();
  }
}

void App::unhide() {
  auto windows = std::exchange(hiddenWindows, std::nullopt);
  if (!windows) return;
  for (Window* w : *windows) {
    if (w == main.get())
      w->showAsKey();
    else
      w->showWithoutActivating();
  }
}

void App::reloadAll() {
  if (web) reloadView(*web);
  if (overlayWeb) reloadView(*overlayWeb);
}

void App::goBack() {
  if (web && web->canGoBack()) web->goBack();
}

}  // namespace qm
