// Which window the bodycam films, how much title bar it cuts and how large the frames are.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/capture.h"
#include "platform/desktop.h"

namespace qm {

std::optional<CaptureWindow> chooseGameWindow(const std::vector<CaptureWindow>& windows, const std::string& owner);
bool isFullScreen(const Rect& window, const std::vector<Screen>& screens);
double cropTopFor(const Rect& window, bool titleBar, const std::vector<Screen>& screens);
OutputSize outputSizeFor(const Rect& window);

}  // namespace qm
