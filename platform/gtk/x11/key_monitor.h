// Global keys through XInput2 raw events on the root window, and the local monitor of our own windows.
#pragma once

#include <functional>

#include "platform/desktop.h"

namespace qm::gtk {

// False where the display is not X11 or has no XInput2: global keys cannot work there.
bool globalKeysAvailable();
// Raw key events, delivered only while none of our windows has the focus.
bool installGlobalKeyMonitor(std::function<void(const KeyEvent&)> handler);
// Sees every key event of our windows before it is dispatched; a false answer swallows it.
void installLocalKeyMonitor(std::function<bool(const KeyEvent&)> handler);

}  // namespace qm::gtk
