#include "update/version_compare.h"

#include <cctype>

namespace qm {
namespace {

bool digit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

}  // namespace

bool isReleaseVersion(const std::string& version) {
  constexpr std::size_t kMaxParts = 4, kMaxDigits = 9;
  std::size_t parts = 1, digits = 0;
  for (char c : version) {
    if (c == '.' && digits > 0 && parts < kMaxParts) {
      ++parts;
      digits = 0;
    } else if (!digit(c) || ++digits > kMaxDigits) {
      return false;
    }
  }
  return digits > 0;
}

int compareVersions(const std::string& a, const std::string& b) {
  std::size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (digit(a[i]) && digit(b[j])) {
      std::size_t ei = i, ej = j;
      while (ei < a.size() && digit(a[ei])) ++ei;
      while (ej < b.size() && digit(b[ej])) ++ej;
      std::size_t si = i, sj = j;
      while (si + 1 < ei && a[si] == '0') ++si;  // leading zeros do not count
      while (sj + 1 < ej && b[sj] == '0') ++sj;
      std::size_t li = ei - si, lj = ej - sj;
      if (li != lj) return li < lj ? -1 : 1;
      if (int c = a.compare(si, li, b, sj, lj)) return c < 0 ? -1 : 1;
      i = ei;
      j = ej;
    } else {
      if (a[i] != b[j]) return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]) ? -1 : 1;
      ++i;
      ++j;
    }
  }
  if (i < a.size()) return 1;
  if (j < b.size()) return -1;
  return 0;
}

}  // namespace qm
