// WebKit on macOS, as far as the macOS backend uses it (developer.apple.com/documentation/webkit).
#pragma once

#import <AppKit/AppKit.h>
#import <Foundation/Foundation.h>

NS_ASSUME_NONNULL_BEGIN

@class WKWebView, WKUserContentController, WKNavigation, WKWindowFeatures;

typedef NS_ENUM(NSInteger, WKNavigationActionPolicy) {
  WKNavigationActionPolicyCancel,
  WKNavigationActionPolicyAllow,
  WKNavigationActionPolicyDownload,
};

typedef NS_ENUM(NSInteger, WKNavigationResponsePolicy) {
  WKNavigationResponsePolicyCancel,
  WKNavigationResponsePolicyAllow,
  WKNavigationResponsePolicyDownload,
};

typedef NS_ENUM(NSInteger, WKNavigationType) {};
typedef NS_ENUM(NSInteger, WKMediaCaptureType) {};
typedef NS_ENUM(NSInteger, WKUserScriptInjectionTime) { WKUserScriptInjectionTimeAtDocumentStart };

typedef NS_OPTIONS(NSUInteger, WKAudiovisualMediaTypes) {
  WKAudiovisualMediaTypeNone = 0,
  WKAudiovisualMediaTypeAll = NSUIntegerMax
};

typedef NS_ENUM(NSInteger, WKPermissionDecision) {
  WKPermissionDecisionGrant = 1,
  WKPermissionDecisionDeny,
};

@interface WKPreferences : NSObject
@end

@interface WKContentWorld : NSObject
+ (WKContentWorld*)worldWithName:(NSString*)name;
@end

@interface WKUserScript : NSObject
- (instancetype)initWithSource:(NSString*)source
                 injectionTime:(WKUserScriptInjectionTime)injectionTime
              forMainFrameOnly:(BOOL)forMainFrameOnly;
- (instancetype)initWithSource:(NSString*)source
                 injectionTime:(WKUserScriptInjectionTime)injectionTime
              forMainFrameOnly:(BOOL)forMainFrameOnly
                inContentWorld:(WKContentWorld*)contentWorld;
@end

@interface WKSecurityOrigin : NSObject
@property(nonatomic, readonly, copy) NSString* protocol;
@property(nonatomic, readonly, copy) NSString* host;
@property(nonatomic, readonly) NSInteger port;
@end

@interface WKFrameInfo : NSObject
@property(nonatomic, readonly, getter=isMainFrame) BOOL mainFrame;
@property(nonatomic, readonly) WKSecurityOrigin* securityOrigin;
@end

@interface WKNavigationAction : NSObject
@property(nonatomic, readonly) WKNavigationType navigationType;
@property(nonatomic, readonly, copy) NSURLRequest* request;
@property(nullable, nonatomic, readonly, copy) WKFrameInfo* targetFrame;
@property(nonatomic, readonly) NSInteger buttonNumber;
@property(nonatomic, readonly) BOOL shouldPerformDownload;
@end

@interface WKNavigationResponse : NSObject
@property(nonatomic, readonly, getter=isForMainFrame) BOOL forMainFrame;
@property(nonatomic, readonly, copy) NSURLResponse* response;
@property(nonatomic, readonly) BOOL canShowMIMEType;
@end

@class WKDownload;

@protocol WKDownloadDelegate <NSObject>
@required
- (void)download:(WKDownload*)download
    decideDestinationUsingResponse:(NSURLResponse*)response
                 suggestedFilename:(NSString*)suggestedFilename
                 completionHandler:(void (^)(NSURL* _Nullable destination))completionHandler;
@end

@interface WKDownload : NSObject
@property(nonatomic, readonly, nullable) NSURLRequest* originalRequest;
@property(nonatomic, weak) id<WKDownloadDelegate> delegate;
@end

@interface WKOpenPanelParameters : NSObject
@property(nonatomic, readonly) BOOL allowsMultipleSelection;
@end

@interface WKScriptMessage : NSObject
@property(nonatomic, readonly, copy) id body;
@property(nonatomic, readonly) WKFrameInfo* frameInfo;
@end

@protocol WKScriptMessageHandler <NSObject>
@required
- (void)userContentController:(WKUserContentController*)userContentController
      didReceiveScriptMessage:(WKScriptMessage*)message;
@end

@interface WKUserContentController : NSObject
- (void)addUserScript:(WKUserScript*)userScript;
- (void)addScriptMessageHandler:(id<WKScriptMessageHandler>)scriptMessageHandler
                   contentWorld:(WKContentWorld*)world
                           name:(NSString*)name;
- (void)removeAllScriptMessageHandlers;
@end

@interface WKHTTPCookieStore : NSObject
- (void)getAllCookies:(void (^)(NSArray<NSHTTPCookie*>*))completionHandler;
@end

