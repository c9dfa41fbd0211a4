// Settings in the standard user defaults, the log file steps, the system's crypto and one GET on the
// shared URL session: Foundation, Security and CommonCrypto, macOS 12.0 or later.
#pragma once

#include <string>

#include "platform/files.h"
#include "platform/services.h"
#include "platform/settings.h"

namespace qm::mac {

// Values keep their property-list types: a Boolean stays a Boolean, an integer an integer.
class MacSettings : public Settings {
 public:
  std::optional<nlohmann::json> get(const std::string& key) const override;
  void set(const std::string& key, const nlohmann::json& value) override;
  void remove(const std::string& key) override;
};

// The log lives at "Library/Logs/Quillmere.log" below the user's home directory.
class MacFiles : public Files {
 public:
  std::string logPath() const override;
  AppendResult append(const std::string& path, const std::string& bytes) override;
  void writeAtomically(const std::string& path, const std::string& bytes) override;
  std::uint64_t size(const std::string& path) const override;
  void rename(const std::string& from, const std::string& to) override;
};

class MacCrypto : public Crypto {
 public:
  bool randomBytes(std::span<std::uint8_t> out) override;
  std::array<std::uint8_t, 32> sha256(std::string_view bytes) override;
};

class MacHttp : public Http {
 public:
  void get(const std::string& url, double timeoutSeconds, std::size_t maxBytes,
           std::function<void(std::optional<HttpAnswer>)> done) override;
};

}  // namespace qm::mac
