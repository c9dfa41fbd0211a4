// The built-in sign-in page and the hex texts of the exchange.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace qm {

std::string signInPageHTML(bool waiting = false);  // waiting: the browser sign-in is under way
std::string hex(std::span<const std::uint8_t> bytes);

}  // namespace qm
