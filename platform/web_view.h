// A web view as the core sees it, its delegate, and the context that makes them.
#pragma once

#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

namespace qm {

struct Color {
  double r = 0, g = 0, b = 0, a = 1;
};

// Everything a new web view is configured with; the core fills it, the backend applies it.
struct WebViewConfig {
  std::string userScript;      // the page object, injected at document start into the top frame's page
  std::string relayScript;     // injected into the top frame only, in a script world of its own
  std::string messageHandler;  // script message handler name, registered in the relay's world only
  bool developerExtras = true;
  bool mediaNeedsGesture = false;
  Color underPageColor;
};

// Navigation types as the core numbers them.
enum NavigationType : int {
  LinkActivated = 0,
  FormSubmitted = 1,
  BackForward = 2,
  Reload = 3,
  FormResubmitted = 4,
  Other = -1,
};

enum class Policy { Allow, Cancel };

// A navigation about to start. mainFrame is none where the toolkit does not tell which frame it targets.
struct NavigationAction {
  std::optional<std::string> url;
  int type = Other;
  std::optional<bool> mainFrame;
  bool userGesture = false;
  bool redirect = false;
};

// A response about to be shown, or saved, in a frame.
struct NavigationResponse {
  std::string url;
  bool mainFrame = false;
  int status = 0;  // the HTTP status; 0 where there is none
};

// A download a page started; userGesture when it follows the player's own click.
struct DownloadRequest {
  std::string url;
  std::string suggestedName;
  bool userGesture = false;
};

// Where a page message came from: the sending frame, and its document's origin ("https://host:port").
struct MessageSource {
  bool mainFrame = false;
  std::string origin;
};

struct Cookie {
  std::string name, domain;
};

class WebView {
 public:
  virtual ~WebView() = default;
  virtual void load(const std::string& url, double timeoutSeconds) = 0;
  virtual void loadHTML(const std::string& html) = 0;  // no base address
  virtual void reload() = 0;
  virtual bool canGoBack() const = 0;
  virtual void goBack() = 0;
  virtual void evaluate(const std::string& script) = 0;
  // The answer arrives later on the main thread: the text, or none when it failed or was not a text.
  virtual void evaluateForText(const std::string& script, std::function<void(std::optional<std::string>)> answer) = 0;
  virtual std::optional<std::string> url() const = 0;
  virtual void setCustomUserAgent(const std::optional<std::string>& agent) = 0;
};

class WebViewDelegate {
 public:
  virtual ~WebViewDelegate() = default;
  // text: the JSON text the page sent.
  virtual void onMessage(WebView& sender, const MessageSource& source, const std::string& text) = 0;
  // decide must be called exactly once; it may be called before follow-up work.
  virtual void decidePolicy(WebView& view, const NavigationAction& action,
                            const std::function<void(Policy)>& decide) = 0;
  virtual Policy decideResponse(WebView& view, const NavigationResponse& response) = 0;
  // destination is called exactly once: the file to write, or none to cancel.
  virtual void onDownload(WebView& view, const DownloadRequest& download,
                          std::function<void(std::optional<std::string>)> destination) = 0;
  virtual void onPopup(WebView& view, const std::optional<std::string>& url, int type) = 0;
  // origin: the requesting frame's origin ("https://host:port") as the toolkit reports it.
  virtual bool allowMedia(WebView& view, const std::string& origin) = 0;
  virtual void onAlert(WebView& view, const std::string& message) = 0;
  virtual bool onConfirm(WebView& view, const std::string& message) = 0;
  virtual void onFileChooser(WebView& view, bool multiple,
                             std::function<void(std::optional<std::vector<std::string>>)> done) = 0;
  virtual void onProcessTerminated(WebView& view, const std::string& reason) = 0;
  virtual void onLoadFinished(WebView& view) = 0;
  virtual void onLoadFailed(WebView& view, const std::string& description) = 0;
  virtual void onURLChanged(WebView& view) = 0;
  // The player asked the view to go back: the mouse's back button, or BackSpace the page left alone.
  virtual void onBackRequested(WebView& view) = 0;
};

class WebContext {
 public:
  virtual ~WebContext() = default;
  virtual std::shared_ptr<WebView> makeWebView(const WebViewConfig& config, WebViewDelegate& delegate) = 0;
  // All cookies of the shared store; the answer arrives later on the main thread.
  virtual void allCookies(std::function<void(std::vector<Cookie>)> answer) = 0;
  // Why the pages run without the toolkit's sandbox, or none when they run inside it.
  virtual std::optional<std::string> sandboxProblem() const { return std::nullopt; }
  // Lets go of the pages' in-memory copies of resources (images a page no longer shows among them); what a
  // page shows stays. Asked once the bodycam stops.
  virtual void releaseMemoryCache() = 0;
};

}  // namespace qm
