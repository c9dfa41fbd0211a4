// The persisted text form of a rectangle, {{x, y}, {w, h}}.
#pragma once

#include <string>
#include <string_view>

#include "platform/geometry.h"

namespace qm {

std::string stringFromRect(const Rect& r);
// Text it cannot read, or a rectangle no screen could hold, gives the zero rectangle.
Rect rectFromString(std::string_view text);

}  // namespace qm
