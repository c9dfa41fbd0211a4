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
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  std::size_t i = 0;
  auto at = [&](std::size_t k) { return static_cast<unsigned>(static_cast<unsigned char>(bytes[k])); };
  for (; i + 3 <= bytes.size(); i += 3) {
    unsigned n = at(i) << 16 | at(i + 1) << 8 | at(i + 2);
    out += alphabet[n >> 18];
    out += alphabet[(n >> 12) & 63];
    out += alphabet[(n >> 6) & 63];
    out += alphabet[n & 63];
  }
  if (std::size_t rest = bytes.size() - i) {
    unsigned n = at(i) << 16 | (rest == 2 ? at(i + 1) << 8 : 0);
    out += alphabet[n >> 18];
    out += alphabet[(n >> 12) & 63];
    out += rest == 2 ? alphabet[(n >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

int keptRows(int height, double cropTop) {
  if (!(cropTop > 0)) return height;
  int cut = static_cast<int>(std::lround(height * cropTop));
  return std::max(1, height - cut);
}

std::optional<std::string> FrameEncoder::jpeg(const PixelFrame& frame, double cropTop) {
  if (!handle->tj || !frame.pixels || frame.width <= 0 || frame.height <= 0) return std::nullopt;
  int rows = keptRows(frame.height, cropTop);
  const unsigned char* top = frame.pixels + static_cast<std::size_t>(frame.height - rows) * frame.stride;
  unsigned char* out = nullptr;
  unsigned long size = 0;
  int rc = tjCompress2(handle->tj, top, frame.width, frame.stride, rows, TJPF_BGRX, &out, &size, TJSAMP_420, 60,
                       TJFLAG_FASTDCT);
  std::optional<std::string> result;
  if (rc == 0 && out && size > 0) result.emplace(reinterpret_cast<const char*>(out), size);
  tjFree(out);
  return result;
}

std::optional<std::string> FrameEncoder::base64JPEG(const PixelFrame& frame, double cropTop) {
  auto data = jpeg(frame, cropTop);
  if (!data) return std::nullopt;
  return base64(*data);
}

}  // namespace qm
