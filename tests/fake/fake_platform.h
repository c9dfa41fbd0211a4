// An in-memory platform: fixed screens, a manual clock and timers, recorded calls and scripted answers.
#pragma once

#include <algorithm>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/posix/system_crypto.h"

namespace qm::fake {

using Calls = std::vector<std::string>;  // the steps asked of the platform, in order
inline constexpr std::uint64_t kGameWindow = 7;

struct FakeSettings : Settings {
  std::optional<nlohmann::json> get(const std::string& key) const override {
    return values.contains(key) ? std::optional(values.at(key)) : std::nullopt;
  }
  void set(const std::string& key, const nlohmann::json& value) override { values[key] = value, writes++; }
  void remove(const std::string& key) override { values.erase(key), writes++; }
  std::map<std::string, nlohmann::json> values;
  int writes = 0;
};

struct FakeFiles : Files {
  std::string logPath() const override { return "/home/user/Library/Logs/Quillmere.log"; }
  AppendResult append(const std::string& path, const std::string& bytes) override {
    auto it = files.find(path);
    if (it == files.end()) return AppendResult::Missing;
    if (unwritable) return AppendResult::Unwritable;
    it->second += bytes;
    return AppendResult::Written;
  }
  void writeAtomically(const std::string& path, const std::string& bytes) override { files[path] = bytes; }
  std::uint64_t size(const std::string& path) const override {
    return files.contains(path) ? files.at(path).size() : 0;
  }
  void rename(const std::string& from, const std::string& to) override {
    if (auto node = files.extract(from)) files.insert_or_assign(to, std::move(node.mapped()));
  }
  std::map<std::string, std::string> files;
  bool unwritable = false;  // the file exists but cannot be opened
};

struct FakeWindow : Window {
  explicit FakeWindow(WindowOptions opts) : options(std::move(opts)), rect(options.rect) {}
  Rect frame() const override { return rect; }
  void setFrame(const Rect& f) override { rect = f; }
  void setOrigin(const Point& p) override { rect.x = p.x, rect.y = p.y; }
  void showAsKey() override { shown = true, keyShows++; }
  void showWithoutActivating() override { shown = true, quietShows++; }
  void hide() override { shown = false; }
  bool visible() const override { return shown; }
  void setAlpha(double a) override { alpha = a; }
  void setContent(WebView&) override {}
  void whenDrawn(std::function<void()> then) override { afterDraw = std::move(then); }
  void setBubbleContent(const BubbleStyle&, BubbleHandlers h) override { handlers = std::move(h); }
  std::optional<Rect> screenVisibleFrame() const override { return std::nullopt; }
  bool knowsPosition() const override { return placed; }

