// The picture in a PipeWire buffer, checked against what it claims: an empty or corrupted chunk carries
// none (a desktop sends one when only metadata changed), and a buffer of the size before a resize, or one
// whose offset or row length would lead past its memory, is never read.
#pragma once

#include <spa/buffer/buffer.h>

#include <cstdint>
#include <optional>

namespace qm::gtk {

struct ChunkPicture {
  const std::uint8_t* pixels;
  int stride;
};

// The first row of a whole `width` x `height` picture of 4-byte pixels in the buffer's first block.
inline std::optional<ChunkPicture> pictureIn(const spa_buffer& buffer, int width, int height) {
  if (buffer.n_datas == 0 || !buffer.datas || width <= 0 || height <= 0) return std::nullopt;
  const spa_data& d = buffer.datas[0];
  if (!d.data || !d.chunk || d.chunk->size == 0 || (d.chunk->flags & SPA_CHUNK_FLAG_CORRUPTED)) return std::nullopt;
  const std::int64_t row = std::int64_t(width) * 4, stride = d.chunk->stride > 0 ? d.chunk->stride : row;
  if (stride < row || stride > INT32_MAX || std::uint64_t(d.chunk->offset) + std::uint64_t(stride) * height > d.maxsize)
    return std::nullopt;
  return ChunkPicture{static_cast<const std::uint8_t*>(d.data) + d.chunk->offset, static_cast<int>(stride)};
}

}  // namespace qm::gtk
