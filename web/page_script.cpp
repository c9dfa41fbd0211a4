#include "web/page_script.h"

namespace qm {

std::string pageObjectScript(const std::string& version, bool capture, const std::string& system) {
  return std::string("(function () {\n") + "  window.QMApp = { platform: '" + system + "', version: '" + version +
         "', capture: " + (capture ? "true" : "false") +
         ", send: function (m) { try { window.dispatchEvent(new CustomEvent('qm-send', { detail: JSON.stringify(m) "
         "})); }"
         " catch (e) {} } };\n" +
         "})();";
}

std::string relayScript(const std::string& handler) {
  // Runs where the page's scripts cannot reach; the document's origin is read here, not taken from the page.
  return "window.addEventListener('qm-send', function (e) {\n"
         "  if (typeof e.detail === 'string') window.webkit.messageHandlers." +
         handler + ".postMessage([location.origin, e.detail]);\n});";
}

std::string keepsFailingPage(const std::string& reloadURL) {
  std::string href;
  for (char c : reloadURL) href += c == '&' ? "&amp;" : c == '"' ? "&quot;" : c == '<' ? "&lt;" : std::string(1, c);
  return "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Quillmere</title><style>"
         "body{margin:0;height:100vh;display:flex;flex-direction:column;align-items:center;justify-content:center;"
         "background:#09090b;color:#ededef;font:15px system-ui,sans-serif}"
         "a{margin-top:16px;background:#ededef;color:#09090b;border-radius:6px;padding:8px 18px;"
         "font-weight:600;text-decoration:none}</style></head><body>"
         "<p>This page keeps failing.</p><a id=\"reload\" href=\"" +
         href + "\">Reload</a></body></html>";
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
