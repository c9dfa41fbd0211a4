// A frame of any size with any crop share: the encoder reads only the frame's own rows.
#include <cstring>
#include <vector>

#include "capture/frame_encoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  double cropTop = 0;
  if (size < sizeof cropTop + 3) return 0;
  std::memcpy(&cropTop, data, sizeof cropTop);
  const int width = 1 + data[8] % 64, height = 1 + data[9] % 64, stride = width * 4 + data[10] % 16;
  std::vector<std::uint8_t> pixels(static_cast<std::size_t>(stride) * height, 0x80);
  static qm::FrameEncoder encoder;
  std::string text;
  encoder.base64JPEG({pixels.data(), width, height, stride}, cropTop, text);
  return 0;
}
