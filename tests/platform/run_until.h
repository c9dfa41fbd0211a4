// Turns the default main context until `done` holds, for at most 30 seconds; whether it held.
#pragma once
#include <glib.h>

#include <chrono>
#include <functional>

inline bool runUntil(const std::function<bool()>& done) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!done() && std::chrono::steady_clock::now() < end)
    if (!g_main_context_iteration(nullptr, FALSE)) g_usleep(200);
  return done();
}
