// Apple's availability macro in the one-platform form the checked code and these headers use,
// API_AVAILABLE(macos(12.3)); clang keeps the attribute but checks it only for Apple targets.
#pragma once

#ifndef API_AVAILABLE
#define API_AVAILABLE(platform) QM_CHECK_AVAILABLE_##platform
#define QM_CHECK_AVAILABLE_macos(version) __attribute__((availability(macos, introduced = version)))
#endif
