// WebKitGTK 4.1 web views on one shared, persistent context. Every view has its own user content
// manager, so a page message names its sender; cookies are shared through the context's data manager.
#pragma once

#include <webkit2/webkit2.h>

#include <string>
#include <vector>

#include "platform/gtk/gobject_ptr.h"
#include "platform/web_view.h"

namespace qm::gtk {

class GtkWebView : public WebView {
 public:
  GtkWebView(WebKitWebContext* context, const WebViewConfig& config, WebViewDelegate& delegate);
  ~GtkWebView() override;
  GtkWebView(const GtkWebView&) = delete;
  GtkWebView& operator=(const GtkWebView&) = delete;

  void load(const std::string& url, double timeoutSeconds) override;
  void loadHTML(const std::string& html) override;
  void reload() override;
  bool canGoBack() const override;
  void goBack() override;
  void evaluate(const std::string& script) override;
  void evaluateForText(const std::string& script, std::function<void(std::optional<std::string>)> answer) override;
  std::optional<std::string> url() const override;
  void setCustomUserAgent(const std::optional<std::string>& agent) override;

  GtkWidget* widget() const { return GTK_WIDGET(view.get()); }
  // A download this view's page started: the core decides where it goes, if anywhere.
  void onDownload(WebKitDownload* download);
  static GtkWebView* of(WebKitWebView* view);
  WebViewDelegate& delegate;

 private:
  static void onMessage(WebKitUserContentManager*, WebKitJavascriptResult* result, gpointer self);
  static gboolean onDecidePolicy(WebKitWebView*, WebKitPolicyDecision* d, WebKitPolicyDecisionType t, gpointer self);
  static GtkWidget* onCreate(WebKitWebView*, WebKitNavigationAction* action, gpointer self);
  static gboolean onPermission(WebKitWebView*, WebKitPermissionRequest* request, gpointer self);
  static gboolean onScriptDialog(WebKitWebView*, WebKitScriptDialog* dialog, gpointer self);
  static gboolean onFileChooser(WebKitWebView*, WebKitFileChooserRequest* request, gpointer self);
  static void onTerminated(WebKitWebView*, WebKitWebProcessTerminationReason, gpointer self);
  static void onLoadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer self);
  static gboolean onLoadFailed(WebKitWebView*, WebKitLoadEvent, gchar*, GError* error, gpointer self);
  static void onURI(GObject*, GParamSpec*, gpointer self);
  static gboolean onBackButton(GtkWidget*, GdkEventButton* event, gpointer self);
  static gboolean onUnhandledKey(GtkWidget*, GdkEventKey* event, gpointer self);
  static gboolean onLoadTimeout(gpointer self);
  static gboolean onDecideDestination(WebKitDownload* download, gchar* suggestedName, gpointer self);
  gboolean decideResponse(WebKitResponsePolicyDecision* decision);

  GObjectPtr<WebKitUserContentManager> content;
  GObjectPtr<WebKitWebView> view;
  SignalScope viewSignals, contentSignals;
  std::string defaultAgent;
  bool failedProvisionally = false;
  SourceScope loadDeadline;  // a load asked for must be under way by then
  struct {
    std::string url;
    bool userGesture = false;
  } lastAllowed;  // the last navigation let through
};

class GtkWebContext : public WebContext {
 public:
  // certificate: a test certificate to trust for these hosts, or empty.
  GtkWebContext(std::string dataDir, std::string cacheDir, std::string certificate,
                std::vector<std::string> trustedHosts);
  std::shared_ptr<WebView> makeWebView(const WebViewConfig& config, WebViewDelegate& delegate) override;
  void allCookies(std::function<void(std::vector<Cookie>)> answer) override;
  std::optional<std::string> sandboxProblem() const override { return unsandboxed; }
  void releaseMemoryCache() override;

 private:
  static void onDownloadStarted(WebKitWebContext*, WebKitDownload* download, gpointer);
  void start();
  std::string dataDir, cacheDir, certificate;
  std::vector<std::string> trustedHosts;
  std::optional<std::string> unsandboxed;
  GObjectPtr<WebKitWebsiteDataManager> data;
  GObjectPtr<WebKitWebContext> context;
};

}  // namespace qm::gtk
