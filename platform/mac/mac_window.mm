#include "platform/mac/mac_window.h"

#import <AppKit/AppKit.h>
#import <QuartzCore/QuartzCore.h>

#include "platform/mac/mac_web.h"
#include "platform/mac/objc_values.h"

using qm::mac::ns;

namespace {

using qm::mac::kFloatingLevel;
constexpr NSWindowCollectionBehavior kFloatingBehavior =
    NSWindowCollectionBehaviorCanJoinAllSpaces | NSWindowCollectionBehaviorFullScreenAuxiliary;  // 257

NSRect nsRect(const qm::Rect& r) { return NSMakeRect(r.x, r.y, r.w, r.h); }
qm::Rect rectOf(NSRect r) { return {r.origin.x, r.origin.y, r.size.width, r.size.height}; }
NSColor* colorOf(const qm::Color& c) { return [NSColor colorWithRed:c.r green:c.g blue:c.b alpha:c.a]; }

}  // namespace

// The overlay: borderless, yet it can take the keyboard so the user can type into the page.
@interface QMOverlayPanel : NSPanel
@end

@implementation QMOverlayPanel

- (BOOL)canBecomeKeyWindow {
  return YES;
}

- (instancetype)initWithContentRect:(NSRect)contentRect
                          styleMask:(NSWindowStyleMask)style
                            backing:(NSBackingStoreType)backingStoreType
                              defer:(BOOL)flag {
  return [super initWithContentRect:contentRect styleMask:style backing:backingStoreType defer:flag];
}

@end

// The minimized overlay's round button; the core decides what a press, a drag and a release mean.
@interface QMBubbleView : NSView
- (instancetype)initWithFrame:(NSRect)frame style:(const qm::BubbleStyle&)style handlers:(qm::BubbleHandlers)handlers;
@end

@implementation QMBubbleView {
  qm::BubbleStyle style;
  qm::BubbleHandlers handlers;
}

- (instancetype)initWithFrame:(NSRect)frame style:(const qm::BubbleStyle&)bubbleStyle handlers:(qm::BubbleHandlers)h {
  if ((self = [super initWithFrame:frame])) {
    style = bubbleStyle;
    handlers = std::move(h);
  }
  return self;
}

- (void)drawRect:(NSRect)dirtyRect {
  (void)dirtyRect;
  NSBezierPath* circle = [NSBezierPath bezierPathWithOvalInRect:NSInsetRect(self.bounds, style.inset, style.inset)];
  [colorOf(style.fill) setFill];
  [circle fill];
  [colorOf(style.outline) setStroke];
  circle.lineWidth = style.outlineWidth;
  [circle stroke];
  if (NSImage* icon = NSApp.applicationIconImage)
    [icon drawInRect:NSInsetRect(self.bounds, style.iconInset, style.iconInset)];
}

// The game stays active while the bubble is clicked: the first click must act, not just focus.
- (BOOL)acceptsFirstMouse:(NSEvent*)event {
  (void)event;
  return YES;
}

- (void)mouseDown:(NSEvent*)event {
  (void)event;
  if (handlers.down) handlers.down();
}

- (void)mouseDragged:(NSEvent*)event {
  (void)event;
  if (handlers.dragged) handlers.dragged();
}

- (void)mouseUp:(NSEvent*)event {
  (void)event;
  if (handlers.up) handlers.up();
}

- (void)resetCursorRects {
  [self addCursorRect:self.bounds cursor:[NSCursor pointingHandCursor]];
}

@end

// Tells the core that the main window is closing; it only leaves the screen.
@interface QMWindowDelegate : NSObject <NSWindowDelegate>
- (instancetype)initWithWindow:(qm::Window*)window delegate:(qm::WindowDelegate*)delegate;
@end

@implementation QMWindowDelegate {
  qm::Window* window;
  qm::WindowDelegate* delegate;
}

- (instancetype)initWithWindow:(qm::Window*)w delegate:(qm::WindowDelegate*)d {
  if ((self = [super init])) {
    window = w;
    delegate = d;
  }
  return self;
}

- (void)windowWillClose:(NSNotification*)notification {
  (void)notification;
  delegate->windowWillClose(*window);
}

@end

