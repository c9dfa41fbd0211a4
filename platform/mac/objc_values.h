// Objective-C++ only: conversions between Foundation values and the core's strings and JSON values.
#pragma once

#import <Foundation/Foundation.h>

#include <nlohmann/json.hpp>
#include <optional>
#include <string>

namespace qm::mac {

// Never nil, as AppKit's titles and WebKit's scripts must not be: text that is not UTF-8 becomes empty.
inline NSString* _Nonnull ns(const std::string& text) {
  NSString* utf8 = [[NSString alloc] initWithBytes:text.data() length:text.size() encoding:NSUTF8StringEncoding];
  return utf8 ?: @"";
}

inline std::string str(NSString* _Nullable text) {
  const char* utf8 = text.UTF8String;
  return utf8 ? std::string(utf8) : std::string();
}

inline std::optional<std::string> optionalStr(NSString* _Nullable text) {
  if (!text) return std::nullopt;
  return str(text);
}

// Property-list and script values as JSON; a value JSON cannot hold (a date, data) becomes null.
nlohmann::json toJSON(id _Nullable value);
// JSON as property-list values; null gives nil.
id _Nullable fromJSON(const nlohmann::json& value);

}  // namespace qm::mac
