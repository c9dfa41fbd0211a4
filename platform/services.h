// Randomness, hashing and one HTTP GET.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace qm {

class Crypto {
 public:
  virtual ~Crypto() = default;
  virtual bool randomBytes(std::span<std::uint8_t> out) = 0;  // false when the generator fails
  virtual std::array<std::uint8_t, 32> sha256(std::string_view bytes) = 0;
};

struct HttpAnswer {
  std::string url;  // where the body came from, after redirects
  std::string body;
};

class Http {
 public:
  virtual ~Http() = default;
  // The body (any status), or none without one, within timeoutSeconds for the whole fetch.
  // Answered off the main thread.
  virtual void get(const std::string& url, double timeoutSeconds, std::size_t maxBytes,
                   std::function<void(std::optional<HttpAnswer>)> done) = 0;
};

}  // namespace qm
