#include "platform/mac/mac_web.h"

#import <AppKit/AppKit.h>
#import <WebKit/WebKit.h>

#include "platform/mac/objc_values.h"

namespace qm::mac {
namespace {

// Answers a decision handler exactly once, whatever the core does.
class Decision {
 public:
  explicit Decision(void (^handler)(WKNavigationActionPolicy)) : handler(handler) {}
  void operator()(Policy policy) {
    if (!handler) return;
    auto answer = handler;
    handler = nil;
    answer(policy == Policy::Allow ? WKNavigationActionPolicyAllow : WKNavigationActionPolicyCancel);
  }
  ~Decision() { (*this)(Policy::Cancel); }

 private:
  void (^handler)(WKNavigationActionPolicy);
};

std::optional<std::string> requestURL(WKNavigationAction* action) {
  NSString* text = action.request.URL.absoluteString;
  if (text.length == 0) return std::nullopt;
  return str(text);
}

}  // namespace
}  // namespace qm::mac

// The navigation, UI and address observer of one web view, forwarding to the core's delegate.
@interface QMWebDelegate : NSObject <WKNavigationDelegate, WKUIDelegate>
- (instancetype)initWithView:(qm::mac::MacWebView*)view delegate:(qm::WebViewDelegate*)delegate;
- (void)message:(WKScriptMessage*)message;
- (void)detach;
@end

// Registered with the user content controller, which holds it strongly; it holds the delegate weakly.
@interface QMScriptMessageProxy : NSObject <WKScriptMessageHandler>
- (instancetype)initWithTarget:(QMWebDelegate*)target;
@end

@implementation QMScriptMessageProxy {
  __weak QMWebDelegate* target;
}

- (instancetype)initWithTarget:(QMWebDelegate*)t {
  if ((self = [super init])) target = t;
  return self;
}

- (void)userContentController:(WKUserContentController*)userContentController
      didReceiveScriptMessage:(WKScriptMessage*)message {
  (void)userContentController;
  [target message:message];
}

@end

@implementation QMWebDelegate {
  qm::mac::MacWebView* view;  // cleared by detach before the view goes
  qm::WebViewDelegate* delegate;
}

- (instancetype)initWithView:(qm::mac::MacWebView*)v delegate:(qm::WebViewDelegate*)d {
  if ((self = [super init])) {
    view = v;
    delegate = d;
  }
  return self;
}

- (void)detach {
  view = nullptr;
}

- (void)message:(WKScriptMessage*)message {
  if (view) delegate->onMessage(*view, qm::mac::toJSON(message.body));
}

- (void)webView:(WKWebView*)webView
    decidePolicyForNavigationAction:(WKNavigationAction*)navigationAction
                    decisionHandler:(void (^)(WKNavigationActionPolicy))decisionHandler {
  (void)webView;
  auto decide = std::make_shared<qm::mac::Decision>(decisionHandler);
  if (!view) return;
  delegate->decidePolicy(*view, qm::mac::requestURL(navigationAction),
                         static_cast<int>(navigationAction.navigationType),
                         [decide](qm::Policy policy) { (*decide)(policy); });
}

- (WKWebView*)webView:(WKWebView*)webView
    createWebViewWithConfiguration:(WKWebViewConfiguration*)configuration
               forNavigationAction:(WKNavigationAction*)navigationAction
                    windowFeatures:(WKWindowFeatures*)windowFeatures {
  (void)webView, (void)configuration, (void)windowFeatures;
  if (view)
    delegate->onPopup(*view, qm::mac::requestURL(navigationAction), static_cast<int>(navigationAction.navigationType));
  return nil;
}

- (void)webView:(WKWebView*)webView
    requestMediaCapturePermissionForOrigin:(WKSecurityOrigin*)origin
                          initiatedByFrame:(WKFrameInfo*)frame
                                      type:(WKMediaCaptureType)type
                           decisionHandler:(void (^)(WKPermissionDecision))decisionHandler {
  (void)webView, (void)frame, (void)type;
  bool grant = view && delegate->allowMedia(*view, qm::mac::str(origin.host));
  decisionHandler(grant ? WKPermissionDecisionGrant : WKPermissionDecisionDeny);
}

- (void)webView:(WKWebView*)webView
    runJavaScriptAlertPanelWithMessage:(NSString*)message
                      initiatedByFrame:(WKFrameInfo*)frame
                     completionHandler:(void (^)(void))completionHandler {
  (void)webView, (void)frame;
  if (view) delegate->onAlert(*view, qm::mac::str(message));
  completionHandler();
}

- (void)webView:(WKWebView*)webView
    runJavaScriptConfirmPanelWithMessage:(NSString*)message
                        initiatedByFrame:(WKFrameInfo*)frame
                       completionHandler:(void (^)(BOOL result))completionHandler {
  (void)webView, (void)frame;
  completionHandler(view && delegate->onConfirm(*view, qm::mac::str(message)));
}

- (void)webView:(WKWebView*)webView
    runOpenPanelWithParameters:(WKOpenPanelParameters*)parameters
              initiatedByFrame:(WKFrameInfo*)frame
             completionHandler:(void (^)(NSArray<NSURL*>* URLs))completionHandler {
  (void)webView, (void)frame;
  if (!view) return completionHandler(nil);
  delegate->onFileChooser(*view, parameters.allowsMultipleSelection,
                          [completionHandler](std::optional<std::vector<std::string>> files) {
                            if (!files) return completionHandler(nil);
                            NSMutableArray<NSURL*>* urls = [NSMutableArray array];
                            for (const auto& f : *files)
                              if (NSURL* url = [NSURL URLWithString:qm::mac::ns(f)]) [urls addObject:url];
                            completionHandler(urls);
                          });
}

