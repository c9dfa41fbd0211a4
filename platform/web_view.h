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
  std::string userScript;      // injected at document start, main frame only
  std::string messageHandler;  // script message handler name
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

struct Cookie {
  std::string name, domain;
};

class WebView {
 public:
  virtual ~WebView() = default;
  virtual void load(const std::string& url, double timeoutSeconds) = 0;
  virtual void loadHTML(const std::string& html) = 0;  // no base address
  virtual void reload() = 0;
  virtual void evaluate(const std::string& script) = 0;
  // The answer arrives later on the main thread: the text, or none when it failed or was not a text.
  virtual void evaluateForText(const std::string& script,
                               std::function<void(std::optional<std::string>)> answer) = 0;
  virtual std::optional<std::string> url() const = 0;
  virtual void setCustomUserAgent(const std::optional<std::string>& agent) = 0;
};

class WebViewDelegate {
 public:
  virtual ~WebViewDelegate() = default;
  virtual void onMessage(WebView& sender, const nlohmann::json& body) = 0;
  // decide must be called exactly once; it may be called before follow-up work.
  virtual void decidePolicy(WebView& view, const std::optional<std::string>& url, int type,
                            const std::function<void(Policy)>& decide) = 0;
  virtual void onPopup(WebView& view, const std::optional<std::string>& url, int type) = 0;
  virtual bool allowMedia(WebView& view, const std::string& originHost) = 0;
  virtual void onAlert(WebView& view, const std::string& message) = 0;
  virtual bool onConfirm(WebView& view, const std::string& message) = 0;
  virtual void onFileChooser(WebView& view, bool multiple,
                             std::function<void(std::optional<std::vector<std::string>>)> done) = 0;
  virtual void onProcessTerminated(WebView& view) = 0;
  virtual void onLoadFinished(WebView& view) = 0;
  virtual void onLoadFailed(WebView& view, const std::string& description) = 0;
  virtual void onURLChanged(WebView& view) = 0;
};

class WebContext {
 public:
  virtual ~WebContext() = default;
  virtual std::shared_ptr<WebView> makeWebView(const WebViewConfig& config, WebViewDelegate& delegate) = 0;
  // All cookies of the shared store; the answer arrives later on the main thread.
  virtual void allCookies(std::function<void(std::vector<Cookie>)> answer) = 0;
};

}  // namespace qm
