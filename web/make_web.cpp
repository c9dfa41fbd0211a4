#include "app/app.h"
#include "web/page_script.h"

namespace qm {

std::shared_ptr<WebView> App::makeWeb() {
  WebViewConfig config;
  config.userScript = pageObjectScript(VERSION, canCapture());
  config.messageHandler = "qm";
  config.relayScript = relayScript(config.messageHandler);
  config.developerExtras = true;
  config.mediaNeedsGesture = false;
  config.underPageColor = {0.035, 0.035, 0.043, 1.0};
  auto view = platform.web.makeWebView(config, *this);
  view->setCustomUserAgent(std::nullopt);
  std::weak_ptr<WebView> weak = view;
  view->evaluateForText("navigator.userAgent", [weak](std::optional<std::string> agent) {
    if (auto v = weak.lock(); v && agent) v->setCustomUserAgent(*agent + " QuillmereMac/" + VERSION);
  });
  return view;
}

}  // namespace qm
