// The page object injected into the top frame, the relay that carries its messages to the app, the event
// scripts sent back into the page, and the page shown when a page keeps failing.
#pragma once

#include <string>

namespace qm {

std::string pageObjectScript(const std::string& version, bool capture);
std::string relayScript(const std::string& handler);
std::string keepsFailingPage(const std::string& reloadURL);
std::string eventScript(const std::string& detailJSON);
std::string frameEventScript(const std::string& base64);

}  // namespace qm
