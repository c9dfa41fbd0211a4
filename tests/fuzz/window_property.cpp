// A root property of any type and item size, laid out as Xlib hands it over (32-bit items as longs).
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/gtk/x11/window_property.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const Atom type = data[0] % 2 ? XA_WINDOW : XA_CARDINAL;
  const int formats[] = {8, 16, 32}, format = formats[data[1] % 3];
  const std::size_t item = format == 32 ? sizeof(long) : format / 8;
  std::vector<unsigned char> bytes(data + 2, data + size);
  const unsigned long count = bytes.size() / item;
  bytes.resize(count * item);  // Xlib's allocation is exactly the items
  for (unsigned long id : qm::gtk::windowsIn(type, format, count, bytes.empty() ? nullptr : bytes.data()))
    if (id == 0xdeadbeef) std::memset(bytes.data(), 0, bytes.size());  // the ids are read
  return 0;
}
