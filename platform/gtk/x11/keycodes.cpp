#include "platform/gtk/x11/keycodes.h"

#include <array>
#include <utility>

namespace qm::gtk {
namespace {

// X keycode, macOS virtual key code.
// clang-format off
constexpr std::array<std::pair<unsigned, std::uint16_t>, 117> kKeys{{
    // Letters.
    {38, 0},  {56, 11}, {54, 8},  {40, 2},  {26, 14}, {41, 3},  {42, 5},  {43, 4},  {31, 34}, {44, 38},
    {45, 40}, {46, 37}, {58, 46}, {57, 45}, {32, 31}, {33, 35}, {24, 12}, {27, 15}, {39, 1},  {28, 17},
    {30, 32}, {55, 9},  {25, 13}, {53, 7},  {29, 16}, {52, 6},
    // Digits.
    {10, 18}, {11, 19}, {12, 20}, {13, 21}, {14, 23}, {15, 22}, {16, 26}, {17, 28}, {18, 25}, {19, 29},
    // Punctuation.
    {20, 27}, {21, 24}, {34, 33}, {35, 30}, {47, 41}, {48, 39}, {49, 50}, {51, 42}, {59, 43}, {60, 47},
    {61, 44}, {94, 10},
    // Function keys F1 to F20.
    {67, 122}, {68, 120}, {69, 99},  {70, 118}, {71, 96},  {72, 97},  {73, 98},  {74, 100}, {75, 101}, {76, 109},
    {95, 103}, {96, 111}, {191, 105}, {192, 107}, {193, 113}, {194, 106}, {195, 64}, {196, 79}, {197, 80},
    {198, 90},
    // Editing and navigation.
    {9, 53},   {36, 36},  {23, 48},  {65, 49},  {22, 51},  {119, 117}, {118, 114}, {110, 115}, {115, 119},
    {112, 116}, {117, 121}, {113, 123}, {114, 124}, {116, 125}, {111, 126},
    // Keypad.
    {90, 82}, {87, 83}, {88, 84}, {89, 85}, {83, 86}, {84, 87}, {85, 88}, {79, 89}, {80, 91}, {81, 92},
    {91, 65}, {63, 67}, {86, 69}, {106, 75}, {104, 76}, {82, 78}, {125, 81}, {77, 71},
    // Modifiers and volume.
    {50, 56}, {62, 60}, {37, 59}, {105, 62}, {64, 58}, {108, 61}, {133, 55}, {134, 54}, {66, 57},
    {121, 74}, {122, 73}, {123, 72},
    // Menu, and the JIS keys Yen, Ro and keypad comma.
    {135, 110}, {132, 93}, {97, 94}, {129, 95},
}};
// clang-format on

}  // namespace

std::optional<std::uint16_t> macKeyFromX(unsigned xKeycode) {
  for (auto [x, mac] : kKeys)
    if (x == xKeycode) return mac;
  return std::nullopt;
}

std::optional<unsigned> xKeyFromMac(std::uint16_t macKey) {
  for (auto [x, mac] : kKeys)
    if (mac == macKey) return x;
  return std::nullopt;
}

}  // namespace qm::gtk
