#include "app/rect_text.h"

#include <array>
#include <charconv>
#include <cmath>

namespace qm {
namespace {

std::string number(double v) {
  if (v == 0) v = 0;  // no "-0"
  std::array<char, 32> buf{};
  auto [end, ec] = std::to_chars(buf.data(), buf.data() + buf.size(), v);
  return ec == std::errc() ? std::string(buf.data(), end) : "0";
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
    const char* begin = s.data() + pos;
    auto [end, ec] = std::from_chars(begin, s.data() + s.size(), out);
    if (ec != std::errc() || !std::isfinite(out)) return false;
    pos += static_cast<std::size_t>(end - begin);
    return true;
  }
  bool atEnd() {
    skipSpace();
    return pos == s.size();
  }

 private:
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
  return "{{" + number(r.x) + ", " + number(r.y) + "}, {" + number(r.w) + ", " + number(r.h) + "}}";
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
