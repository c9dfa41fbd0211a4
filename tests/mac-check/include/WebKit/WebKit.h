// WebKit on macOS (developer.apple.com/documentation/webkit), as far as the macOS backend uses it: the web
// view and its configuration, user scripts, the script message handler, navigation and UI delegates,
// the default website data store and its cookie store.
#pragma once

#import <AppKit/AppKit.h>
#import <Foundation/Foundation.h>

#include "availability.h"

NS_ASSUME_NONNULL_BEGIN

@class WKWebView;
@class WKUserContentController;

typedef NS_ENUM(NSInteger, WKNavigationActionPolicy) {
  WKNavigationActionPolicyCancel,
  WKNavigationActionPolicyAllow,
} API_AVAILABLE(macos(10.10));

typedef NS_ENUM(NSInteger, WKNavigationType) {
  WKNavigationTypeLinkActivated,
  WKNavigationTypeFormSubmitted,
  WKNavigationTypeBackForward,
  WKNavigationTypeReload,
  WKNavigationTypeFormResubmitted,
  WKNavigationTypeOther = -1,
} API_AVAILABLE(macos(10.10));

typedef NS_ENUM(NSInteger, WKUserScriptInjectionTime) {
  WKUserScriptInjectionTimeAtDocumentStart,
  WKUserScriptInjectionTimeAtDocumentEnd
} API_AVAILABLE(macos(10.10));

typedef NS_OPTIONS(NSUInteger, WKAudiovisualMediaTypes) {
  WKAudiovisualMediaTypeNone = 0,
  WKAudiovisualMediaTypeAudio = 1 << 0,
  WKAudiovisualMediaTypeVideo = 1 << 1,
  WKAudiovisualMediaTypeAll = NSUIntegerMax
} API_AVAILABLE(macos(10.12));

typedef NS_ENUM(NSInteger, WKMediaCaptureType) {
  WKMediaCaptureTypeCamera,
  WKMediaCaptureTypeMicrophone,
  WKMediaCaptureTypeCameraAndMicrophone,
} API_AVAILABLE(macos(12.0));

typedef NS_ENUM(NSInteger, WKPermissionDecision) {
  WKPermissionDecisionPrompt,
  WKPermissionDecisionGrant,
  WKPermissionDecisionDeny,
} API_AVAILABLE(macos(12.0));

API_AVAILABLE(macos(10.10))
@interface WKPreferences : NSObject
@end

API_AVAILABLE(macos(10.10))
@interface WKUserScript : NSObject
- (instancetype)initWithSource:(NSString*)source
                 injectionTime:(WKUserScriptInjectionTime)injectionTime
              forMainFrameOnly:(BOOL)forMainFrameOnly;
@end

API_AVAILABLE(macos(10.10))
@interface WKSecurityOrigin : NSObject
@property(nonatomic, readonly, copy) NSString* host;
@end

API_AVAILABLE(macos(10.10))
@interface WKFrameInfo : NSObject
@end

API_AVAILABLE(macos(10.10))
@interface WKNavigation : NSObject
@end

API_AVAILABLE(macos(10.10))
@interface WKWindowFeatures : NSObject
@end

API_AVAILABLE(macos(10.10))
@interface WKNavigationAction : NSObject
@property(nonatomic, readonly) WKNavigationType navigationType;
@property(nonatomic, readonly, copy) NSURLRequest* request;
@end

API_AVAILABLE(macos(10.12))
@interface WKOpenPanelParameters : NSObject
@property(nonatomic, readonly) BOOL allowsMultipleSelection;
@end

API_AVAILABLE(macos(10.10))
@interface WKScriptMessage : NSObject
@property(nonatomic, readonly, copy) id body;
@end

API_AVAILABLE(macos(10.10))
@protocol WKScriptMessageHandler <NSObject>
@required
- (void)userContentController:(WKUserContentController*)userContentController
      didReceiveScriptMessage:(WKScriptMessage*)message;
