// Turns one frame into base64 JPEG text: top band cut, sRGB, quality 60. Used on the capture worker only.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/capture.h"

namespace qm {

// Replaces text's contents with the base64 of bytes, reusing its storage.
void base64Into(std::string_view bytes, std::string& text);
std::string base64(std::string_view bytes);
// Rows kept after cutting the top share; the cut is rounded to the nearest whole row.
int keptRows(int height, double cropTop);

// Keeps one JPEG buffer of the worst-case size for the frame size, so frames of one stream allocate nothing.
class FrameEncoder {
 public:
  FrameEncoder();
  ~FrameEncoder();
  FrameEncoder(const FrameEncoder&) = delete;
  FrameEncoder& operator=(const FrameEncoder&) = delete;

  // The JPEG bytes, valid until the next call; none for a frame without an image.
  std::optional<std::string_view> jpeg(const PixelFrame& frame, double cropTop);
  // Writes the base64 JPEG into text, reusing its storage; false for a frame without an image.
  bool base64JPEG(const PixelFrame& frame, double cropTop, std::string& text);

 private:
  struct Handle;
  std::unique_ptr<Handle> handle;
};

}  // namespace qm
