#include "platform/mac/mac_capture.h"

#import <AppKit/AppKit.h>
#import <CoreGraphics/CoreGraphics.h>
#import <CoreImage/CoreImage.h>
#import <CoreMedia/CoreMedia.h>
#import <ScreenCaptureKit/ScreenCaptureKit.h>
#import <dispatch/dispatch.h>

#include <atomic>
#include <cmath>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/mac/objc_values.h"

namespace {

// What the stream says of one frame, or nil.
NSDictionary* _Nullable infoOf(CMSampleBufferRef sample) {
  CFArrayRef attachments = CMSampleBufferGetSampleAttachmentsArray(sample, false);
  if (!attachments || CFArrayGetCount(attachments) < 1) return nil;
  id info = (__bridge id)CFArrayGetValueAtIndex(attachments, 0);
  return [info isKindOfClass:[NSDictionary class]] ? info : nil;
}

// Only frames the stream marks complete carry new pixels; idle, blank and suspended ones are skipped.
API_AVAILABLE(macos(12.3)) bool isComplete(NSDictionary* _Nullable info) {
  id status = info[SCStreamFrameInfoStatus];
  return
      [status isKindOfClass:[NSNumber class]] && static_cast<NSNumber*>(status).integerValue == SCFrameStatusComplete;
}

// The filmed window's size in whole points: the frame's content before the stream scaled it to fit.
API_AVAILABLE(macos(12.3)) std::optional<qm::OutputSize> windowSizeOf(NSDictionary* _Nullable info) {
  id rect = info[SCStreamFrameInfoContentRect], scale = info[SCStreamFrameInfoContentScale];
  CGRect content;
  if (![rect isKindOfClass:[NSDictionary class]] || ![scale isKindOfClass:[NSNumber class]] ||
      !CGRectMakeWithDictionaryRepresentation((__bridge CFDictionaryRef)rect, &content))
    return std::nullopt;
  double factor = static_cast<NSNumber*>(scale).doubleValue;
  if (factor <= 0) return std::nullopt;
  return qm::OutputSize{static_cast<int>(std::lround(content.size.width / factor)),
                        static_cast<int>(std::lround(content.size.height / factor))};
}

API_AVAILABLE(macos(12.3))
SCStreamConfiguration* configurationOf(const qm::StreamConfig& config) {
  SCStreamConfiguration* c = [[SCStreamConfiguration alloc] init];
  c.width = static_cast<size_t>(config.width);
  c.height = static_cast<size_t>(config.height);
  c.minimumFrameInterval = CMTimeMake(1, static_cast<int32_t>(std::lround(1.0 / config.minFrameInterval)));
  c.showsCursor = config.showsCursor;
  c.queueDepth = config.queueDepth;
  return c;
}

}  // namespace

// The stream's output and delegate: turns each complete frame into sRGB BGRA pixels on "qm.capture", and
// makes the stream follow the window when it is resized (windowed to full screen and back).
API_AVAILABLE(macos(12.3))
@interface QMStreamOutput : NSObject <SCStreamOutput, SCStreamDelegate>
- (instancetype)initWithCallbacks:(qm::StreamCallbacks)callbacks config:(const qm::StreamConfig&)config;
- (void)halt;
@end

@implementation QMStreamOutput {
  qm::StreamCallbacks callbacks;
  qm::StreamConfig config;  // as the stream has it now
  std::optional<qm::OutputSize> window;
  CIContext* context;
  CGColorSpaceRef srgb;
  std::vector<std::uint8_t> pixels;
  std::atomic<bool> halted;
}

- (instancetype)initWithCallbacks:(qm::StreamCallbacks)c config:(const qm::StreamConfig&)streamConfig {
  if ((self = [super init])) {
    callbacks = std::move(c);
    config = streamConfig;
    context = [[CIContext alloc] initWithOptions:nil];
    srgb = CGColorSpaceCreateWithName(kCGColorSpaceSRGB);
    halted = false;
  }
  return self;
}

- (void)dealloc {
  if (srgb) CGColorSpaceRelease(srgb);
}

- (void)halt {
  halted = true;
}

- (void)follow:(SCStream*)stream window:(qm::OutputSize)size {
  if (window == size) return;
  window = size;
  qm::OutputSize wanted = callbacks.resized(size.width, size.height);
  if (wanted == qm::OutputSize{config.width, config.height}) return;
  config.width = wanted.width, config.height = wanted.height;
  [stream updateConfiguration:configurationOf(config) completionHandler:nil];
}

- (void)stream:(SCStream*)stream didOutputSampleBuffer:(CMSampleBufferRef)sampleBuffer ofType:(SCStreamOutputType)type {
  if (type != SCStreamOutputTypeScreen || halted || !srgb || !CMSampleBufferIsValid(sampleBuffer)) return;
  NSDictionary* info = infoOf(sampleBuffer);
  if (!isComplete(info)) return;
  if (auto size = windowSizeOf(info)) [self follow:stream window:*size];
  CVImageBufferRef buffer = CMSampleBufferGetImageBuffer(sampleBuffer);
  if (!buffer) return;
  CIImage* image = [[CIImage alloc] initWithCVPixelBuffer:buffer];
  CGRect extent = image.extent;
  int width = static_cast<int>(extent.size.width), height = static_cast<int>(extent.size.height);
  if (width <= 0 || height <= 0) return;
  std::size_t rowBytes = static_cast<std::size_t>(width) * 4;
  pixels.resize(rowBytes * static_cast<std::size_t>(height));
  // Core Image converts from the display's colour space; the encoder expects sRGB.
  [context render:image
         toBitmap:pixels.data()
         rowBytes:static_cast<ptrdiff_t>(rowBytes)
           bounds:extent
           format:kCIFormatBGRA8
       colorSpace:srgb];
  callbacks.frame({pixels.data(), width, height, static_cast<int>(rowBytes)});
}

