#include <gtest/gtest.h>

#include <tuple>

#include "platform/gtk/x11/keycodes.h"

namespace qm::gtk {

// A sample of each kind of key (letters, digits, signs, editing, function, arrows, keypad, modifiers, the
// Japanese keys), then the whole table: one to one, and codes with no counterpart map to nothing.
TEST(Keycodes, KeysMapBothWaysOneToOne) {
  const std::tuple<const char*, unsigned, std::uint16_t> rows[] = {
      {"A", 38, 0},        {"V", 55, 9},      {"B", 56, 11},         {"Z", 52, 6},
      {"1", 10, 18},       {"0", 19, 29},     {"grave", 49, 50},     {"Return", 36, 36},
      {"Escape", 9, 53},   {"space", 65, 49}, {"BackSpace", 22, 51}, {"F8", 74, 100},
      {"F9", 75, 101},     {"F10", 76, 109},  {"F13", 191, 105},     {"Left", 113, 123},
      {"Prior", 112, 116}, {"KP_0", 90, 82},  {"KP_Enter", 104, 76}, {"Shift_L", 50, 56},
      {"Menu", 135, 110},  {"yen", 132, 93},  {"Ro", 97, 94},        {"KP_Separator", 129, 95},
  };
  for (const auto& [key, x, mac] : rows) {
    EXPECT_EQ(macKeyFromX(x), mac) << key;
    EXPECT_EQ(xKeyFromMac(mac), x) << key;
  }
  int known = 0;
  for (unsigned x = 0; x < 256; x++) {
    auto mac = macKeyFromX(x);
    known += mac.has_value();
    if (mac) {
      EXPECT_EQ(xKeyFromMac(*mac), x) << "X keycode " << x;
    }
  }
  EXPECT_GE(known, 110);
  // Print Screen, Scroll Lock and Pause have no macOS code.
  for (unsigned x : {0u, 8u, 107u, 78u, 127u, 255u, 1000u}) EXPECT_FALSE(macKeyFromX(x)) << x;
  for (std::uint16_t mac : {std::uint16_t{127}, std::uint16_t{200}, std::uint16_t{65535}})
    EXPECT_FALSE(xKeyFromMac(mac)) << mac;
}

}  // namespace qm::gtk