namespace qm::mac {

struct MacWindow::Impl {
  NSWindow* window = nil;
  QMWindowDelegate* delegate = nil;  // the window holds its delegate weakly
  double cornerRadius = 0;
  NSTextField* loadingWords = nil;  // over the page until its first commit
};

namespace {

NSWindow* makeMain(const WindowOptions& o) {
  NSWindowStyleMask style = NSWindowStyleMaskTitled | NSWindowStyleMaskClosable | NSWindowStyleMaskMiniaturizable |
                            NSWindowStyleMaskResizable;  // 15
  // A saved frame includes the title bar: turn it into the content rectangle of this style.
  NSRect content = o.rectIsFrame ? [NSWindow contentRectForFrameRect:nsRect(o.rect) styleMask:style] : nsRect(o.rect);
  NSWindow* window = [[NSWindow alloc] initWithContentRect:content
                                                 styleMask:style
                                                   backing:NSBackingStoreBuffered
                                                     defer:NO];
  window.title = ns(o.title);
  window.appearance = [NSAppearance appearanceNamed:NSAppearanceNameDarkAqua];
  window.backgroundColor = colorOf(o.background);
  window.minSize = NSMakeSize(o.minWidth, o.minHeight);
  return window;
}

NSPanel* makeFloating(const WindowOptions& o) {
  bool overlay = o.kind == WindowKind::Overlay;
  NSWindowStyleMask style = overlay ? NSWindowStyleMaskResizable | NSWindowStyleMaskNonactivatingPanel  // 136
                                    : NSWindowStyleMaskNonactivatingPanel;                              // 128
  Class kind = [NSPanel class];
  if (overlay) kind = [QMOverlayPanel class];
  NSPanel* panel = [[kind alloc] initWithContentRect:nsRect(o.rect)
                                           styleMask:style
                                             backing:NSBackingStoreBuffered
                                               defer:NO];
  panel.opaque = NO;
  panel.hasShadow = YES;
  if (overlay) panel.appearance = [NSAppearance appearanceNamed:NSAppearanceNameDarkAqua];
  panel.level = kFloatingLevel;
  panel.collectionBehavior = kFloatingBehavior;
  panel.hidesOnDeactivate = NO;
  panel.backgroundColor = [NSColor clearColor];
  return panel;
}

// The window's words in its middle: the window says "wait" at once.
NSTextField* loadingWords(const std::string& text, NSView* content) {
  NSTextField* words = [NSTextField labelWithString:ns(text)];
  words.textColor = [NSColor colorWithRed:0xa1 / 255.0 green:0xa1 / 255.0 blue:0xaa / 255.0 alpha:1];
  words.font = [NSFont systemFontOfSize:15 weight:NSFontWeightRegular];
  [words sizeToFit];
  NSRect area = content.bounds;
  [words setFrameOrigin:NSMakePoint(NSMidX(area) - NSWidth(words.frame) / 2, NSMidY(area) - NSHeight(words.frame) / 2)];
  words.autoresizingMask = NSViewMinXMargin | NSViewMaxXMargin | NSViewMinYMargin | NSViewMaxYMargin;
  [content addSubview:words];
  return words;
}

}  // namespace

MacWindow::MacWindow(const WindowOptions& options, WindowDelegate* delegate) : impl(std::make_unique<Impl>()) {
  impl->window = options.kind == WindowKind::Main ? makeMain(options) : makeFloating(options);
  // The core keeps every window for the life of the program; closing only takes it off the screen.
  impl->window.releasedWhenClosed = NO;
  if (delegate) {
    impl->delegate = [[QMWindowDelegate alloc] initWithWindow:this delegate:delegate];
    impl->window.delegate = impl->delegate;
  }
  impl->cornerRadius = options.cornerRadius;
  if (!options.loadingText.empty()) impl->loadingWords = loadingWords(options.loadingText, impl->window.contentView);
}

MacWindow::~MacWindow() {
  impl->window.delegate = nil;
  [impl->window orderOut:nil];
}

Rect MacWindow::frame() const { return rectOf(impl->window.frame); }

void MacWindow::setFrame(const Rect& frame) { [impl->window setFrame:nsRect(frame) display:YES]; }

void MacWindow::setOrigin(const Point& origin) { [impl->window setFrameOrigin:NSMakePoint(origin.x, origin.y)]; }

void MacWindow::showAsKey() { [impl->window makeKeyAndOrderFront:nil]; }

void MacWindow::showWithoutActivating() { [impl->window orderFrontRegardless]; }

void MacWindow::hide() { [impl->window orderOut:nil]; }

bool MacWindow::visible() const { return impl->window.visible; }

void MacWindow::setAlpha(double alpha) { impl->window.alphaValue = alpha; }

void MacWindow::setContent(WebView& view) {
  NSView* content = nativeView(view);
  impl->window.contentView = content;
  if (NSTextField* words = impl->loadingWords) {
    [content addSubview:words];
    whenCommitted(view, [words] { [words removeFromSuperview]; });
  }
  if (impl->cornerRadius <= 0) return;
  content.wantsLayer = YES;
  content.layer.cornerRadius = impl->cornerRadius;
  content.layer.masksToBounds = YES;
}

// Drawn now; the work waits for the run loop's next turn, so the frame is on screen first.
void MacWindow::whenDrawn(std::function<void()> then) {
  [impl->window displayIfNeeded];
  auto job = std::make_shared<std::function<void()>>(std::move(then));
  dispatch_async(dispatch_get_main_queue(), ^{
    (*job)();
  });
}

void MacWindow::setBubbleContent(const BubbleStyle& style, BubbleHandlers handlers) {
  NSRect bounds = NSMakeRect(0, 0, impl->window.frame.size.width, impl->window.frame.size.height);
  impl->window.contentView = [[QMBubbleView alloc] initWithFrame:bounds style:style handlers:std::move(handlers)];
}

std::optional<Rect> MacWindow::screenVisibleFrame() const {
  NSScreen* screen = impl->window.screen;
  if (!screen) return std::nullopt;
  return rectOf(screen.visibleFrame);
}

}  // namespace qm::mac
