// The page object injected into every main frame, and the event scripts sent back into the page.
#pragma once

#include <string>

namespace qm {

std::string pageObjectScript(const std::string& version, bool capture);
std::string eventScript(const std::string& detailJSON);
std::string frameEventScript(const std::string& base64);

}  // namespace qm
