#include "platform/gtk/portal/replies.h"

namespace qm::gtk {
namespace {

bool isVardict(GVariant* v) { return v && g_variant_is_of_type(v, G_VARIANT_TYPE_VARDICT); }

}  // namespace

bool readResponse(GVariant* parameters, PortalResponse& response) {
  if (!parameters || !g_variant_is_of_type(parameters, G_VARIANT_TYPE("(ua{sv})"))) return false;
  g_clear_pointer(&response.results, g_variant_unref);
  g_variant_get(parameters, "(u@a{sv})", &response.code, &response.results);
  return true;
}

std::string textEntry(GVariant* dict, const char* key) {
  const char* value = nullptr;
  if (isVardict(dict) && (g_variant_lookup(dict, key, "&s", &value) || g_variant_lookup(dict, key, "&o", &value)))
    return value;
  return "";
}

std::string sessionHandle(GVariant* results) { return textEntry(results, "session_handle"); }

std::optional<std::uint32_t> firstStreamNode(GVariant* results) {
  if (!isVardict(results)) return std::nullopt;
  g_autoptr(GVariant) streams = g_variant_lookup_value(results, "streams", G_VARIANT_TYPE("a(ua{sv})"));
  if (!streams || g_variant_n_children(streams) == 0) return std::nullopt;
  std::uint32_t node = 0;
  g_variant_get_child(streams, 0, "(u@a{sv})", &node, nullptr);
  return node;
}

std::map<std::string, std::string> shortcutTriggers(GVariant* list) {
  std::map<std::string, std::string> found;
  if (!list || !g_variant_is_of_type(list, G_VARIANT_TYPE("a(sa{sv})"))) return found;
  GVariantIter iter;
  g_variant_iter_init(&iter, list);
  const char* id = nullptr;
  GVariant* info = nullptr;
  while (g_variant_iter_next(&iter, "(&s@a{sv})", &id, &info)) {
    g_autoptr(GVariant) owned = info;
    found[id] = textEntry(owned, "trigger_description");
  }
  return found;
}

std::uint32_t unsignedEntry(GVariant* dict, const char* key) {
  std::uint32_t value = 0;
  if (isVardict(dict)) g_variant_lookup(dict, key, "u", &value);
  return value;
}

}  // namespace qm::gtk