extern NSString* const WKWebsiteDataTypeMemoryCache;

@interface WKWebsiteDataStore : NSObject
+ (WKWebsiteDataStore*)defaultDataStore;
@property(nonatomic, readonly) WKHTTPCookieStore* httpCookieStore;
- (void)removeDataOfTypes:(NSSet<NSString*>*)dataTypes
            modifiedSince:(NSDate*)date
        completionHandler:(void (^)(void))completionHandler;
@end

@interface WKWebViewConfiguration : NSObject
@property(nonatomic, strong) WKPreferences* preferences;
@property(nonatomic, strong) WKUserContentController* userContentController;
@property(nonatomic, strong) WKWebsiteDataStore* websiteDataStore;
@property(nonatomic) WKAudiovisualMediaTypes mediaTypesRequiringUserActionForPlayback;
@end

@protocol WKNavigationDelegate <NSObject>
@optional
- (void)webView:(WKWebView*)webView
    decidePolicyForNavigationAction:(WKNavigationAction*)navigationAction
                    decisionHandler:(void (^)(WKNavigationActionPolicy))decisionHandler;
- (void)webView:(WKWebView*)webView
    decidePolicyForNavigationResponse:(WKNavigationResponse*)navigationResponse
                      decisionHandler:(void (^)(WKNavigationResponsePolicy))decisionHandler;
- (void)webView:(WKWebView*)webView
     navigationAction:(WKNavigationAction*)navigationAction
    didBecomeDownload:(WKDownload*)download;
- (void)webView:(WKWebView*)webView
    navigationResponse:(WKNavigationResponse*)navigationResponse
     didBecomeDownload:(WKDownload*)download;
- (void)webView:(WKWebView*)webView didFinishNavigation:(null_unspecified WKNavigation*)navigation;
- (void)webView:(WKWebView*)webView
    didFailProvisionalNavigation:(null_unspecified WKNavigation*)navigation
                       withError:(NSError*)error;
- (void)webViewWebContentProcessDidTerminate:(WKWebView*)webView;
@end

@protocol WKUIDelegate <NSObject>
@optional
- (nullable WKWebView*)webView:(WKWebView*)webView
    createWebViewWithConfiguration:(WKWebViewConfiguration*)configuration
               forNavigationAction:(WKNavigationAction*)navigationAction
                    windowFeatures:(WKWindowFeatures*)windowFeatures;
- (void)webView:(WKWebView*)webView
    runJavaScriptAlertPanelWithMessage:(NSString*)message
                      initiatedByFrame:(WKFrameInfo*)frame
                     completionHandler:(void (^)(void))completionHandler;
- (void)webView:(WKWebView*)webView
    runJavaScriptConfirmPanelWithMessage:(NSString*)message
                        initiatedByFrame:(WKFrameInfo*)frame
                       completionHandler:(void (^)(BOOL result))completionHandler;
- (void)webView:(WKWebView*)webView
    runOpenPanelWithParameters:(WKOpenPanelParameters*)parameters
              initiatedByFrame:(WKFrameInfo*)frame
             completionHandler:(void (^)(NSArray<NSURL*>* _Nullable URLs))completionHandler;
- (void)webView:(WKWebView*)webView
    requestMediaCapturePermissionForOrigin:(WKSecurityOrigin*)origin
                          initiatedByFrame:(WKFrameInfo*)frame
                                      type:(WKMediaCaptureType)type
                           decisionHandler:(void (^)(WKPermissionDecision decision))decisionHandler;
@end

@interface WKWebView : NSView
- (instancetype)initWithFrame:(CGRect)frame configuration:(WKWebViewConfiguration*)configuration;
@property(nonatomic, readonly, copy) WKWebViewConfiguration* configuration;
@property(nullable, nonatomic, weak) id<WKNavigationDelegate> navigationDelegate;
@property(nullable, nonatomic, weak) id<WKUIDelegate> UIDelegate;
@property(nullable, nonatomic, readonly, copy) NSURL* URL;
@property(nullable, nonatomic, copy) NSString* customUserAgent;
@property(nonatomic, copy) NSColor* underPageBackgroundColor;
- (nullable WKNavigation*)loadRequest:(NSURLRequest*)request;
- (nullable WKNavigation*)loadHTMLString:(NSString*)string baseURL:(nullable NSURL*)baseURL;
- (nullable WKNavigation*)reload;
@property(nonatomic, readonly) BOOL canGoBack;
- (nullable WKNavigation*)goBack;
- (void)evaluateJavaScript:(NSString*)javaScriptString
         completionHandler:(void (^_Nullable)(_Nullable id, NSError* _Nullable error))completionHandler;
@end

NS_ASSUME_NONNULL_END
