// Window ids from an X property reply. Any client may set a property on the root, in any type and item
// size: only a list of windows in 32-bit items (which Xlib hands over as longs) is read as one.
#pragma once

#include <X11/X.h>
#include <X11/Xatom.h>

#include <cstring>
#include <vector>

namespace qm::gtk {

inline std::vector<unsigned long> windowsIn(Atom type, int format, unsigned long count, const unsigned char* data) {
  std::vector<unsigned long> ids;
  if (type != XA_WINDOW || format != 32 || !data) return ids;
  ids.resize(count);
  std::memcpy(ids.data(), data, count * sizeof(unsigned long));
  return ids;
}

}  // namespace qm::gtk
