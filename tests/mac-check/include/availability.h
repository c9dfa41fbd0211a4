// Apple's availability macro in its one-platform form; clang checks it only for Apple targets.
#pragma once

#ifndef API_AVAILABLE
#define API_AVAILABLE(platform) QM_CHECK_AVAILABLE_##platform
#define QM_CHECK_AVAILABLE_macos(version) __attribute__((availability(macos, introduced = version)))
#endif
