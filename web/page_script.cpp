#include "web/page_script.h"

namespace qm {

std::string pageObjectScript(const std::string& version, bool capture) {
  return std::string("(function () {\n") + "  window.QMApp = { platform: 'mac', version: '" + version +
         "', capture: " + (capture ? "true" : "false") +
         ", send: function (m) { try { window.webkit.messageHandlers.qm.postMessage(m); } catch (e) {} } };\n" +
         "})();";
}

std::string eventScript(const std::string& detailJSON) {
  return "window.dispatchEvent(new CustomEvent('qm-app', { detail: " + detailJSON + " }))";
}

std::string frameEventScript(const std::string& base64) {
  std::string s;
  static const std::string head = "window.dispatchEvent(new CustomEvent('qm-app', { detail: { type: 'frame', data: '";
  static const std::string tail = "' } }))";
  s.reserve(head.size() + base64.size() + tail.size());
  s += head;
  s += base64;
  s += tail;
  return s;
}

}  // namespace qm