@end

API_AVAILABLE(macos(10.10))
@interface WKUserContentController : NSObject
- (void)addUserScript:(WKUserScript*)userScript;
- (void)addScriptMessageHandler:(id<WKScriptMessageHandler>)scriptMessageHandler name:(NSString*)name;
- (void)removeAllScriptMessageHandlers API_AVAILABLE(macos(11.0));
@end

API_AVAILABLE(macos(10.13))
@interface WKHTTPCookieStore : NSObject
- (void)getAllCookies:(void (^)(NSArray<NSHTTPCookie*>*))completionHandler;
@end

API_AVAILABLE(macos(10.11))
@interface WKWebsiteDataStore : NSObject
+ (WKWebsiteDataStore*)defaultDataStore;
@property(nonatomic, readonly) WKHTTPCookieStore* httpCookieStore API_AVAILABLE(macos(10.13));
@end

API_AVAILABLE(macos(10.10))
@interface WKWebViewConfiguration : NSObject
@property(nonatomic, strong) WKPreferences* preferences;
@property(nonatomic, strong) WKUserContentController* userContentController;
@property(nonatomic, strong) WKWebsiteDataStore* websiteDataStore API_AVAILABLE(macos(10.11));
@property(nonatomic) WKAudiovisualMediaTypes mediaTypesRequiringUserActionForPlayback API_AVAILABLE(macos(10.12));
@end

API_AVAILABLE(macos(10.10))
@protocol WKNavigationDelegate <NSObject>
@optional
- (void)webView:(WKWebView*)webView
    decidePolicyForNavigationAction:(WKNavigationAction*)navigationAction
                    decisionHandler:(void (^)(WKNavigationActionPolicy))decisionHandler;
- (void)webView:(WKWebView*)webView didFinishNavigation:(null_unspecified WKNavigation*)navigation;
- (void)webView:(WKWebView*)webView
    didFailProvisionalNavigation:(null_unspecified WKNavigation*)navigation
                       withError:(NSError*)error;
- (void)webViewWebContentProcessDidTerminate:(WKWebView*)webView API_AVAILABLE(macos(10.11));
@end

API_AVAILABLE(macos(10.10))
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
             completionHandler:(void (^)(NSArray<NSURL*>* _Nullable URLs))completionHandler
    API_AVAILABLE(macos(10.12));
- (void)webView:(WKWebView*)webView
    requestMediaCapturePermissionForOrigin:(WKSecurityOrigin*)origin
                          initiatedByFrame:(WKFrameInfo*)frame
                                      type:(WKMediaCaptureType)type
                           decisionHandler:(void (^)(WKPermissionDecision decision))decisionHandler
    API_AVAILABLE(macos(12.0));
@end

API_AVAILABLE(macos(10.10))
@interface WKWebView : NSView
- (instancetype)initWithFrame:(CGRect)frame configuration:(WKWebViewConfiguration*)configuration;
@property(nonatomic, readonly, copy) WKWebViewConfiguration* configuration;
@property(nullable, nonatomic, weak) id<WKNavigationDelegate> navigationDelegate;
@property(nullable, nonatomic, weak) id<WKUIDelegate> UIDelegate;
@property(nullable, nonatomic, readonly, copy) NSURL* URL;
@property(nullable, nonatomic, copy) NSString* customUserAgent API_AVAILABLE(macos(10.11));
@property(nonatomic, copy) NSColor* underPageBackgroundColor API_AVAILABLE(macos(12.0));
- (nullable WKNavigation*)loadRequest:(NSURLRequest*)request;
- (nullable WKNavigation*)loadHTMLString:(NSString*)string baseURL:(nullable NSURL*)baseURL;
- (nullable WKNavigation*)reload;
- (void)evaluateJavaScript:(NSString*)javaScriptString
         completionHandler:(void (^_Nullable)(_Nullable id, NSError* _Nullable error))completionHandler;
@end

NS_ASSUME_NONNULL_END