  WindowOptions options;
  Rect rect;
  bool placed = true, shown = false;
  int keyShows = 0, quietShows = 0;
  double alpha = 1;
  BubbleHandlers handlers;
  std::function<void()> afterDraw;  // run by the test: the frame reached the screen
};

struct FakeAlert : ModalAlert {
  void setInformativeText(const std::string& text) override { informative = text; }
  int run() override {
    int answer = whileOpen(*this);
    if (keyboardAfter) *keyboard = keyboardAfter;
    return answer;
  }
  void returnKeyboardTo(std::uint64_t owner) override { keyboardAfter = owner; }
  void answerByClick() override { byClick = true; }
  bool byClick = false;
  std::uint64_t* keyboard = nullptr;  // the desktop's
  std::uint64_t keyboardAfter = 0;
  std::string message, informative;
  std::vector<std::string> buttons;
  std::function<int(FakeAlert&)> whileOpen;  // what the user does; the answer is the button index
};

struct FakeTimer : Timer {
  explicit FakeTimer(std::function<void(Timer&)> tick) : tick(std::move(tick)) {}
  void invalidate() override { valid = false; }
  std::function<void(Timer&)> tick;
  bool valid = true;
};

struct FakeDesktop : Desktop {
  explicit FakeDesktop(Calls& calls) : calls(calls) {}
  std::vector<Screen> screens() const override { return screenList; }
  Point mouseLocation() const override { return mouse; }
  bool leftButtonDown() const override { return false; }
  std::chrono::system_clock::time_point now() const override { return clock; }
  std::unique_ptr<Window> makeWindow(const WindowOptions& options, WindowDelegate*) override {
    calls.push_back(options.kind == WindowKind::Main ? "main window" : "window");
    auto window = std::make_unique<FakeWindow>(options);
    windows.push_back(window.get());
    return window;
  }
  void setMainMenu(const std::vector<Menu>& menus) override { mainMenu = menus, calls.push_back("main menu"); }
  void setStatusMenu(const std::string&, const std::vector<MenuItem>& items) override {
    statusItems = items, statusBuilds++, calls.push_back("status menu");
  }
  std::shared_ptr<ModalAlert> makeAlert(const std::string& message, const std::string& informative,
                                        const std::vector<std::string>& buttons) override {
    auto alert = std::make_shared<FakeAlert>();
    alert->message = message, alert->informative = informative, alert->buttons = buttons;
    alert->whileOpen = nextAlertAnswer, alert->keyboard = &keyboard;
    return alerts.emplace_back(alert);
  }
  void openPanel(bool, std::function<void(std::optional<std::vector<std::string>>)> done) override { done({}); }
  void savePanel(const std::string& name, std::function<void(std::optional<std::string>)> done) override {
    opened.push_back("save " + name), done("/saved/" + name);
  }
  void openURL(const std::string& url) override { opened.push_back(url); }
  void activate() override { activations++, keyboard = 1; }
  std::uint64_t keyboardOwner() const override { return keyboard; }
  void terminate() override {}
  std::shared_ptr<Timer> scheduleRepeating(double, std::function<void(Timer&)> tick) override {
    return timers.emplace_back(std::make_shared<FakeTimer>(std::move(tick)));
  }
  void postToMain(std::function<void()> work) override {
    std::lock_guard lock(postedMutex);
    posted.push_back(std::move(work));
  }
  bool keysTrusted(bool prompt) override { return prompts += prompt, trusted; }
  bool addGlobalKeyMonitor(std::function<void(const KeyEvent&)> handler) override {
    global = std::move(handler), calls.push_back("global keys");
    return true;
  }
  void addLocalKeyMonitor(std::function<bool(const KeyEvent&)> handler) override {
    local = std::move(handler), calls.push_back("local keys");
  }
  KeysHelp keysHelp() const override { return help; }
  bool keysLimited() const override { return limited; }
  void offerShortcuts(const std::vector<Shortcut>& list, std::function<void()> changed) override {
    offered = list, shortcutsChanged = std::move(changed);
  }
  std::optional<std::string> shortcutTrigger(const std::string& action) const override {
    return triggers.contains(action) ? std::optional(triggers.at(action)) : std::nullopt;
  }
  bool canChangeShortcuts() const override { return changeable; }
  void changeShortcuts() override { shortcutDialogs++; }
  bool withoutXWayland() const override { return noXWayland; }
  System system() const override { return System::Linux; }
  bool compositing() const override { return composited; }
  void onCompositingChanged(std::function<void()> changed) override { compositingChanged = std::move(changed); }

  // Runs the main-thread queue until it is empty.
  void runPosted() {
    std::unique_lock lock(postedMutex);
    while (!posted.empty()) {
      auto work = std::move(posted.front());
      posted.pop_front();
      lock.unlock();
      work();
      lock.lock();
    }
  }
  void fireTimers() {
    for (auto& t : std::vector(timers))
      if (t->valid) t->tick(*t);
  }
  Calls& calls;
  std::vector<FakeWindow*> windows;
  std::vector<Screen> screenList{{{0, 0, 1920, 1080}, {0, 0, 1920, 1080}}};
  Point mouse;
  std::chrono::system_clock::time_point clock{};
  std::vector<Menu> mainMenu;
  std::vector<MenuItem> statusItems;
  std::vector<std::shared_ptr<FakeAlert>> alerts;
  std::function<int(FakeAlert&)> nextAlertAnswer = [](FakeAlert&) { return 0; };
  std::vector<std::string> opened;
  int statusBuilds = 0, activations = 0, prompts = 0, shortcutDialogs = 0;
  std::uint64_t keyboard = kGameWindow;  // who has the keyboard: 1 is ours
  std::vector<std::shared_ptr<FakeTimer>> timers;
  std::deque<std::function<void()>> posted;
  std::mutex postedMutex;
  bool trusted = true, limited = false, changeable = false;
  std::function<void(const KeyEvent&)> global;
  std::function<bool(const KeyEvent&)> local;
  KeysHelp help{"settings:keys"};
  std::vector<Shortcut> offered;
  std::function<void()> shortcutsChanged;
  std::map<std::string, std::string> triggers;  // the desktop's bindings, when it binds keys itself
  bool noXWayland = false, composited = true;
  std::function<void()> compositingChanged;
};

struct FakeWebView : WebView {
  FakeWebView(Calls& calls, const WebViewConfig& config, std::optional<std::string> agent)
      : calls(calls), config(config), defaultAgent(std::move(agent)) {}
  void load(const std::string& url, double) override {
    loads.push_back(url), current = url, calls.push_back("load " + url);
  }
  void loadHTML(const std::string& html) override { htmls.push_back(html), current = "about:blank"; }
  void reload() override { reloads++; }
  bool canGoBack() const override { return hasBack; }
  void goBack() override { backs++; }
  void evaluate(const std::string& script) override { scripts.push_back(script); }
  void evaluateForText(const std::string& script, std::function<void(std::optional<std::string>)> answer) override {
    scripts.push_back(script), answer(script == "navigator.userAgent" ? defaultAgent : std::nullopt);
  }
  std::optional<std::string> url() const override { return current; }
  void setCustomUserAgent(const std::optional<std::string>& agent) override { userAgent = agent; }

