// Jet's text comparison rules as the engine applies them: ASCII letters compare without
// regard to case, every other character exactly; trailing blanks are significant.
#pragma once

#include <string_view>

namespace zorvast::channels::jet {

// <0, 0 or >0, like strcmp, on ASCII-folded UTF-8 bytes (code point order otherwise).
int compareTextFolded(std::string_view a, std::string_view b);

bool equalsTextFolded(std::string_view a, std::string_view b);

// `like` with '*' or '%' as a wildcard only as the first and/or the last character of the
// pattern; every other character, a '*' in the middle included, stands for itself.
bool likeMatches(std::string_view text, std::string_view pattern);

} // namespace zorvast::channels::jet
