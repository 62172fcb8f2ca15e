#pragma once

#include <cstdint>
#include <span>

namespace zorvast::channels::store {

// The city archive compiled into the program: a ZIP with the one entry "city.dat".
std::span<const std::uint8_t> cityArchiveBytes();

} // namespace zorvast::channels::store
