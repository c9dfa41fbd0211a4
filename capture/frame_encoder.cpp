#include "capture/frame_encoder.h"

#include <turbojpeg.h>

#include <cmath>

namespace qm {

struct FrameEncoder::Handle {
  tjhandle tj = tjInitCompress();
  ~Handle() {
    if (tj) tjDestroy(tj);
  }
};

FrameEncoder::FrameEncoder() : handle(std::make_unique<Handle>()) {}
FrameEncoder::~FrameEncoder() = default;

std::string base64(std::string_view bytes) {
  static constexpr char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out((bytes.size() + 2) / 3 * 4, '=');
  auto at = [&](std::size_t k) { return static_cast<unsigned>(static_cast<unsigned char>(bytes[k])); };
  char* o = out.data();
  std::size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3, o += 4) {
    unsigned n = at(i) << 16 | at(i + 1) << 8 | at(i + 2);
    o[0] = alphabet[n >> 18];
    o[1] = alphabet[(n >> 12) & 63];
    o[2] = alphabet[(n >> 6) & 63];
    o[3] = alphabet[n & 63];
  }
  if (std::size_t rest = bytes.size() - i) {
    unsigned n = at(i) << 16 | (rest == 2 ? at(i + 1) << 8 : 0);
    o[0] = alphabet[n >> 18];
    o[1] = alphabet[(n >> 12) & 63];
    if (rest == 2) o[2] = alphabet[(n >> 6) & 63];
  }
  return out;
}

int keptRows(int height, double cropTop) {
  if (!(cropTop > 0)) return height;
  int cut = static_cast<int>(std::lround(height * cropTop));
  return std::max(1, height - cut);
}

namespace {

// TurboJPEG's own output buffer, freed however the conversion ends.
struct Compressed {
  unsigned char* data = nullptr;
  unsigned long size = 0;
  ~Compressed() { tjFree(data); }
  std::string_view bytes() const { return {reinterpret_cast<const char*>(data), size}; }
};

bool compress(tjhandle tj, const PixelFrame& frame, double cropTop, Compressed& out) {
  if (!tj || !frame.pixels || frame.width <= 0 || frame.height <= 0) return false;
  int rows = keptRows(frame.height, cropTop);
  const unsigned char* top = frame.pixels + static_cast<std::size_t>(frame.height - rows) * frame.stride;
  int rc = tjCompress2(tj, top, frame.width, frame.stride, rows, TJPF_BGRX, &out.data, &out.size, TJSAMP_420, 60,
                       TJFLAG_FASTDCT);
  return rc == 0 && out.data && out.size > 0;
}

}  // namespace

std::optional<std::string> FrameEncoder::jpeg(const PixelFrame& frame, double cropTop) {
  Compressed out;
  if (!compress(handle->tj, frame, cropTop, out)) return std::nullopt;
  return std::string(out.bytes());
}

std::optional<std::string> FrameEncoder::base64JPEG(const PixelFrame& frame, double cropTop) {
  Compressed out;
  if (!compress(handle->tj, frame, cropTop, out)) return std::nullopt;
  return base64(out.bytes());
}

}  // namespace qm