  Calls& calls;
  WebViewConfig config;
  std::vector<std::string> loads, htmls, scripts;
  std::optional<std::string> current, userAgent, defaultAgent;
  int reloads = 0, backs = 0;
  bool hasBack = false;
};

struct FakeWebContext : WebContext {
  explicit FakeWebContext(Calls& calls) : calls(calls) {}
  std::shared_ptr<WebView> makeWebView(const WebViewConfig& config, WebViewDelegate&) override {
    calls.push_back("web view");
    return views.emplace_back(std::make_shared<FakeWebView>(calls, config, defaultAgent));
  }
  void allCookies(std::function<void(std::vector<Cookie>)> answer) override { answer(cookies); }
  std::optional<std::string> sandboxProblem() const override { return sandbox; }
  void releaseMemoryCache() override { calls.push_back("memory cache released"); }
  Calls& calls;
  std::optional<std::string> sandbox;
  std::vector<std::shared_ptr<FakeWebView>> views;
  std::vector<Cookie> cookies;
  std::optional<std::string> defaultAgent = std::string("Mozilla/5.0 Fake");  // each new view's
};

// Fixed bytes instead of random ones; the real digest.
struct FakeCrypto : SystemCrypto {
  bool randomBytes(std::span<std::uint8_t> out) override {
    std::fill(out.begin(), out.end(), 0x5a);
    return !fails;
  }
  bool fails = false;
};

struct FakeHttp : Http {
  explicit FakeHttp(Calls& calls) : calls(calls) {}
  void get(const std::string& url, double, std::size_t, std::function<void(std::optional<HttpAnswer>)> done) override {
    calls.push_back("fetch " + url), pending = std::move(done);
  }
  Calls& calls;
  std::function<void(std::optional<HttpAnswer>)> pending;
};

struct FakeStream : CaptureStream {
  void stop() override { stops++; }
  int stops = 0;
};

struct FakeCapture : Capture {
  bool available() const override { return canCapture; }
  CaptureConsent consent() const override { return consentKind; }
  std::string gameOwnerId() const override { return "com.roblox.RobloxPlayer"; }
  void listWindows(std::function<void(std::optional<std::vector<CaptureWindow>>)> done) override {
    listing = std::move(done);
  }
  bool accessGranted() const override { return granted; }
  void requestAccess() override { accessRequests++; }
  void startStream(std::uint64_t id, const StreamConfig& config, StreamCallbacks cb) override {
    streamedWindow = id, lastConfig = config, callbacks = std::move(cb);
  }
  void answerListing() { std::exchange(listing, nullptr)(windowList); }

  bool canCapture = true, granted = true;
  CaptureConsent consentKind = CaptureConsent::systemSettings;
  std::optional<std::vector<CaptureWindow>> windowList = std::vector<CaptureWindow>{};
  std::function<void(std::optional<std::vector<CaptureWindow>>)> listing;
  int accessRequests = 0;
  std::uint64_t streamedWindow = 0;
  StreamConfig lastConfig;
  StreamCallbacks callbacks;
};

// One fake of every seam, wired into a Platform.
struct FakePlatform {
  Calls calls;
  FakeSettings settings;
  FakeFiles files;
  FakeDesktop desktop{calls};
  FakeWebContext web{calls};
  FakeCrypto crypto;
  FakeHttp http{calls};
  FakeCapture capture;
  Platform platform() { return {settings, files, desktop, web, crypto, http, capture}; }
};

}  // namespace qm::fake
