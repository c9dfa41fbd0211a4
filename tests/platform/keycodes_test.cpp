#include <gtest/gtest.h>

#include "platform/gtk/x11/keycodes.h"

namespace qm::gtk {

TEST(Keycodes, StandardKeysMapBothWays) {
  struct Case {
    const char* key;
    unsigned x;
    std::uint16_t mac;
  };
  const Case cases[] = {
      {"A", 38, 0},           {"S", 39, 1},          {"V", 55, 9},           {"B", 56, 11},
      {"Q", 24, 12},          {"Y", 29, 16},         {"Z", 52, 6},           {"1", 10, 18},
      {"5", 14, 23},          {"0", 19, 29},         {"minus", 20, 27},      {"grave", 49, 50},
      {"backslash", 51, 42},  {"slash", 61, 44},     {"Return", 36, 36},     {"Tab", 23, 48},
      {"space", 65, 49},      {"BackSpace", 22, 51}, {"Escape", 9, 53},      {"F1", 67, 122},
      {"F8", 74, 100},        {"F9", 75, 101},       {"F10", 76, 109},       {"F12", 96, 111},
      {"F13", 191, 105},      {"F20", 198, 90},      {"Left", 113, 123},     {"Up", 111, 126},
      {"Home", 110, 115},     {"End", 115, 119},     {"Prior", 112, 116},    {"Delete", 119, 117},
      {"KP_0", 90, 82},       {"KP_9", 81, 92},      {"KP_Enter", 104, 76},  {"KP_Add", 86, 69},
      {"KP_Divide", 106, 75}, {"KP_Equal", 125, 81}, {"Shift_L", 50, 56},    {"Super_L", 133, 55},
      {"Menu", 135, 110},     {"yen", 132, 93},      {"Ro", 97, 94},         {"KP_Separator", 129, 95},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(macKeyFromX(c.x), c.mac) << c.key;
    EXPECT_EQ(xKeyFromMac(c.mac), c.x) << c.key;
  }
}

TEST(Keycodes, TableIsOneToOneAndUnknownCodesMapToNothing) {
  int known = 0;
  for (unsigned x = 0; x < 256; x++) {
    auto mac = macKeyFromX(x);
    if (!mac) continue;
    known++;
    EXPECT_EQ(xKeyFromMac(*mac), x) << "X keycode " << x;
  }
  EXPECT_GE(known, 110);
  // Print Screen, Scroll Lock and Pause have no macOS code.
  for (unsigned x : {0u, 8u, 107u, 78u, 127u, 255u, 1000u}) EXPECT_FALSE(macKeyFromX(x)) << x;
  for (std::uint16_t mac : {std::uint16_t{127}, std::uint16_t{200}, std::uint16_t{65535}})
    EXPECT_FALSE(xKeyFromMac(mac)) << mac;
}

}  // namespace qm::gtk
