// App: the one owner of every window, web view, monitor and capture, and the global constants.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"

namespace qm {

class GameCapture;
class Bubble;
struct Manifest;

// Global constants, set once by the entry before the application runs.
extern std::string SITE;
extern std::string VERSION;
extern std::string UPDATE_MANIFEST;
extern std::map<std::string, int> DEFAULT_KEYS;
extern std::vector<std::pair<std::string, std::string>> KEY_LABELS;
extern std::map<int, std::string> KEY_NAMES;

void setGlobals(const std::string& version);

inline constexpr double kLoadTimeout = 60;  // seconds, for every page the app loads
// A web view whose web process ends is reloaded, with a growing wait, this many times within the window.
inline constexpr std::size_t kReloadLimit = 3;
inline constexpr std::chrono::seconds kReloadWindow{60};

class App : public WebViewDelegate, public WindowDelegate, public std::enable_shared_from_this<App> {
 public:
  explicit App(Platform platform);
  ~App() override;
  App(const App&) = delete;
  App& operator=(const App&) = delete;

  // Lifecycle.
  void applicationDidFinishLaunching();
  void finishLaunching();
  bool applicationShouldHandleReopen();
  bool applicationShouldTerminateAfterLastWindowClosed() const { return false; }
  void applicationWillTerminate();
  void windowWillClose(Window& window) override;
  void showMain();
  void reloadAll();
  void goBack();  // the main window's page goes back, when it has a page to go back to
  void hide();    // "Hide Quillmere": every window that shows leaves the screen, keeping its state
  void unhide();  // the windows the hide took away come back, and nothing else
  bool launched() const { return launchComplete; }
  bool canCapture() const;
  void warnAboutSession();
  // A folder of ours that another user owns: the player is told and the app does not start.
  void refuseFolder(const std::string& path);

  // Settings and log.
  std::optional<std::string> guild() const;
  void setGuild(const std::string& id);
  std::string dashboardURL(const std::string& page) const;
  int key(const std::string& action) const;
  void note(const std::string& text);

  // Menus.
  void buildMainMenu();
  void buildStatusItem();
  std::vector<MenuItem> statusMenuItems() const;
  std::vector<Menu> mainMenus() const;

  // Web views.
  std::shared_ptr<WebView> makeWeb();
  void send(const nlohmann::json& event);
  std::shared_ptr<WebView> eventTarget() const;
  bool in(const std::string& url) const;
  // Only the top frame of a view that shows the service, itself of the service's origin, speaks for the app.
  bool speaksForApp(const WebView& sender, const MessageSource& source) const;
  bool openInBrowser(const std::string& url);

  // WebViewDelegate.
  void onMessage(WebView& sender, const MessageSource& source, const std::string& text) override;
  void decidePolicy(WebView& view, const NavigationAction& action, const std::function<void(Policy)>& decide) override;
  Policy decideResponse(WebView& view, const NavigationResponse& response) override;
  void onDownload(WebView& view, const DownloadRequest& download,
                  std::function<void(std::optional<std::string>)> destination) override;
  void onPopup(WebView& view, const std::optional<std::string>& url, int type) override;
  bool allowMedia(WebView& view, const std::string& origin) override;
  void onAlert(WebView& view, const std::string& message) override;
  bool onConfirm(WebView& view, const std::string& message) override;
  void onFileChooser(WebView& view, bool multiple,
                     std::function<void(std::optional<std::vector<std::string>>)> done) override;
  void onProcessTerminated(WebView& view, const std::string& reason) override;
  void onLoadFinished(WebView& view) override;
  void onLoadFailed(WebView& view, const std::string& description) override;
  void onURLChanged(WebView& view) override;
  void onBackRequested(WebView& view) override;

  // Sign-in.
  // waiting: the browser sign-in has started and the page says to continue there.
  void showSignIn(WebView& view, bool waiting = false);
  bool startBrowserSignIn();  // false when it could not start
  void onURL(const std::optional<std::string>& url);