- (void)webViewWebContentProcessDidTerminate:(WKWebView*)webView {
  (void)webView;
  if (view) delegate->onProcessTerminated(*view);
}

- (void)webView:(WKWebView*)webView didFinishNavigation:(WKNavigation*)navigation {
  (void)webView, (void)navigation;
  if (view) delegate->onLoadFinished(*view);
}

- (void)webView:(WKWebView*)webView
    didFailProvisionalNavigation:(WKNavigation*)navigation
                       withError:(NSError*)error {
  (void)webView, (void)navigation;
  if (view) delegate->onLoadFailed(*view, qm::mac::str(error.localizedDescription));
}

- (void)observeValueForKeyPath:(NSString*)keyPath
                      ofObject:(id)object
                        change:(NSDictionary<NSKeyValueChangeKey, id>*)change
                       context:(void*)context {
  (void)object, (void)change, (void)context;
  if (view && [keyPath isEqualToString:@"URL"]) delegate->onURLChanged(*view);
}

@end

namespace qm::mac {

struct MacWebView::Impl {
  WKWebView* view = nil;
  QMWebDelegate* delegate = nil;  // the web view holds its delegates weakly
};

MacWebView::MacWebView(const WebViewConfig& config, WebViewDelegate& d) : impl(std::make_unique<Impl>()) {
  WKWebViewConfiguration* configuration = [[WKWebViewConfiguration alloc] init];
  configuration.websiteDataStore = [WKWebsiteDataStore defaultDataStore];
  configuration.mediaTypesRequiringUserActionForPlayback =
      config.mediaNeedsGesture ? WKAudiovisualMediaTypeAll : WKAudiovisualMediaTypeNone;
  [configuration.preferences setValue:@(config.developerExtras) forKey:@"developerExtrasEnabled"];
  WKUserScript* script = [[WKUserScript alloc] initWithSource:ns(config.userScript)
                                                injectionTime:WKUserScriptInjectionTimeAtDocumentStart
                                             forMainFrameOnly:YES];
  [configuration.userContentController addUserScript:script];
  impl->delegate = [[QMWebDelegate alloc] initWithView:this delegate:&d];
  QMScriptMessageProxy* proxy = [[QMScriptMessageProxy alloc] initWithTarget:impl->delegate];
  [configuration.userContentController addScriptMessageHandler:proxy name:ns(config.messageHandler)];
  impl->view = [[WKWebView alloc] initWithFrame:CGRectZero configuration:configuration];
  impl->view.navigationDelegate = impl->delegate;
  impl->view.UIDelegate = impl->delegate;
  const Color& under = config.underPageColor;
  impl->view.underPageBackgroundColor = [NSColor colorWithRed:under.r green:under.g blue:under.b alpha:under.a];
  [impl->view addObserver:impl->delegate forKeyPath:@"URL" options:NSKeyValueObservingOptionNew context:nil];
}

MacWebView::~MacWebView() {
  [impl->view removeObserver:impl->delegate forKeyPath:@"URL"];
  [impl->delegate detach];
  [impl->view.configuration.userContentController removeAllScriptMessageHandlers];
}

void MacWebView::load(const std::string& url, double timeoutSeconds) {
  NSURL* address = [NSURL URLWithString:ns(url)];
  if (!address) return;
  [impl->view loadRequest:[NSURLRequest requestWithURL:address
                                           cachePolicy:NSURLRequestUseProtocolCachePolicy
                                       timeoutInterval:timeoutSeconds]];
}

void MacWebView::loadHTML(const std::string& html) { [impl->view loadHTMLString:ns(html) baseURL:nil]; }

void MacWebView::reload() { [impl->view reload]; }

void MacWebView::evaluate(const std::string& script) {
  [impl->view evaluateJavaScript:ns(script) completionHandler:nil];
}

void MacWebView::evaluateForText(const std::string& script, std::function<void(std::optional<std::string>)> answer) {
  auto pending = std::make_shared<std::function<void(std::optional<std::string>)>>(std::move(answer));
  [impl->view evaluateJavaScript:ns(script)
               completionHandler:^(id result, NSError* error) {
                 bool text = !error && [result isKindOfClass:[NSString class]];
                 (*pending)(text ? std::optional(str(static_cast<NSString*>(result))) : std::nullopt);
               }];
}

std::optional<std::string> MacWebView::url() const {
  NSString* text = impl->view.URL.absoluteString;
  if (text.length == 0) return std::nullopt;
  return str(text);
}

void MacWebView::setCustomUserAgent(const std::optional<std::string>& agent) {
  impl->view.customUserAgent = agent ? ns(*agent) : nil;
}

NSView* nativeView(WebView& view) { return static_cast<MacWebView&>(view).native().view; }

std::shared_ptr<WebView> MacWebContext::makeWebView(const WebViewConfig& config, WebViewDelegate& delegate) {
  return std::make_shared<MacWebView>(config, delegate);
}

void MacWebContext::allCookies(std::function<void(std::vector<Cookie>)> answer) {
  auto pending = std::make_shared<std::function<void(std::vector<Cookie>)>>(std::move(answer));
  [[WKWebsiteDataStore defaultDataStore].httpCookieStore getAllCookies:^(NSArray<NSHTTPCookie*>* cookies) {
    std::vector<Cookie> list;
    for (NSHTTPCookie* cookie in cookies) list.push_back({str(cookie.name), str(cookie.domain)});
    (*pending)(std::move(list));
  }];
}

}  // namespace qm::mac
