// Objective-C++ only: conversions between Foundation values and the core's strings and JSON values.
#pragma once

#import <Foundation/Foundation.h>

#include <nlohmann/json.hpp>
#include <optional>
#include <string>

namespace qm::mac {

inline NSString* ns(const std::string& text) {
  return [[NSString alloc] initWithBytes:text.data() length:text.size() encoding:NSUTF8StringEncoding];
}

inline std::string str(NSString* text) {
  const char* utf8 = text.UTF8String;
  return utf8 ? std::string(utf8) : std::string();
}

inline std::optional<std::string> optionalStr(NSString* text) {
  if (!text) return std::nullopt;
  return str(text);
}

// Property-list and script values as JSON; a value JSON cannot hold (a date, data) becomes null.
nlohmann::json toJSON(id value);
// JSON as property-list values; null gives nil.
id fromJSON(const nlohmann::json& value);

}  // namespace qm::mac
