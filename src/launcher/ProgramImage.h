// A check that a program file arrived whole: a copy cut short (a full disk, an interrupted
// restore) would otherwise be started and die somewhere in its first instructions.
#pragma once

#include <string_view>

namespace zorvast::launcher {

// True when `image` is an ELF executable of this machine's kind whose header, program headers,
// loaded segments and section header table all lie inside it.
bool programImageWhole(std::string_view image);

} // namespace zorvast::launcher
