// Saved rectangle text: whatever reads back is a place a screen could hold, and writes back the same.
#include <cmath>
#include <cstdlib>

#include "app/rect_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  qm::Rect r = qm::rectFromString(std::string_view(reinterpret_cast<const char*>(data), size));
  for (double v : {r.x, r.y, r.w, r.h})
    if (!std::isfinite(v) || std::fabs(v) > 1e5) std::abort();
  if (r.w < 0 || r.h < 0 || !(qm::rectFromString(qm::stringFromRect(r)) == r)) std::abort();
  return 0;
}
