#include "platform/mac/mac_web.h"

#include <functional>
#include <utility>

#import <AppKit/AppKit.h>
#import <WebKit/WebKit.h>

#include "platform/mac/objc_values.h"

namespace qm::mac {
namespace {

// Answers a decision handler exactly once, whatever the core does.
class Decision {
 public:
  explicit Decision(void (^handler)(WKNavigationActionPolicy)) : handler(handler) {}
  void operator()(Policy policy, bool download = false) {
    if (!handler) return;
    auto answer = handler;
    handler = nil;
    if (policy != Policy::Allow) return answer(WKNavigationActionPolicyCancel);
    answer(download ? WKNavigationActionPolicyDownload : WKNavigationActionPolicyAllow);
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

// "scheme://host[:port]" of a frame's document, as the core compares origins.
std::string originOf(WKFrameInfo* frame) {
  WKSecurityOrigin* origin = frame.securityOrigin;
  if (!origin || origin.host.length == 0) return {};
  std::string text = str(origin.protocol) + "://" + str(origin.host);
  return origin.port ? text + ":" + std::to_string(origin.port) : text;
}

// macOS tells no user gesture: a navigation a click caused (a button number) stands for it, which a script's
// own click on a link also has. Timers, forms, redirects and frames' loads have none.
NavigationAction navigationAction(WKNavigationAction* action) {
  std::optional<bool> mainFrame;
  if (action.targetFrame) mainFrame = action.targetFrame.isMainFrame;
  return {requestURL(action), static_cast<int>(action.navigationType), mainFrame, action.buttonNumber > 0, false};
}

}  // namespace
}  // namespace qm::mac

// The navigation, UI, download and address observer of one web view, forwarding to the core's delegate.
@interface QMWebDelegate : NSObject <WKNavigationDelegate, WKUIDelegate, WKDownloadDelegate>
- (instancetype)initWithView:(qm::mac::MacWebView*)view delegate:(qm::WebViewDelegate*)delegate;
- (void)message:(WKScriptMessage*)message;
- (void)back;
- (void)whenCommitted:(std::function<void()>)then;
- (void)detach;
@end

// The mouse's back button (its fourth, number 3) asks the core to go back, as View > Back does.
@interface QMWebView : WKWebView
@property(nonatomic, weak) QMWebDelegate* relay;
@end

@implementation QMWebView

- (void)otherMouseDown:(NSEvent*)event {
  if (event.buttonNumber == 3) return [self.relay back];
  [super otherMouseDown:event];
}

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
  qm::NavigationAction lastAllowed;  // a download it turns into is the player's only after the player's click
  std::function<void()> firstCommit;
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

- (void)back {
  if (view) delegate->onBackRequested(*view);
}

- (void)whenCommitted:(std::function<void()>)then {
  firstCommit = std::move(then);
}

// The relay sends [the document's origin, the page's JSON text]; the frame and its origin are WebKit's word.
- (void)message:(WKScriptMessage*)message {
  NSArray* body = [message.body isKindOfClass:[NSArray class]] ? message.body : nil;
  id text = body.count == 2 ? body[1] : nil;
  if (!view || ![text isKindOfClass:[NSString class]]) return;
  delegate->onMessage(*view, {message.frameInfo.isMainFrame != NO, qm::mac::originOf(message.frameInfo)},
                      qm::mac::str(static_cast<NSString*>(text)));
}

- (void)webView:(WKWebView*)webView
    decidePolicyForNavigationAction:(WKNavigationAction*)navigationAction
                    decisionHandler:(void (^)(WKNavigationActionPolicy))decisionHandler {
  (void)webView;
  auto decide = std::make_shared<qm::mac::Decision>(decisionHandler);
  if (!view) return;
  qm::NavigationAction asked = qm::mac::navigationAction(navigationAction);
  bool download = navigationAction.shouldPerformDownload;
  bool allowed = false;  // the core answers before it returns
  delegate->decidePolicy(*view, asked, [decide, download, &allowed](qm::Policy policy) {
    allowed = policy == qm::Policy::Allow;
    (*decide)(policy, download);
  });
  if (allowed) lastAllowed = asked;
}

- (void)webView:(WKWebView*)webView
    decidePolicyForNavigationResponse:(WKNavigationResponse*)navigationResponse
                      decisionHandler:(void (^)(WKNavigationResponsePolicy))decisionHandler {
  (void)webView;
  NSString* url = navigationResponse.response.URL.absoluteString;
  NSURLResponse* answer = navigationResponse.response;
  int status =
      [answer isKindOfClass:[NSHTTPURLResponse class]] ? static_cast<int>(((NSHTTPURLResponse*)answer).statusCode) : 0;
  qm::NavigationResponse response{url ? qm::mac::str(url) : "", navigationResponse.forMainFrame != NO, status};
  if (!view || delegate->decideResponse(*view, response) != qm::Policy::Allow)
    return decisionHandler(WKNavigationResponsePolicyCancel);
  decisionHandler(navigationResponse.canShowMIMEType ? WKNavigationResponsePolicyAllow
                                                     : WKNavigationResponsePolicyDownload);
}

- (void)webView:(WKWebView*)webView
     navigationAction:(WKNavigationAction*)navigationAction
    didBecomeDownload:(WKDownload*)download {
  (void)webView, (void)navigationAction;
  download.delegate = self;
}

- (void)webView:(WKWebView*)webView
    navigationResponse:(WKNavigationResponse*)navigationResponse
     didBecomeDownload:(WKDownload*)download {
  (void)webView, (void)navigationResponse;
  download.delegate = self;
}

- (void)download:(WKDownload*)download
    decideDestinationUsingResponse:(NSURLResponse*)response
                 suggestedFilename:(NSString*)suggestedFilename
                 completionHandler:(void (^)(NSURL* _Nullable destination))completionHandler {
  (void)response;
  NSString* address = download.originalRequest.URL.absoluteString;
  std::string url = address ? qm::mac::str(address) : "";
  if (!view) return completionHandler(nil);
  bool playersClick = lastAllowed.url == url && lastAllowed.userGesture;
  delegate->onDownload(*view, {url, qm::mac::str(suggestedFilename), playersClick},
                       [completionHandler](std::optional<std::string> path) {
                         completionHandler(path ? [NSURL fileURLWithPath:qm::mac::ns(*path)] : nil);
                       });
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
  (void)webView, (void)origin, (void)type;
  bool grant = view && delegate->allowMedia(*view, qm::mac::originOf(frame));
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
  if (view) delegate->onProcessTerminated(*view, "ended");  // macOS tells no reason
}

- (void)webView:(WKWebView*)webView didCommitNavigation:(WKNavigation*)navigation {
  (void)webView, (void)navigation;
  if (auto then = std::exchange(firstCommit, nullptr)) then();
}

- (void)webView:(WKWebView*)webView didFinishNavigation:(WKNavigation*)navigation {
  (void)webView, (void)navigation;
  if (view) delegate->onLoadFinished(*view);
}

- (void)webView:(WKWebView*)webView didFailProvisionalNavigation:(WKNavigation*)navigation withError:(NSError*)error {
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
  // The handler lives in a world of its own, which the page's scripts and its frames cannot reach.
  WKContentWorld* relayWorld = [WKContentWorld worldWithName:@"quillmere-relay"];
  WKUserScript* relay = [[WKUserScript alloc] initWithSource:ns(config.relayScript)
                                               injectionTime:WKUserScriptInjectionTimeAtDocumentStart
                                            forMainFrameOnly:YES
                                              inContentWorld:relayWorld];
  [configuration.userContentController addUserScript:relay];
  impl->delegate = [[QMWebDelegate alloc] initWithView:this delegate:&d];
  QMScriptMessageProxy* proxy = [[QMScriptMessageProxy alloc] initWithTarget:impl->delegate];
  [configuration.userContentController addScriptMessageHandler:proxy
                                                  contentWorld:relayWorld
                                                          name:ns(config.messageHandler)];
  QMWebView* view = [[QMWebView alloc] initWithFrame:CGRectZero configuration:configuration];
  view.relay = impl->delegate;
  impl->view = view;
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

bool MacWebView::canGoBack() const { return impl->view.canGoBack; }

void MacWebView::goBack() { [impl->view goBack]; }

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

void whenCommitted(WebView& view, std::function<void()> then) {
  [static_cast<MacWebView&>(view).native().delegate whenCommitted:std::move(then)];
}

std::shared_ptr<WebView> MacWebContext::makeWebView(const WebViewConfig& config, WebViewDelegate& delegate) {
  return std::make_shared<MacWebView>(config, delegate);
}

void MacWebContext::releaseMemoryCache() {
  [[WKWebsiteDataStore defaultDataStore] removeDataOfTypes:[NSSet setWithObject:WKWebsiteDataTypeMemoryCache]
                                             modifiedSince:[NSDate distantPast]
                                         completionHandler:^{
                                         }];
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
