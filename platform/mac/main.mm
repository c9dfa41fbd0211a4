// The macOS entry: a regular application (Dock icon, main menu) whose delegate hands every AppKit
// lifecycle call and the 'GURL' Apple event of "quillmere" URLs to the core's App.
#import <AppKit/AppKit.h>
#import <CoreServices/CoreServices.h>

#include <memory>

#include "app/app.h"
#include "platform/mac/mac_capture.h"
#include "platform/mac/mac_desktop.h"
#include "platform/mac/mac_services.h"
#include "platform/mac/mac_web.h"
#include "platform/mac/objc_values.h"

namespace qm::mac {

struct Backend {
  MacSettings settings;
  MacFiles files;
  MacDesktop desktop;
  MacWebContext web;
  MacCrypto crypto;
  MacHttp http;
  MacCapture capture;
  Platform platform() { return {settings, files, desktop, web, crypto, http, capture}; }
};

}  // namespace qm::mac

@interface QMAppDelegate : NSObject <NSApplicationDelegate>
- (void)onURL:(NSAppleEventDescriptor*)event reply:(NSAppleEventDescriptor*)reply;
@end

@implementation QMAppDelegate {
  std::unique_ptr<qm::mac::Backend> backend;
  std::shared_ptr<qm::App> app;
}

- (instancetype)init {
  if ((self = [super init])) {
    backend = std::make_unique<qm::mac::Backend>();
    app = std::make_shared<qm::App>(backend->platform());
  }
  return self;
}

// Before launching ends, so a URL that starts the application is not lost; the core holds it until
// its window and web view exist.
- (void)applicationWillFinishLaunching:(NSNotification*)notification {
  (void)notification;
  [[NSAppleEventManager sharedAppleEventManager] setEventHandler:self
                                                     andSelector:@selector(onURL:reply:)
                                                   forEventClass:kInternetEventClass
                                                      andEventID:kAEGetURL];
}

- (void)applicationDidFinishLaunching:(NSNotification*)notification {
  (void)notification;
  app->applicationDidFinishLaunching();
}

- (BOOL)applicationShouldHandleReopen:(NSApplication*)sender hasVisibleWindows:(BOOL)flag {
  (void)sender, (void)flag;
  return app->applicationShouldHandleReopen();
}

- (BOOL)applicationShouldTerminateAfterLastWindowClosed:(NSApplication*)sender {
  (void)sender;
  return app->applicationShouldTerminateAfterLastWindowClosed();
}

- (void)applicationWillTerminate:(NSNotification*)notification {
  (void)notification;
  app->applicationWillTerminate();
}

- (void)onURL:(NSAppleEventDescriptor*)event reply:(NSAppleEventDescriptor*)reply {
  (void)reply;
  app->onURL(qm::mac::optionalStr([event paramDescriptorForKeyword:keyDirectObject].stringValue));
}

@end

int main() {
  @autoreleasepool {
    NSString* version = [NSBundle mainBundle].infoDictionary[@"CFBundleShortVersionString"];
    qm::setGlobals([version isKindOfClass:[NSString class]] ? qm::mac::str(version) : std::string());
    NSApplication* application = [NSApplication sharedApplication];
    [application setActivationPolicy:NSApplicationActivationPolicyRegular];
    // The application holds its delegate weakly; this one lives as long as the process.
    static QMAppDelegate* delegate = [[QMAppDelegate alloc] init];
    application.delegate = delegate;
    [application run];
  }
  return 0;
}
