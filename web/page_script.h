// The page object injected into the top frame, the relay that carries its messages to the app, the event
// scripts sent back into the page, and the page shown when a page keeps failing.
#pragma once

#include <string>

namespace qm {

// system: the page's word for the system the app runs on, "mac" or "linux".
std::string pageObjectScript(const std::string& version, bool capture, const std::string& system);
std::string relayScript(const std::string& handler);
std::string keepsFailingPage(const std::string& reloadURL);
std::string eventScript(const std::string& detailJSON);
std::string frameEventScript(const std::string& base64);

}  // namespace qm
