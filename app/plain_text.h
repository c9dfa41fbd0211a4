// Text from outside (pages, callbacks, manifests) made safe to log or show: nothing in it starts a
// line of its own, hides, reorders what follows, or runs off without end.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace qm {

// One log line's worth: control and direction-changing characters and invalid bytes as visible escapes
// ("\n", "\x07", "\u202e"), cut after about maxBytes with "…".
std::string loggable(std::string_view text, std::size_t maxBytes);

// For a dialog: up to maxLines line feeds kept (later ones become blanks), other control and
// direction-changing characters removed, invalid bytes as U+FFFD, cut after maxChars characters with "…".
std::string displayable(std::string_view text, std::size_t maxChars, std::size_t maxLines);

}  // namespace qm
