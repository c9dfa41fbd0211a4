// Pieces of an address as the navigation policy reads them, read by uriparser (RFC 3986).
#pragma once

#include <optional>
#include <string>

namespace qm {

struct URLParts {
  std::string scheme;  // as written
  std::string host;    // lower case (ASCII); empty when the address has none or is an IP literal
  std::string path;
};

// None when the library rejects the text as a URL.
std::optional<URLParts> parseURL(const std::string& url);
// The scheme as written, also of text the library rejects (a data URL with spaces still names its scheme).
std::string schemeOf(const std::string& url);
// Whether the address may leave the app for the default browser: an http or https URL with a host.
bool opensInBrowser(const std::string& url);
std::string asciiLower(std::string text);

}  // namespace qm
