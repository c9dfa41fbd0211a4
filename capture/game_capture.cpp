#include "capture/game_capture.h"

#include <utility>

#include "capture/window_choice.h"

namespace qm {

std::shared_ptr<GameCapture> GameCapture::make(Capture& capture, Desktop& desktop) {
  return std::shared_ptr<GameCapture>(new GameCapture(capture, desktop));
}

void GameCapture::start() {
  screens = desktop.screens();
  if (!capture.accessGranted()) return askForAccess();
  std::weak_ptr<GameCapture> weak = weak_from_this();
  capture.listWindows([weak](std::optional<std::vector<CaptureWindow>> windows) {
    if (auto self = weak.lock()) self->chooseAndStream(windows);
  });
}

void GameCapture::chooseAndStream(const std::optional<std::vector<CaptureWindow>>& windows) {
  if (!windows) return askForAccess();
  auto game = chooseGameWindow(*windows, capture.gameOwnerId());
  if (!game) return fail(kNoGameMessage);
  titleBar = game->titleBar;
  cropTop = cropTopFor(game->frame, titleBar, screens);
  auto size = outputSizeFor(game->frame);
  StreamConfig config{size.width, size.height, 0.25, 3, false};
  // The set-up holds the object until it answers, and no longer.
  auto setUp = std::make_shared<std::shared_ptr<GameCapture>>(shared_from_this());
  std::weak_ptr<GameCapture> weak = *setUp;
  capture.startStream(game->id, config,
                      {[weak](const PixelFrame& f) {
                         if (auto s = weak.lock()) s->convert(f);
                       },
                       [weak] {
                         if (auto s = weak.lock()) s->streamStopped();
                       },
                       [setUp](std::shared_ptr<CaptureStream> st, std::optional<std::string> error) {
                         if (auto self = std::exchange(*setUp, nullptr)) self->streamStarted(std::move(st), error);
                       },
                       [weak, size](double w, double h) {
                         auto s = weak.lock();
                         return s ? s->resized(w, h) : size;
                       }});
}

OutputSize GameCapture::resized(double width, double height) {
  Rect window{0, 0, width, height};
  cropTop = cropTopFor(window, titleBar, screens);
  return outputSizeFor(window);
}

// The sentence first, then the system's request, which the system wants on the main thread.
void GameCapture::askForAccess() {
  fail(noContentMessage());
  if (capture.consent() != CaptureConsent::unasked)
    desktop.postToMain([self = shared_from_this()] { self->capture.requestAccess(); });
}

std::string GameCapture::noContentMessage() const {
  switch (capture.consent()) {
    case CaptureConsent::unasked: return std::string(kCouldNotStartMessage) + "the windows could not be listed";
    case CaptureConsent::desktopDialog: return kCaptureShareMessage;
    case CaptureConsent::notOffered: return kCaptureNotOfferedMessage;
    case CaptureConsent::desktopSilent: return kCaptureUnansweredMessage;
    case CaptureConsent::systemSettings: break;
  }
  return kCapturePermissionMessage;
}

void GameCapture::streamStarted(std::shared_ptr<CaptureStream> started, const std::optional<std::string>& error) {
  if (error || !started) return fail(kCouldNotStartMessage + error.value_or("unknown error"));
  std::unique_lock lock(mutex);
  if (stopped) {
    // Stopped while the set-up was on its way: this stream must not keep capturing.
    lock.unlock();
    started->stop();
    return;
  }
  stream = std::move(started);
}

void GameCapture::streamStopped() {
  {
    std::lock_guard lock(mutex);
    if (stopped || !stream) return;
    stream.reset();
  }
  fail(kStoppedMessage);
}

void GameCapture::stop() {
  std::shared_ptr<CaptureStream> running;
  {
    std::lock_guard lock(mutex);
    stopped = true;
    running = std::move(stream);
  }
  if (running) running->stop();
}

bool GameCapture::wasStopped() const {
  std::lock_guard lock(mutex);
  return stopped;
}

bool GameCapture::streaming() const {
  std::lock_guard lock(mutex);
  return stream != nullptr;
}

void GameCapture::fail(const std::string& message) {
  {
    std::lock_guard lock(mutex);
    if (stopped) return;  // the owner has let go; nobody is waiting for this sentence
  }
  desktop.postToMain([self = shared_from_this(), message] {
    if (self->onError) self->onError(message);
  });
}

void GameCapture::convert(const PixelFrame& frame) {
  std::string text = spareText();
  if (!encoder.base64JPEG(frame, cropTop, text)) return keepText(std::move(text));
  desktop.postToMain([self = shared_from_this(), text = std::move(text)]() mutable {
    // A frame converted before "bodycam off" never reaches the page after it.
    if (self->onFrame && !self->wasStopped()) self->onFrame(text);
    self->keepText(std::move(text));
  });
}

std::string GameCapture::spareText() {
  std::lock_guard lock(spareMutex);
  if (spareTexts.empty()) return {};
  std::string text = std::move(spareTexts.back());
  spareTexts.pop_back();
  return text;
}

void GameCapture::keepText(std::string text) {
  // As many as can be on their way at once: the queue's depth and the one being converted.
  constexpr std::size_t kMostInFlight = 4;
  std::lock_guard lock(spareMutex);
  if (spareTexts.size() < kMostInFlight) spareTexts.push_back(std::move(text));
}

}  // namespace qm
