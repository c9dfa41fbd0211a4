// WKWebView on macOS 12.0 or later. Every view has its own configuration with the page script and the
// script message handler (through a weak proxy, so the view and its owner can be released); all views
// share the default website data store, so cookies set in one are seen by the other.
#pragma once

#include <functional>
#include <memory>

#include "platform/web_view.h"

namespace qm::mac {

class MacWebView : public WebView {
 public:
  MacWebView(const WebViewConfig& config, WebViewDelegate& delegate);
  ~MacWebView() override;
  MacWebView(const MacWebView&) = delete;
  MacWebView& operator=(const MacWebView&) = delete;

  void load(const std::string& url, double timeoutSeconds) override;
  void loadHTML(const std::string& html) override;
  void reload() override;
  bool canGoBack() const override;
  void goBack() override;
  void evaluate(const std::string& script) override;
  void evaluateForText(const std::string& script, std::function<void(std::optional<std::string>)> answer) override;
  std::optional<std::string> url() const override;
  void setCustomUserAgent(const std::optional<std::string>& agent) override;

  struct Impl;
  Impl& native() const { return *impl; }

 private:
  std::unique_ptr<Impl> impl;
};

class MacWebContext : public WebContext {
 public:
  std::shared_ptr<WebView> makeWebView(const WebViewConfig& config, WebViewDelegate& delegate) override;
  void allCookies(std::function<void(std::vector<Cookie>)> answer) override;
  void releaseMemoryCache() override;
};

}  // namespace qm::mac

#ifdef __OBJC__
@class NSView;
namespace qm::mac {
NSView* nativeView(WebView& view);                              // the view a window shows as its content
void whenCommitted(WebView& view, std::function<void()> then);  // once, when its first page commits
}  // namespace qm::mac
#endif
