#include "app/app.h"
#include "capture/game_capture.h"
#include "web/page_script.h"
#include "web/url.h"

namespace qm {
namespace {

std::optional<std::string> serialise(const nlohmann::json& value) {
  try {
    return value.dump();
  } catch (const nlohmann::json::exception&) {
    return std::nullopt;  // text that is not UTF-8
  }
}

}  // namespace

std::shared_ptr<WebView> App::eventTarget() const { return overlay && overlay->visible() ? overlayWeb : web; }

void App::send(const nlohmann::json& event) { sendTo(eventTarget().get(), event); }

void sendTo(WebView* target, const nlohmann::json& event) {
  auto text = serialise(event);
  if (text && target) target->evaluate(eventScript(*text));
}

bool App::speaksForApp(const WebView& sender, const MessageSource& source) const {
  auto shown = sender.url();
  return source.mainFrame && in(source.origin) && shown && in(*shown);
}

void App::onMessage(WebView& sender, const MessageSource& source, const std::string& text) {
  if (!speaksForApp(sender, source)) {
    auto shown = parseURL(sender.url().value_or("")).value_or(URLParts{});
    return note("message refused from " + std::string(source.mainFrame ? "the page " : "a frame ") +
                parseURL(source.origin).value_or(URLParts{}).host + " over " + shown.host);
  }
  auto body = nlohmann::json::parse(text, nullptr, false);
  if (!body.is_object()) return;
  auto t = body.find("t");
  if (t == body.end() || !t->is_string()) return;
  const auto& kind = t->get_ref<const std::string&>();
  if (kind == "overlay") {
    showOverlay();
  } else if (kind == "minimize") {
    minimize();
  } else if (kind == "drag") {
    dragOverlay();
  } else if (kind == "bodycam") {
    auto on = body.find("on");
    bool wanted =
        on != body.end() && ((on->is_boolean() && on->get<bool>()) || (on->is_number() && on->get<double>() != 0));
    startBodycam(sender, wanted);
  }
}

void App::startBodycam(WebView& sender, bool on) {
  std::weak_ptr<WebView> target;
  if (&sender == web.get())
    target = web;
  else if (&sender == overlayWeb.get())
    target = overlayWeb;
  else
    return;
  if (!canCapture()) return;
  if (gameCapture) {
    gameCapture->stop();
    if (!on) platform.web.releaseMemoryCache();
  }
  gameCapture.reset();
  shareAside.reset();
  if (!on) return;
  auto cam = GameCapture::make(platform.capture, platform.desktop);
  std::weak_ptr<App> weakApp = weak_from_this();
  std::weak_ptr<GameCapture> weakCam = cam;
  auto answered = [weakApp, weakCam] {
    auto app = weakApp.lock();
    return app && app->gameCapture && app->gameCapture == weakCam.lock() ? app : nullptr;
  };
  cam->onFrame = [target, answered](const std::string& data) {
    if (auto app = answered()) app->shareAside.reset();
    if (auto v = target.lock()) v->evaluate(frameEventScript(data));
  };
  cam->onError = [answered, target](const std::string& message) {
    // Only the capture that failed is dropped, never a newer one that replaced it.
    if (auto app = answered()) {
      app->gameCapture.reset();
      app->shareAside.reset();
      app->platform.web.releaseMemoryCache();
    }
    auto text = serialise({{"type", "bodycam-error"}, {"message", message}}).value_or("{}");
    if (auto v = target.lock()) v->evaluate(eventScript(text));
  };
  gameCapture = cam;
  if (platform.capture.consent() == CaptureConsent::desktopDialog) shareAside = panelsAside();
  cam->start();
}

}  // namespace qm
