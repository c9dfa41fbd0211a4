// Turns one frame into base64 JPEG text: top band cut, sRGB, quality 60. Used on the capture worker only.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/capture.h"

namespace qm {

std::string base64(std::string_view bytes);
// Rows kept after cutting the top share; the cut is rounded to the nearest whole row.
int keptRows(int height, double cropTop);

class FrameEncoder {
 public:
  FrameEncoder();
  ~FrameEncoder();
  FrameEncoder(const FrameEncoder&) = delete;
  FrameEncoder& operator=(const FrameEncoder&) = delete;

  std::optional<std::string> jpeg(const PixelFrame& frame, double cropTop);
  std::optional<std::string> base64JPEG(const PixelFrame& frame, double cropTop);

 private:
  struct Handle;
  std::unique_ptr<Handle> handle;
};

}  // namespace qm
