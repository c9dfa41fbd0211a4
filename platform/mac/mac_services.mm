#include "platform/mac/mac_services.h"

#import <CommonCrypto/CommonDigest.h>
#import <CoreFoundation/CoreFoundation.h>
#import <Foundation/Foundation.h>
#import <Security/Security.h>

#include <sys/stat.h>

#include <cstdio>
#include <cstring>

#include "platform/mac/objc_values.h"

namespace qm::mac {
namespace {

bool isBoolean(NSNumber* number) { return CFGetTypeID((__bridge CFTypeRef)number) == CFBooleanGetTypeID(); }

bool isInteger(NSNumber* number) {
  const char* type = number.objCType;
  return std::strchr("cislqCISLQ", type[0]) != nullptr && type[1] == '\0';
}

nlohmann::json numberToJSON(NSNumber* number) {
  if (isBoolean(number)) return static_cast<bool>(number.boolValue);
  if (isInteger(number)) return static_cast<std::int64_t>(number.longLongValue);
  return number.doubleValue;
}

}  // namespace

nlohmann::json toJSON(id value) {
  if ([value isKindOfClass:[NSString class]]) return str(static_cast<NSString*>(value));
  if ([value isKindOfClass:[NSNumber class]]) return numberToJSON(static_cast<NSNumber*>(value));
  if ([value isKindOfClass:[NSArray class]]) {
    nlohmann::json list = nlohmann::json::array();
    for (id element in static_cast<NSArray*>(value)) list.push_back(toJSON(element));
    return list;
  }
  if ([value isKindOfClass:[NSDictionary class]]) {
    nlohmann::json object = nlohmann::json::object();
    NSDictionary* dictionary = value;
    for (id key in dictionary) {
      // A dictionary with a key that is not text is not a message the core can read.
      if (![key isKindOfClass:[NSString class]]) return nullptr;
      object[str(static_cast<NSString*>(key))] = toJSON(dictionary[key]);
    }
    return object;
  }
  return nullptr;
}

id fromJSON(const nlohmann::json& value) {
  switch (value.type()) {
    case nlohmann::json::value_t::boolean: return @(value.get<bool>());
    case nlohmann::json::value_t::number_integer: return @(value.get<std::int64_t>());
    case nlohmann::json::value_t::number_unsigned: return @(value.get<std::uint64_t>());
    case nlohmann::json::value_t::number_float: return @(value.get<double>());
    case nlohmann::json::value_t::string: return ns(value.get<std::string>());
    case nlohmann::json::value_t::array: {
      NSMutableArray* list = [NSMutableArray array];
      for (const auto& element : value)
        if (id converted = fromJSON(element)) [list addObject:converted];
      return list;
    }
    case nlohmann::json::value_t::object: {
      NSMutableDictionary* dictionary = [NSMutableDictionary dictionary];
      for (const auto& [key, element] : value.items())
        if (id converted = fromJSON(element)) dictionary[ns(key)] = converted;
      return dictionary;
    }
    default: return nil;
  }
}

std::optional<nlohmann::json> MacSettings::get(const std::string& key) const {
  id value = [[NSUserDefaults standardUserDefaults] objectForKey:ns(key)];
  nlohmann::json json = toJSON(value);
  if (json.is_null()) return std::nullopt;
  return json;
}

void MacSettings::set(const std::string& key, const nlohmann::json& value) {
  NSUserDefaults* defaults = [NSUserDefaults standardUserDefaults];
  if (value.is_boolean())
    [defaults setBool:value.get<bool>() forKey:ns(key)];
  else if (value.is_number_integer())
    [defaults setInteger:static_cast<NSInteger>(value.get<std::int64_t>()) forKey:ns(key)];
  else if (value.is_number_float())
    [defaults setDouble:value.get<double>() forKey:ns(key)];
  else if (id object = fromJSON(value))
    [defaults setObject:object forKey:ns(key)];
  else
    [defaults removeObjectForKey:ns(key)];
}

void MacSettings::remove(const std::string& key) { [[NSUserDefaults standardUserDefaults] removeObjectForKey:ns(key)]; }

std::string MacFiles::logPath() const {
  NSURL* home = [NSFileManager defaultManager].homeDirectoryForCurrentUser;
  return str([home URLByAppendingPathComponent:@"Library/Logs/Quillmere.log"].path);
}

AppendResult MacFiles::append(const std::string& path, const std::string& bytes) {
  NSURL* url = [NSURL fileURLWithPath:ns(path)];
  NSError* error = nil;
  NSFileHandle* handle = [NSFileHandle fileHandleForWritingToURL:url error:&error];
  if (!handle) {
    bool missing = ![[NSFileManager defaultManager] fileExistsAtPath:ns(path)];
    return missing ? AppendResult::Missing : AppendResult::Unwritable;
  }
  NSData* data = [NSData dataWithBytes:bytes.data() length:bytes.size()];
  unsigned long long end = 0;
  bool written = [handle seekToEndReturningOffset:&end error:&error] && [handle writeData:data error:&error];
  [handle closeAndReturnError:nil];  // a failure to close is ignored
  return written ? AppendResult::Written : AppendResult::Unwritable;
}

void MacFiles::writeAtomically(const std::string& path, const std::string& bytes) {
  NSData* data = [NSData dataWithBytes:bytes.data() length:bytes.size()];
  [data writeToURL:[NSURL fileURLWithPath:ns(path)] options:NSDataWritingAtomic error:nil];
}

std::uint64_t MacFiles::size(const std::string& path) const {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
}

void MacFiles::rename(const std::string& from, const std::string& to) { std::rename(from.c_str(), to.c_str()); }

bool MacCrypto::randomBytes(std::span<std::uint8_t> out) {
  return SecRandomCopyBytes(kSecRandomDefault, out.size(), out.data()) == errSecSuccess;
}

std::array<std::uint8_t, 32> MacCrypto::sha256(std::string_view bytes) {
  std::array<std::uint8_t, 32> digest{};
  CC_SHA256(bytes.data(), static_cast<CC_LONG>(bytes.size()), digest.data());
  return digest;
}

void MacHttp::get(const std::string& url, double timeoutSeconds, std::size_t maxBytes,
                  std::function<void(std::optional<HttpAnswer>)> done) {
  NSURL* address = [NSURL URLWithString:ns(url)];
  if (!address) return done(std::nullopt);
  NSURLRequest* request = [NSURLRequest requestWithURL:address
                                           cachePolicy:NSURLRequestUseProtocolCachePolicy
                                       timeoutInterval:timeoutSeconds];
  // One deadline for the whole fetch, however slowly a server sends.
  NSURLSessionConfiguration* configuration = NSURLSessionConfiguration.defaultSessionConfiguration;
  configuration.timeoutIntervalForResource = timeoutSeconds;
  NSURLSession* session = [NSURLSession sessionWithConfiguration:configuration];
  auto answer = std::make_shared<std::function<void(std::optional<HttpAnswer>)>>(std::move(done));
  NSURLSessionDataTask* task =
      [session dataTaskWithRequest:request
                 completionHandler:^(NSData* data, NSURLResponse* response, NSError*) {
                   // The status and the transport error are not examined: any body is tried.
                   if (!data || data.length > maxBytes || !response.URL) return (*answer)(std::nullopt);
                   (*answer)(HttpAnswer{str(response.URL.absoluteString),
                                        std::string(static_cast<const char*>(data.bytes), data.length)});
                 }];
  [task resume];
  [session finishTasksAndInvalidate];  // the session goes once its one task has answered
}

}  // namespace qm::mac
