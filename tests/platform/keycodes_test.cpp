#include <gtest/gtest.h>

#include <cstdint>

#include "hotkeys/key_tables.h"
#include "platform/gtk/x11/keycodes.h"

namespace qm::gtk {

// The whole table: one to one, codes with no counterpart map to nothing, and every key one can bind has a name.
TEST(Keycodes, KeysMapBothWaysOneToOne) {
  int known = 0;
  const auto names = keyNamesTable();
  for (unsigned x = 0; x < 256; x++) {
    auto mac = macKeyFromX(x);
    known += mac.has_value();
    if (mac) {
      EXPECT_EQ(xKeyFromMac(*mac), x) << "X keycode " << x;
      EXPECT_TRUE(names.contains(*mac) || isModifierKey(*mac)) << "X keycode " << x;
    }
  }
  EXPECT_GE(known, 110);
  // Print Screen, Scroll Lock and Pause have no macOS code.
  for (unsigned x : {0u, 8u, 107u, 78u, 127u, 255u, 1000u}) EXPECT_FALSE(macKeyFromX(x)) << x;
  for (std::uint16_t mac : {std::uint16_t{127}, std::uint16_t{200}, std::uint16_t{65535}})
    EXPECT_FALSE(xKeyFromMac(mac)) << mac;
}

}  // namespace qm::gtk
