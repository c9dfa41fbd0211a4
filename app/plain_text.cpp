#include "app/plain_text.h"

#include <cstdint>
#include <cstdio>

namespace qm {
namespace {

constexpr char32_t kInvalid = 0xFFFFFFFF;
constexpr std::string_view kEllipsis = "\u2026";

struct CodePoint {
  char32_t value;    // kInvalid for a byte that starts no well-formed sequence
  std::size_t size;  // bytes taken
};

// One UTF-8 sequence at the start of text (which is not empty); overlong forms and surrogates are invalid.
CodePoint decode(std::string_view text) {
  auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[i]); };
  std::uint8_t lead = byte(0);
  if (lead < 0x80) return {lead, 1};
  std::size_t size = lead >= 0xF0 && lead <= 0xF4 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 && lead < 0xE0 ? 2 : 0;
  if (size == 0 || text.size() < size) return {kInvalid, 1};
  char32_t value = lead & (0x7F >> size);
  for (std::size_t i = 1; i < size; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return {kInvalid, 1};
    value = (value << 6) | (byte(i) & 0x3F);
  }
  constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  bool wellFormed = value >= kSmallest[size] && value <= 0x10FFFF && (value < 0xD800 || value > 0xDFFF);
  return wellFormed ? CodePoint{value, size} : CodePoint{kInvalid, 1};
}

bool isControl(char32_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

// Embeddings, overrides and isolates reorder the text after them; the plain marks do not.
bool changesDirection(char32_t c) { return (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069); }

std::string escaped(char32_t c, std::uint8_t rawByte) {
  if (c == '\n') return "\\n";
  if (c == '\r') return "\\r";
  if (c == '\t') return "\\t";
  char buf[16];
  if (c == kInvalid || c < 0x80)
    std::snprintf(buf, sizeof buf, "\\x%02x", c == kInvalid ? rawByte : static_cast<unsigned>(c));
  else
    std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(c));
  return buf;
}

}  // namespace

std::string loggable(std::string_view text, std::size_t maxBytes) {
  std::string out;
  for (std::size_t pos = 0; pos < text.size();) {
    CodePoint cp = decode(text.substr(pos));
    std::string_view raw = text.substr(pos, cp.size);
    std::string piece = cp.value == kInvalid || isControl(cp.value) || changesDirection(cp.value)
                            ? escaped(cp.value, static_cast<std::uint8_t>(raw[0]))
                            : std::string(raw);
    if (out.size() + piece.size() > maxBytes) return out + std::string(kEllipsis);
    out += piece;
    pos += cp.size;
  }
  return out;
}

std::string displayable(std::string_view text, std::size_t maxChars, std::size_t maxLines) {
  std::string out;
  std::size_t chars = 0, lines = 0;
  for (std::size_t pos = 0; pos < text.size();) {
    CodePoint cp = decode(text.substr(pos));
    std::string_view raw = text.substr(pos, cp.size);
    pos += cp.size;
    if ((isControl(cp.value) && cp.value != '\n') || changesDirection(cp.value)) continue;
    if (++chars > maxChars) return out + std::string(kEllipsis);
    if (cp.value == '\n' && ++lines > maxLines)
      out += ' ';
    else
      out += cp.value == kInvalid ? std::string("\uFFFD") : std::string(raw);
  }
  return out;
}

}  // namespace qm
