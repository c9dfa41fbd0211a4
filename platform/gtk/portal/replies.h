// What the desktop's portal says, read from messages of any shape: anything of another type than the
// portal's own counts as absent, so a portal (or any bus client) cannot make us read past what it sent.
#pragma once

#include <gio/gio.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace qm::gtk {

// The portal's one object path.
inline constexpr const char* kPortalPath = "/org/freedesktop/portal/desktop";

struct PortalResponse {
  std::uint32_t code = 2;       // 0: done; 1: the player cancelled; 2: the desktop refused
  GVariant* results = nullptr;  // a{sv}, owned by the response
  PortalResponse() = default;
  PortalResponse(const PortalResponse&) = delete;
  PortalResponse& operator=(const PortalResponse&) = delete;
  ~PortalResponse() { g_clear_pointer(&results, g_variant_unref); }
};

// A Request's Response signal (ua{sv}); false if the message is not one.
bool readResponse(GVariant* parameters, PortalResponse& response);
// The session a CreateSession answer names: a string in the portals of today, an object path in later ones.
std::string sessionHandle(GVariant* results);
// A string or object path entry of a vardict; empty when missing or of another type.
std::string textEntry(GVariant* dict, const char* key);
// The ScreenCast Start answer's first stream: its PipeWire node.
std::optional<std::uint32_t> firstStreamNode(GVariant* results);
// Shortcut id -> the desktop's description of its trigger, from an a(sa{sv}) list.
std::map<std::string, std::string> shortcutTriggers(GVariant* list);
// An unsigned entry of a vardict (a property set, say); 0 when missing or of another type.
std::uint32_t unsignedEntry(GVariant* dict, const char* key);

}  // namespace qm::gtk
