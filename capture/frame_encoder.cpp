#include "capture/frame_encoder.h"

#include <turbojpeg.h>

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace qm {

namespace {

// Every pair of base64 characters for 12 bits, so three bytes take two look-ups.
constexpr auto kPairs = [] {
  constexpr char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::array<char, 2 * 4096> pairs{};
  for (int i = 0; i < 4096; ++i) {
    pairs[2 * i] = alphabet[i >> 6];
    pairs[2 * i + 1] = alphabet[i & 63];
  }
  return pairs;
}();

void putPair(char* out, unsigned twelveBits) { std::memcpy(out, &kPairs[2 * twelveBits], 2); }

}  // namespace

void base64Into(std::string_view bytes, std::string& text) {
  text.resize((bytes.size() + 2) / 3 * 4);
  const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t size = bytes.size();
  char* out = text.data();
  std::size_t i = 0;
  // Six bytes at a time from one big-endian load of eight, while eight are there to load.
  for (; i + 8 <= size; i += 6, out += 8) {
    std::uint64_t n;
    std::memcpy(&n, in + i, 8);
    if constexpr (std::endian::native == std::endian::little) n = __builtin_bswap64(n);
    putPair(out, (n >> 52) & 4095);
    putPair(out + 2, (n >> 40) & 4095);
    putPair(out + 4, (n >> 28) & 4095);
    putPair(out + 6, (n >> 16) & 4095);
  }
  for (; i + 3 <= size; i += 3, out += 4) {
    unsigned n = unsigned(in[i]) << 16 | unsigned(in[i + 1]) << 8 | in[i + 2];
    putPair(out, n >> 12);
    putPair(out + 2, n & 4095);
  }
  if (std::size_t rest = size - i) {
    unsigned n = unsigned(in[i]) << 16 | (rest == 2 ? unsigned(in[i + 1]) << 8 : 0);
    putPair(out, n >> 12);
    putPair(out + 2, n & 4095);
    out[3] = '=';
    if (rest == 1) out[2] = '=';
  }
}

std::string base64(std::string_view bytes) {
  std::string text;
  base64Into(bytes, text);
  return text;
}

int keptRows(int height, double cropTop) {
  if (!(cropTop > 0)) return height;
  if (cropTop >= 1) return 1;  // and no rounding of a product beyond any integer
  int cut = static_cast<int>(std::lround(height * cropTop));
  return std::max(1, height - cut);
}

struct FrameEncoder::Handle {
  struct TJFree {
    void operator()(unsigned char* p) const { tjFree(p); }
  };
  tjhandle tj = tjInitCompress();
  std::unique_ptr<unsigned char, TJFree> buffer;
  unsigned long capacity = 0;
  ~Handle() {
    if (tj) tjDestroy(tj);
  }
  // Grows the buffer to the worst case for the size; the same size again keeps it.
  bool reserve(int width, int rows) {
    unsigned long need = tjBufSize(width, rows, TJSAMP_420);
    if (need == static_cast<unsigned long>(-1)) return false;
    if (need <= capacity) return true;
    buffer.reset(tjAlloc(static_cast<int>(need)));
    capacity = buffer ? need : 0;
    return buffer != nullptr;
  }
};

FrameEncoder::FrameEncoder() : handle(std::make_unique<Handle>()) {}
FrameEncoder::~FrameEncoder() = default;

std::optional<std::string_view> FrameEncoder::jpeg(const PixelFrame& frame, double cropTop) {
  if (!handle->tj || !frame.pixels || frame.width <= 0 || frame.height <= 0) return std::nullopt;
  int rows = keptRows(frame.height, cropTop);
  if (!handle->reserve(frame.width, rows)) return std::nullopt;
  const unsigned char* top = frame.pixels + static_cast<std::size_t>(frame.height - rows) * frame.stride;
  unsigned char* out = handle->buffer.get();
  unsigned long size = handle->capacity;
  int rc = tjCompress2(handle->tj, top, frame.width, frame.stride, rows, TJPF_BGRX, &out, &size, TJSAMP_420, 60,
                       TJFLAG_FASTDCT | TJFLAG_NOREALLOC);
  if (rc != 0 || size == 0) return std::nullopt;
  return std::string_view(reinterpret_cast<const char*>(out), size);
}

bool FrameEncoder::base64JPEG(const PixelFrame& frame, double cropTop, std::string& text) {
  auto bytes = jpeg(frame, cropTop);
  if (!bytes) return false;
  base64Into(*bytes, text);
  return true;
}

}  // namespace qm
