#include <uriparser/Uri.h>

#include <algorithm>
#include <memory>

#include "web/url.h"

namespace qm {
namespace {

std::string text(const UriTextRangeA& range) {
  return range.first && range.afterLast ? std::string(range.first, range.afterLast) : std::string();
}

bool isRegisteredName(const UriUriA& uri) {
  return !uri.hostData.ip4 && !uri.hostData.ip6 && !uri.hostData.ipFuture.first && uri.hostText.first;
}

std::string pathOf(const UriUriA& uri) {
  std::string path;
  bool leadingSlash = uri.absolutePath || uri.hostText.first;
  for (auto* segment = uri.pathHead; segment; segment = segment->next) {
    if (leadingSlash || segment != uri.pathHead) path += '/';
    path += text(segment->text);
  }
  return path;
}

}  // namespace

std::string asciiLower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; });
  return s;
}

std::optional<URLParts> parseURL(const std::string& url) {
  // The library stops at a NUL; an address with one inside is not an address.
  if (url.find('\0') != std::string::npos) return std::nullopt;
  UriUriA uri;
  const char* errorAt = nullptr;
  if (uriParseSingleUriExA(&uri, url.data(), url.data() + url.size(), &errorAt) != URI_SUCCESS) return std::nullopt;
  std::unique_ptr<UriUriA, void (*)(UriUriA*)> owned(&uri, [](UriUriA* u) { uriFreeUriMembersA(u); });
  if (!uri.scheme.first) return std::nullopt;
  URLParts parts;
  parts.scheme = text(uri.scheme);
  if (isRegisteredName(uri)) parts.host = asciiLower(text(uri.hostText));
  parts.path = pathOf(uri);
  return parts;
}

std::string schemeOf(const std::string& url) {
  auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
  auto schemeChar = [&](char c) { return letter(c) || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.'; };
  auto colon = url.find(':');
  if (colon == std::string::npos || colon == 0 || !letter(url[0])) return {};
  auto end = url.begin() + static_cast<std::ptrdiff_t>(colon);
  return std::all_of(url.begin(), end, schemeChar) ? std::string(url.begin(), end) : std::string();
}

bool opensInBrowser(const std::string& url) {
  auto parts = parseURL(url);
  return parts && (parts->scheme == "https" || parts->scheme == "http") && !parts->host.empty();
}

}  // namespace qm
