// Any bytes as each message a portal sends us, read as the clients read them.
#include "platform/gtk/portal/replies.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const char* const shapes[] = {"(ua{sv})", "(oa(sa{sv}))", "a(sa{sv})", "a{sv}", "(a{sv})"};
  if (size < 1) return 0;
  g_autoptr(GBytes) bytes = g_bytes_new(data + 1, size - 1);
  const GVariantType* type = G_VARIANT_TYPE(shapes[data[0] % G_N_ELEMENTS(shapes)]);
  g_autoptr(GVariant) message = g_variant_ref_sink(g_variant_new_from_bytes(type, bytes, FALSE));
  qm::gtk::PortalResponse response;
  GVariant* results = qm::gtk::readResponse(message, response) ? response.results : message;
  qm::gtk::sessionHandle(results);
  qm::gtk::textEntry(results, "restore_token");
  qm::gtk::firstStreamNode(results);
  qm::gtk::unsignedEntry(results, "version");
  qm::gtk::shortcutTriggers(results);
  if (g_variant_is_of_type(message, G_VARIANT_TYPE("(oa(sa{sv}))"))) {
    g_autoptr(GVariant) list = g_variant_get_child_value(message, 1);
    qm::gtk::shortcutTriggers(list);
  }
  return 0;
}
