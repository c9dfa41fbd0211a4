#include "app/app.h"
#include "web/page_script.h"

namespace qm {

std::shared_ptr<WebView> App::makeWeb() {
  WebViewConfig config;
  bool onLinux = platform.desktop.system() == System::Linux;
  config.userScript = pageObjectScript(VERSION, canCapture(), onLinux ? "linux" : "mac");
  config.messageHandler = "qm";
  config.relayScript = relayScript(config.messageHandler);
  config.developerExtras = true;
  config.mediaNeedsGesture = false;
  config.underPageColor = {0.035, 0.035, 0.043, 1.0};
  auto view = platform.web.makeWebView(config, *this);
  view->setCustomUserAgent(std::nullopt);
  std::weak_ptr<WebView> weak = view;
  // The page is told the system by QMApp.platform and, on Linux, by the agent's "Quillmere/<version> (Linux)";
  // the agent still ends in " QuillmereMac/<version>", the token the service knows its app by, on every system.
  std::string ours = (onLinux ? " Quillmere/" + VERSION + " (Linux)" : std::string()) + " QuillmereMac/" + VERSION;
  view->evaluateForText("navigator.userAgent", [weak, ours](std::optional<std::string> agent) {
    if (auto v = weak.lock(); v && agent) v->setCustomUserAgent(*agent + ours);
  });
  return view;
}

}  // namespace qm
