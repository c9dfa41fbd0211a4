#include "app/rect_text.h"

#include <cmath>
#include <locale>
#include <sstream>

namespace qm {
namespace {

// Number text through the classic locale's streams: floating-point <charconv> is missing or
// unavailable in the standard libraries of the macOS versions we support.
std::string formatted(double v, bool fixed, int decimals) {
  std::ostringstream out;
  out.imbue(std::locale::classic());
  out.precision(decimals);
  out << (fixed ? std::fixed : std::scientific) << v;
  return out.str();
}

bool parsed(const std::string& text, double& out, std::size_t& used) {
  std::istringstream in(text);
  in.imbue(std::locale::classic());
  if (!(in >> out) || !std::isfinite(out)) return false;
  used = in.eof() ? text.size() : static_cast<std::size_t>(in.tellg());
  return true;
}

// The shortest text that reads back as the same number.
std::string shortestText(double v) {
  if (v == 0 || !std::isfinite(v)) return "0";  // no "-0"
  constexpr double kFixedBelow = 1e15;
  constexpr int kMaxDecimals = 17;
  for (int decimals = 0; std::fabs(v) < kFixedBelow && decimals <= kMaxDecimals; ++decimals) {
    std::string text = formatted(v, true, decimals);
    double back = 0;
    std::size_t used = 0;
    if (parsed(text, back, used) && back == v) return text;
  }
  return formatted(v, false, kMaxDecimals - 1);
}

class Reader {
 public:
  explicit Reader(std::string_view text) : s(text) {}
  bool expect(char c) {
    skipSpace();
    if (pos < s.size() && s[pos] == c) {
      ++pos;
      return true;
    }
    return false;
  }
  bool read(double& out) {
    skipSpace();
    if (pos == s.size() || !startsNumber(s[pos])) return false;
    // Only decimal notation: some standard libraries' streams also read hexadecimal.
    std::size_t end = s.find_first_not_of("0123456789.eE+-", pos);
    std::size_t used = 0;
    if (!parsed(std::string(s.substr(pos, end - pos)), out, used)) return false;
    pos += used;
    return true;
  }
  bool atEnd() {
    skipSpace();
    return pos == s.size();
  }

 private:
  static bool startsNumber(char c) { return (c >= '0' && c <= '9') || c == '-' || c == '.'; }
  void skipSpace() {
    while (pos < s.size() && (s[pos] == ' ' || s[pos] == '\t' || s[pos] == '\n')) ++pos;
  }
  std::string_view s;
  std::size_t pos = 0;
};

bool readPair(Reader& r, double& a, double& b) {
  return r.expect('{') && r.read(a) && r.expect(',') && r.read(b) && r.expect('}');
}

// A rectangle no screen could hold is no saved place of a window.
bool onSomeScreen(const Rect& r) {
  constexpr double kFar = 1e5;  // points, beyond any screen arrangement
  return std::fabs(r.x) <= kFar && std::fabs(r.y) <= kFar && r.w >= 0 && r.h >= 0 && r.w <= kFar && r.h <= kFar;
}

}  // namespace

std::string stringFromRect(const Rect& r) {
  return "{{" + shortestText(r.x) + ", " + shortestText(r.y) + "}, {" + shortestText(r.w) + ", " + shortestText(r.h) +
         "}}";
}

Rect rectFromString(std::string_view text) {
  Reader reader(text);
  Rect r;
  if (reader.expect('{') && readPair(reader, r.x, r.y) && reader.expect(',') && readPair(reader, r.w, r.h) &&
      reader.expect('}') && reader.atEnd() && onSomeScreen(r))
    return r;
  return {};
}

}  // namespace qm
