// Pieces of an address as the navigation policy reads them.
#pragma once

#include <optional>
#include <string>

namespace qm {

struct URLParts {
  std::string scheme, host, path;
};

// None when the text has no scheme.
std::optional<URLParts> parseURL(const std::string& url);
std::string lower(std::string text);

}  // namespace qm
