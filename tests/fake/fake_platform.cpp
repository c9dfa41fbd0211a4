#include "tests/fake/fake_platform.h"

namespace qm::fake {

std::optional<nlohmann::json> FakeSettings::get(const std::string& key) const {
  auto it = values.find(key);
  if (it == values.end()) return std::nullopt;
  return it->second;
}

void FakeSettings::set(const std::string& key, const nlohmann::json& value) {
  values[key] = value;
  writes++;
}

void FakeSettings::remove(const std::string& key) {
  values.erase(key);
  writes++;
}

AppendResult FakeFiles::append(const std::string& path, const std::string& bytes) {
  auto it = files.find(path);
  if (it == files.end()) return AppendResult::Missing;
  if (unwritable) return AppendResult::Unwritable;
  it->second += bytes;
  return AppendResult::Written;
}

void FakeFiles::writeAtomically(const std::string& path, const std::string& bytes) {
  if (!directoryMissing) files[path] = bytes;
}

int FakeAlert::run() { return whileOpen ? whileOpen(*this) : 0; }

std::unique_ptr<Window> FakeDesktop::makeWindow(const WindowOptions& options, WindowDelegate*) {
  auto window = std::make_unique<FakeWindow>(options);
  calls.push_back(options.kind == WindowKind::Main ? "main window" : "window");
  windows.push_back(window.get());
  return window;
}

void FakeDesktop::setStatusMenu(const std::string& title, const std::vector<MenuItem>& items) {
  statusTitle = title;
  statusItems = items;
  statusBuilds++;
  calls.push_back("status menu");
}

std::shared_ptr<ModalAlert> FakeDesktop::makeAlert(const std::string& message, const std::string& informative,
                                                   const std::vector<std::string>& buttons) {
  auto alert = std::make_shared<FakeAlert>();
  alert->message = message;
  alert->informative = informative;
  alert->buttons = buttons;
  alert->whileOpen = nextAlertAnswer;
  alerts.push_back(alert);
  return alert;
}

void FakeDesktop::openPanel(bool multiple, std::function<void(std::optional<std::vector<std::string>>)> done) {
  lastPanelMultiple = multiple;
  done(panelAnswer);
}

std::shared_ptr<Timer> FakeDesktop::scheduleRepeating(double seconds, std::function<void(Timer&)> tick) {
  auto timer = std::make_shared<FakeTimer>();
  timer->interval = seconds;
  timer->tick = std::move(tick);
  timers.push_back(timer);
  return timer;
}

void FakeDesktop::postToMain(std::function<void()> work) {
  std::lock_guard lock(postedMutex);
  posted.push_back(std::move(work));
}

void FakeDesktop::runPosted() {
  for (;;) {
    std::function<void()> work;
    {
      std::lock_guard lock(postedMutex);
      if (posted.empty()) return;
      work = std::move(posted.front());
      posted.pop_front();
    }
    work();
  }
}

void FakeDesktop::fireTimers() {
  auto current = timers;
  for (auto& t : current)
    if (t->valid) t->tick(*t);
}

bool FakeDesktop::keysTrusted(bool prompt) {
  if (prompt) prompts++;
  return trusted;
}

bool FakeDesktop::addGlobalKeyMonitor(std::function<void(const KeyEvent&)> handler) {
  calls.push_back("global keys");
  if (!globalMonitorGiven) return false;
  global = std::move(handler);
  return true;
}

void FakeDesktop::addLocalKeyMonitor(std::function<bool(const KeyEvent&)> handler) {
  calls.push_back("local keys");
  local = std::move(handler);
}

void FakeWebView::load(const std::string& url, double timeout) {
  loads.push_back(url), current = url, lastTimeout = timeout;
  calls.push_back("load " + url);
}

void FakeWebView::evaluateForText(const std::string& script, std::function<void(std::optional<std::string>)> answer) {
  scripts.push_back(script);
  answer(script == "navigator.userAgent" ? defaultAgent : std::nullopt);
}

std::shared_ptr<WebView> FakeWebContext::makeWebView(const WebViewConfig& config, WebViewDelegate&) {
  auto view = std::make_shared<FakeWebView>(calls);
  calls.push_back("web view");
  view->config = config;
  view->defaultAgent = defaultAgent;
  views.push_back(view);
  return view;
}

bool FakeCrypto::randomBytes(std::span<std::uint8_t> out) {
  if (fails) return false;
  for (auto& b : out) b = next++;
  return true;
}

void FakeHttp::get(const std::string& url, double timeout, std::size_t maxBytes,
                   std::function<void(std::optional<HttpAnswer>)> done) {
  requested.push_back(url);
  calls.push_back("fetch " + url);
  lastTimeout = timeout;
  lastMax = maxBytes;
  pending = std::move(done);
}

void FakeCapture::startStream(std::uint64_t id, const StreamConfig& config, StreamCallbacks cb) {
  streamedWindow = id;
  lastConfig = config;
  callbacks = std::move(cb);
}

void FakeCapture::answerListing() {
  auto done = std::move(listing);
  listing = nullptr;
  if (done) done(windowList);
}

}  // namespace qm::fake