- (void)stream:(SCStream*)stream didStopWithError:(NSError*)error {
  (void)stream, (void)error;
  if (halted) return;
  // The core lets go of the stream, and so of this object, inside the call: call a copy.
  auto stopped = callbacks.stopped;
  stopped();
}

@end

namespace qm::mac {
namespace {

char queueKey;  // marks the capture queues, so a stop from one of them does not wait for itself

class API_AVAILABLE(macos(12.3)) MacStream : public CaptureStream {
 public:
  MacStream(SCStream* s, QMStreamOutput* o, dispatch_queue_t q) : stream(s), output(o), queue(q) {}
  // No frame is delivered after this returns: a frame being converted is waited for. The stream and its
  // output stay alive until the stop completes, however soon the owner lets go of this object.
  void stop() override {
    [output halt];
    if (dispatch_get_specific(&queueKey) != (__bridge void*)queue)
      dispatch_sync(queue, ^{
                    });
    SCStream* stopping = stream;
    QMStreamOutput* halted = output;
    [stopping stopCaptureWithCompletionHandler:^(NSError*) {
      [stopping removeStreamOutput:halted type:SCStreamOutputTypeScreen error:nil];
    }];
  }

 private:
  SCStream* stream;
  QMStreamOutput* output;  // the stream holds its delegate weakly
  dispatch_queue_t queue;
};

API_AVAILABLE(macos(12.3))
void streamWindow(SCWindow* window, const StreamConfig& config, const StreamCallbacks& callbacks) {
  dispatch_queue_t queue = dispatch_queue_create("qm.capture", DISPATCH_QUEUE_SERIAL);
  dispatch_queue_set_specific(queue, &queueKey, (__bridge void*)queue, nullptr);
  SCContentFilter* filter = [[SCContentFilter alloc] initWithDesktopIndependentWindow:window];
  QMStreamOutput* output = [[QMStreamOutput alloc] initWithCallbacks:callbacks config:config];
  SCStream* stream = [[SCStream alloc] initWithFilter:filter configuration:configurationOf(config) delegate:output];
  NSError* error = nil;
  if (![stream addStreamOutput:output type:SCStreamOutputTypeScreen sampleHandlerQueue:queue error:&error])
    return callbacks.started(nullptr, str(error.localizedDescription));
  auto running = std::make_shared<MacStream>(stream, output, queue);
  auto started = callbacks.started;
  [stream startCaptureWithCompletionHandler:^(NSError* failure) {
    if (failure) return started(nullptr, str(failure.localizedDescription));
    started(running, std::nullopt);
  }];
}

API_AVAILABLE(macos(12.3))
std::vector<CaptureWindow> windowsOf(SCShareableContent* content, double primaryHeight) {
  std::vector<CaptureWindow> list;
  for (SCWindow* w in content.windows) {
    CaptureWindow item;
    item.owner = optionalStr(w.owningApplication.bundleIdentifier);
    item.id = w.windowID;
    CGRect f = w.frame;
    item.frame = {f.origin.x, primaryHeight - f.origin.y - f.size.height, f.size.width, f.size.height};
    item.onScreen = w.onScreen;
    list.push_back(item);
  }
  return list;
}

}  // namespace

struct MacCapture::Impl {
  std::mutex mutex;        // the listing's completion and the stream set-up run on the framework's queues
  NSArray* windows = nil;  // the SCWindow objects of the last listing
};

MacCapture::MacCapture() : impl(std::make_shared<Impl>()) {}
MacCapture::~MacCapture() = default;

bool MacCapture::available() const {
  if (@available(macOS 12.3, *)) return true;
  return false;
}

void MacCapture::listWindows(std::function<void(std::optional<std::vector<CaptureWindow>>)> done) {
  if (@available(macOS 12.3, *)) {
    // Window frames come top-down from the primary screen's top; the core counts up from its bottom.
    NSScreen* primary = [NSScreen screens].firstObject;
    double primaryHeight = primary.frame.size.height;
    std::weak_ptr<Impl> weak = impl;
    auto answer = std::make_shared<std::function<void(std::optional<std::vector<CaptureWindow>>)>>(std::move(done));
    [SCShareableContent getShareableContentExcludingDesktopWindows:YES
                                               onScreenWindowsOnly:NO
                                                 completionHandler:^(SCShareableContent* content, NSError*) {
                                                   if (!content) return (*answer)(std::nullopt);
                                                   if (auto kept = weak.lock()) {
                                                     std::lock_guard lock(kept->mutex);
                                                     kept->windows = content.windows;
                                                   }
                                                   (*answer)(windowsOf(content, primaryHeight));
                                                 }];
  } else {
    done(std::nullopt);
  }
}

bool MacCapture::accessGranted() const { return CGPreflightScreenCaptureAccess(); }

void MacCapture::requestAccess() { CGRequestScreenCaptureAccess(); }

void MacCapture::startStream(std::uint64_t windowId, const StreamConfig& config, StreamCallbacks callbacks) {
  if (@available(macOS 12.3, *)) {
    SCWindow* window = nil;
    {
      std::lock_guard lock(impl->mutex);
      for (SCWindow* w in impl->windows)
        if (w.windowID == windowId) window = w;
    }
    if (!window) return callbacks.started(nullptr, "the game window is gone");
    streamWindow(window, config, callbacks);
  } else {
    callbacks.started(nullptr, "screen capture needs macOS 12.3");
  }
}

}  // namespace qm::mac
