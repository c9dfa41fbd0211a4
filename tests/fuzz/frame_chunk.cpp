// A PipeWire buffer whose chunk claims any offset, size, row length and flags: each row of the picture
// it is found to hold is read in full, inside the buffer's own memory.
#include <cstring>
#include <numeric>
#include <vector>

#include "platform/gtk/portal/frame_chunk.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  struct {
    std::uint32_t maxsize, offset, chunkSize;
    std::int32_t stride, flags;
    std::uint16_t width, height;
  } claim;
  if (size < sizeof claim) return 0;
  std::memcpy(&claim, data, sizeof claim);
  std::vector<std::uint8_t> memory(claim.maxsize % 65536, 0x80);
  spa_chunk chunk{claim.offset, claim.chunkSize, claim.stride, claim.flags};
  spa_data block{};
  block.maxsize = static_cast<std::uint32_t>(memory.size());
  block.data = memory.empty() ? nullptr : memory.data();
  block.chunk = &chunk;
  spa_buffer buffer{};
  buffer.n_datas = 1;
  buffer.datas = &block;
  const int width = claim.width % 512, height = claim.height % 512;
  if (auto picture = qm::gtk::pictureIn(buffer, width, height)) {
    unsigned sum = 0;
    for (int y = 0; y < height; ++y) {
      const auto* row = picture->pixels + std::size_t(y) * picture->stride;
      sum = std::accumulate(row, row + std::size_t(width) * 4, sum);
    }
    if (sum == 1) std::memset(memory.data(), 0, memory.size());
  }
  return 0;
}
