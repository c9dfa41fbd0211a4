// X11 keycodes (the evdev set, X keycode = evdev code + 8) to and from macOS virtual key codes.
// Both name physical key positions, so a layout change alters neither.
#pragma once

#include <cstdint>
#include <optional>

namespace qm::gtk {

std::optional<std::uint16_t> macKeyFromX(unsigned xKeycode);
std::optional<unsigned> xKeyFromMac(std::uint16_t macKey);

}  // namespace qm::gtk