  // Overlay and bubble.
  void showOverlay();
  void loadOverlay();
  void toggleOverlay();
  void setSize(const nlohmann::json& represented);
  void setOpacity(const nlohmann::json& represented);
  void rememberGuildFromURL();
  void minimize();
  void restore();
  void dragOverlay();
  int runAside(ModalAlert& alert, bool inFront = false);
  int runInFront(ModalAlert& alert);
  int runPageDialog(const std::string& message, const std::vector<std::string>& buttons);
  // The panels step aside until the returned hold is let go.
  std::shared_ptr<void> panelsAside();
  // Brings the main window forward now, or once no dialog of ours is up: it never covers one.
  void showMainAfterDialogs();
  int dialogsUp = 0;
  bool mainAfterDialogs = false;

  // Hotkeys.
  void startKeys();
  void addGlobalMonitor();
  void onKey(const KeyEvent& event);
  bool onLocalKey(const KeyEvent& event);
  void offerShortcuts();
  std::string boundKeyName(const std::string& action) const;
  void openAccessibility();
  void pickKey(const nlohmann::json& represented);
  void showDesktopBinding(const std::string& action, const std::string& subject);

  // Update check.
  void checkForUpdate();

  // Fields, in the product's order.
  Settings& defaults;
  std::unique_ptr<Window> main;
  std::shared_ptr<WebView> web;
  std::unique_ptr<Window> overlay;
  std::shared_ptr<WebView> overlayWeb;
  std::set<std::uint16_t> held;
  std::shared_ptr<GameCapture> gameCapture;
  // The key picker's receiver of the next key press while its dialog is up: a key code, or none for a key
  // that cannot be bound.
  std::function<void(std::optional<std::uint16_t>)> capture;
  std::unique_ptr<Window> bubble;
  bool globalMonitor = false;
  std::unique_ptr<Bubble> bubbleView;
  // Held while the desktop's dialog may ask which window the bodycam films (it is no window of ours and
  // would open under the panels); let go at the bodycam's first frame, its sentence or its end.
  std::shared_ptr<void> shareAside;
  // Push-to-talk keys whose "down" went out, each with the page that got it: the "up" goes there too.
  std::map<std::uint16_t, std::weak_ptr<WebView>> talking;

 private:
  Rect mainScreenVisibleFrame() const;
  void startBodycam(WebView& sender, bool on);
  bool pickerTakes(const KeyEvent& event);
  void endTalk(std::uint16_t code);
  void offerUpdate(const Manifest& manifest);
  void noteNavigation(int type, const std::string& url);
  bool staysInside(const std::string& url) const;
  void reloadAfterEnd(WebView& view);
  // A page of the app's own, shown without an address, is shown again by a reload.
  void showBuiltIn(WebView& view, const std::string& html);
  void reloadView(WebView& view);
  std::map<const WebView*, std::string> builtInPages;

  Platform platform;
  std::shared_ptr<Timer> trustPoll, dragTimer;
  bool launchComplete = false;
  bool mainPageLoaded = false;                        // the main view has shown a page since launch
  std::optional<std::vector<Window*>> hiddenWindows;  // set while the app is hidden
  std::vector<std::optional<std::string>> earlyURLs;  // URL events that came before the main web view
  std::optional<std::string> redemption;              // the sign-in code's address while the service has not answered
  bool redemptionAnswered(const NavigationResponse& response);
  // Per web view, the recent ends of its web process and the reload waiting out its back-off.
  struct Recovery {
    std::vector<std::chrono::system_clock::time_point> ends;
    std::shared_ptr<Timer> reload;
  };
  std::map<const WebView*, Recovery> recoveries;
};

// The name a binding shows, "Off" included.
std::string keyName(int binding);
// One page event into one page, whichever shows.
void sendTo(WebView* target, const nlohmann::json& event);

}  // namespace qm
