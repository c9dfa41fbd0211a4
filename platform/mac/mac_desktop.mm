#include "platform/mac/mac_desktop.h"

#import <AppKit/AppKit.h>
#import <ApplicationServices/ApplicationServices.h>
#import <dispatch/dispatch.h>

#include "platform/mac/mac_window.h"
#include "platform/mac/objc_values.h"

using qm::mac::ns;
using qm::mac::str;

// The target of one menu item that runs a core action; it keeps the item it was made from.
@interface QMMenuAction : NSObject
- (instancetype)initWithItem:(const qm::MenuItem&)item;
- (void)perform:(NSMenuItem*)sender;
@end

@implementation QMMenuAction {
  qm::MenuItem item;
}

- (instancetype)initWithItem:(const qm::MenuItem&)menuItem {
  if ((self = [super init])) item = menuItem;
  return self;
}

- (void)perform:(NSMenuItem*)sender {
  (void)sender;
  if (item.action) item.action(item);
}

@end

namespace qm::mac {
namespace {

SEL standardSelector(StandardAction action) {
  switch (action) {
    case StandardAction::About: return @selector(orderFrontStandardAboutPanel:);
    case StandardAction::Hide: return @selector(hide:);
    case StandardAction::Quit: return @selector(terminate:);
    case StandardAction::Undo: return @selector(undo:);
    case StandardAction::Cut: return @selector(cut:);
    case StandardAction::Copy: return @selector(copy:);
    case StandardAction::Paste: return @selector(paste:);
    case StandardAction::SelectAll: return @selector(selectAll:);
    case StandardAction::Minimize: return @selector(performMiniaturize:);
    case StandardAction::Own: break;
  }
  return nil;
}

Rect rectOf(NSRect r) { return {r.origin.x, r.origin.y, r.size.width, r.size.height}; }

KeyEvent keyEventOf(NSEvent* event) {
  return {event.keyCode, event.type == NSEventTypeKeyDown ? KeyType::Down : KeyType::Up};
}

class MacTimer : public Timer {
 public:
  explicit MacTimer(std::function<void(Timer&)> t) : tick(std::move(t)) {}
  void invalidate() override { [timer invalidate]; }
  std::function<void(Timer&)> tick;
  __weak NSTimer* timer = nil;  // the run loop holds a valid timer
};

class MacAlert : public ModalAlert {
 public:
  MacAlert(const std::string& message, const std::string& informative, const std::vector<std::string>& buttons)
      : alert([[NSAlert alloc] init]) {
    alert.messageText = ns(message);
    alert.informativeText = ns(informative);
    for (const auto& title : buttons) [alert addButtonWithTitle:ns(title)];
  }
  void setInformativeText(const std::string& text) override { alert.informativeText = ns(text); }
  int run() override {
    auto answer = static_cast<int>([alert runModal] - NSAlertFirstButtonReturn);
    if (keyboardAfter != 0 && keyboardAfter != [NSProcessInfo processInfo].processIdentifier)
      [[NSRunningApplication runningApplicationWithProcessIdentifier:keyboardAfter] activateWithOptions:0];
    return answer;
  }
  void returnKeyboardTo(std::uint64_t owner) override { keyboardAfter = static_cast<pid_t>(owner); }
  void answerByClick() override {
    for (NSButton* button in alert.buttons) button.keyEquivalent = @"";
  }

 private:
  NSAlert* alert;
  pid_t keyboardAfter = 0;  // an application's process id
};

}  // namespace

struct MacDesktop::Impl {
  // Menu items hold their targets weakly: these hold them, each for its menu, until the menu is rebuilt.
  NSMutableArray<QMMenuAction*>* mainTargets = [NSMutableArray array];
  NSMutableArray<QMMenuAction*>* statusTargets = [NSMutableArray array];
  NSStatusItem* statusItem = nil;
  NSMutableArray* monitors = [NSMutableArray array];

  NSMenu* menuOf(const std::string& title, const std::vector<MenuItem>& items, NSMutableArray* targets) {
    NSMenu* menu = [[NSMenu alloc] initWithTitle:ns(title)];
    for (const auto& item : items) [menu addItem:itemOf(item, targets)];
    return menu;
  }

