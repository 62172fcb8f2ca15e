// Text as Jet 4 stores it: UTF-8 in, UTF-16 code units, and the compressed form on disk.
#pragma once

#include <string>

namespace jetwriter::detail {

// UTF-8 to UTF-16 code units. Only the BMP: mdbtools reads text as UCS-2, so a surrogate
// pair would come back as "??" there.
// False with the reason in `error` for anything else.
bool toUtf16(const std::string& s, std::u16string& out, std::string& error);

// ASCII letters lowered: how names are compared.
std::u16string lowerAscii(std::u16string s);

// Compressed form only where both readers decode it the same way: more than two characters,
// all in 1..0xFF, so the stream never needs a mode switch.
std::string encodeText(const std::u16string& units);

} // namespace jetwriter::detail
