// The manifest's fields and the version order: digit runs compare as numbers.
#pragma once

#include <optional>
#include <string>

namespace qm {

struct Manifest {
  std::string version, url;
  std::optional<std::string> notes;
};

// Negative, zero or positive as a orders before, with or after b.
int compareVersions(const std::string& a, const std::string& b);
std::optional<Manifest> readManifest(const std::string& body);

// A version a release can have: one to four dot-separated numbers of at most nine digits.
bool isReleaseVersion(const std::string& version);

}  // namespace qm
