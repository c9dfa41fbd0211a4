// What the contract tests share: turning the main context until a condition holds, and the stand-in portal's
// test hooks.
#pragma once
#include <gio/gio.h>

#include <chrono>
#include <functional>
#include <nlohmann/json.hpp>

// Turns the default main context until `done` holds, for at most 30 seconds; whether it held.
inline bool runUntil(const std::function<bool()>& done) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!done() && std::chrono::steady_clock::now() < end)
    if (!g_main_context_iteration(nullptr, FALSE)) g_usleep(200);
  return done();
}

// Calls a test hook of the stand-in portal on `bus` (the session bus if none); its JSON answer, null if none.
inline nlohmann::json standIn(const char* method, GVariant* args = nullptr, GDBusConnection* bus = nullptr) {
  g_autoptr(GDBusConnection) session = bus ? nullptr : g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
  g_autoptr(GVariant) reply = g_dbus_connection_call_sync(bus ? bus : session, "org.freedesktop.portal.Desktop",
                                                          "/org/quillmere/test", "org.quillmere.Test", method, args,
                                                          nullptr, G_DBUS_CALL_FLAGS_NONE, 10000, nullptr, nullptr);
  const gchar* text = nullptr;
  if (reply && g_variant_is_of_type(reply, G_VARIANT_TYPE("(s)"))) g_variant_get(reply, "(&s)", &text);
  return text ? nlohmann::json::parse(text) : nlohmann::json();
}