  NSMenuItem* itemOf(const MenuItem& item, NSMutableArray* targets) {
    if (item.separator) return [NSMenuItem separatorItem];
    unichar left = NSLeftArrowFunctionKey;
    NSString* key = item.key == "Left" ? [NSString stringWithCharacters:&left length:1] : ns(item.key);
    NSMenuItem* entry = [[NSMenuItem alloc] initWithTitle:ns(item.title) action:nil keyEquivalent:key];
    if (item.shift) entry.keyEquivalentModifierMask = NSEventModifierFlagShift | NSEventModifierFlagCommand;
    if (item.alt) entry.keyEquivalentModifierMask = NSEventModifierFlagOption;
    entry.representedObject = fromJSON(item.represented);
    if (item.hasSubmenu()) {
      entry.submenu = menuOf(item.title, item.submenu, targets);
    } else if (SEL system = standardSelector(item.standard)) {
      entry.action = system;  // the system's own, sent to the first responder
    } else if (item.action) {
      QMMenuAction* target = [[QMMenuAction alloc] initWithItem:item];
      [targets addObject:target];
      entry.target = target;
      entry.action = @selector(perform:);
    }
    if (!item.enabled) entry.action = nil;  // an item without an action shows disabled
    return entry;
  }
};

MacDesktop::MacDesktop() : impl(std::make_unique<Impl>()) {}
MacDesktop::~MacDesktop() = default;

std::vector<Screen> MacDesktop::screens() const {
  std::vector<Screen> list;
  NSScreen* main = [NSScreen mainScreen];
  if (main) list.push_back({rectOf(main.frame), rectOf(main.visibleFrame)});
  for (NSScreen* screen in [NSScreen screens])
    if (screen != main) list.push_back({rectOf(screen.frame), rectOf(screen.visibleFrame)});
  return list;
}

Point MacDesktop::mouseLocation() const {
  NSPoint p = [NSEvent mouseLocation];
  return {p.x, p.y};
}

bool MacDesktop::leftButtonDown() const { return ([NSEvent pressedMouseButtons] & 1) != 0; }

std::unique_ptr<Window> MacDesktop::makeWindow(const WindowOptions& options, WindowDelegate* delegate) {
  return std::make_unique<MacWindow>(options, delegate);
}

void MacDesktop::setMainMenu(const std::vector<Menu>& menus) {
  NSMenu* bar = [[NSMenu alloc] initWithTitle:@""];
  NSMenu* windows = nil;
  [impl->mainTargets removeAllObjects];
  for (const auto& menu : menus) {
    NSMenuItem* top = [[NSMenuItem alloc] initWithTitle:@"" action:nil keyEquivalent:@""];
    top.submenu = impl->menuOf(menu.title, menu.items, impl->mainTargets);
    [bar addItem:top];
    if (menu.windowsMenu) windows = top.submenu;
  }
  NSApp.mainMenu = bar;
  if (windows) NSApp.windowsMenu = windows;
}

void MacDesktop::setStatusMenu(const std::string& title, const std::vector<MenuItem>& items) {
  if (!impl->statusItem)
    impl->statusItem = [[NSStatusBar systemStatusBar] statusItemWithLength:NSVariableStatusItemLength];
  if (NSStatusBarButton* button = impl->statusItem.button) {
    button.title = ns(title);
    button.font = [NSFont systemFontOfSize:12 weight:NSFontWeightHeavy];
  }
  [impl->statusTargets removeAllObjects];
  impl->statusItem.menu = impl->menuOf("", items, impl->statusTargets);
}

std::shared_ptr<ModalAlert> MacDesktop::makeAlert(const std::string& message, const std::string& informative,
                                                  const std::vector<std::string>& buttons) {
  return std::make_shared<MacAlert>(message, informative, buttons);
}

void MacDesktop::openPanel(bool multiple, std::function<void(std::optional<std::vector<std::string>>)> done) {
  NSOpenPanel* panel = [NSOpenPanel openPanel];
  panel.allowsMultipleSelection = multiple;
  auto answer = std::make_shared<std::function<void(std::optional<std::vector<std::string>>)>>(std::move(done));
  __weak NSOpenPanel* weakPanel = panel;
  [panel beginWithCompletionHandler:^(NSModalResponse result) {
    NSOpenPanel* finished = weakPanel;
    if (result != NSModalResponseOK || !finished) return (*answer)(std::nullopt);
    std::vector<std::string> files;
    for (NSURL* url in finished.URLs) files.push_back(str(url.absoluteString));
    (*answer)(std::move(files));
  }];
}

void MacDesktop::savePanel(const std::string& suggestedName, std::function<void(std::optional<std::string>)> done) {
  NSSavePanel* panel = [NSSavePanel savePanel];
  panel.nameFieldStringValue = ns(suggestedName);
  panel.level = kFloatingLevel + 1;  // above the MDT
  auto answer = std::make_shared<std::function<void(std::optional<std::string>)>>(std::move(done));
  __weak NSSavePanel* weakPanel = panel;
  [panel beginWithCompletionHandler:^(NSModalResponse result) {
    NSSavePanel* finished = weakPanel;
    if (result != NSModalResponseOK || !finished || !finished.URL.fileURL) return (*answer)(std::nullopt);
    (*answer)(str(finished.URL.path));
  }];
}

void MacDesktop::openURL(const std::string& url) {
  if (NSURL* address = [NSURL URLWithString:ns(url)]) [[NSWorkspace sharedWorkspace] openURL:address];
}

// From macOS 14 on, activateIgnoringOtherApps: does nothing; activate asks, and the system may refuse.
void MacDesktop::activate() {
  if (@available(macOS 14.0, *))
    [NSApp activate];
  else
    [NSApp activateIgnoringOtherApps:YES];
}

std::uint64_t MacDesktop::keyboardOwner() const {
  NSRunningApplication* front = [NSWorkspace sharedWorkspace].frontmostApplication;
  return front ? static_cast<std::uint64_t>(front.processIdentifier) : 0;
}

void MacDesktop::terminate() { [NSApp terminate:nil]; }

std::shared_ptr<Timer> MacDesktop::scheduleRepeating(double seconds, std::function<void(Timer&)> tick) {
  auto timer = std::make_shared<MacTimer>(std::move(tick));
  // The block keeps the C++ timer until the run loop lets go of the invalidated NSTimer. In the common
  // modes, the timer also fires while a menu is open, an alert runs or a window is dragged.
  NSTimer* repeating = [NSTimer timerWithTimeInterval:seconds
                                              repeats:YES
                                                block:^(NSTimer*) {
                                                  timer->tick(*timer);
                                                }];
  [[NSRunLoop mainRunLoop] addTimer:repeating forMode:NSRunLoopCommonModes];
  timer->timer = repeating;
  return timer;
}

void MacDesktop::postToMain(std::function<void()> work) {
  auto job = std::make_shared<std::function<void()>>(std::move(work));
  dispatch_async(dispatch_get_main_queue(), ^{
    (*job)();
  });
}

bool MacDesktop::keysTrusted(bool prompt) {
  if (!prompt) return AXIsProcessTrusted();
  NSDictionary* options = @{(__bridge NSString*)kAXTrustedCheckOptionPrompt : @YES};
  return AXIsProcessTrustedWithOptions((__bridge CFDictionaryRef)options);
}

bool MacDesktop::addGlobalKeyMonitor(std::function<void(const KeyEvent&)> handler) {
  auto onKey = std::make_shared<std::function<void(const KeyEvent&)>>(std::move(handler));
  id token = [NSEvent addGlobalMonitorForEventsMatchingMask:NSEventMaskKeyDown | NSEventMaskKeyUp
                                                    handler:^(NSEvent* event) {
                                                      (*onKey)(keyEventOf(event));
                                                    }];
  if (!token) return false;
  [impl->monitors addObject:token];
  return true;
}

void MacDesktop::addLocalKeyMonitor(std::function<bool(const KeyEvent&)> handler) {
  auto onKey = std::make_shared<std::function<bool(const KeyEvent&)>>(std::move(handler));
  id token = [NSEvent addLocalMonitorForEventsMatchingMask:NSEventMaskKeyDown | NSEventMaskKeyUp
                                                   handler:^NSEvent*(NSEvent* event) {
                                                     return (*onKey)(keyEventOf(event)) ? event : nil;
                                                   }];
  if (token) [impl->monitors addObject:token];
}

KeysHelp MacDesktop::keysHelp() const {
  return {"x-apple.systempreferences:com.apple.preference.security?Privacy_Accessibility"};
}

}  // namespace qm::mac
