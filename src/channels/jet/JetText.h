// Jet's text comparison rules as the engine applies them: ASCII letters compare without
// regard to case, every other character exactly; trailing blanks are significant. Also how a
// filter's text is read as a number or a Yes/No.
#pragma once

#include <optional>
#include <string_view>

namespace zorvast::channels::jet {

// <0, 0 or >0, like strcmp, on ASCII-folded UTF-8 bytes (code point order otherwise).
int compareTextFolded(std::string_view a, std::string_view b);

bool equalsTextFolded(std::string_view a, std::string_view b);

// `like` with '*' or '%' as a wildcard only as the first and/or the last character of the
// pattern; every other character, a '*' in the middle included, stands for itself.
bool likeMatches(std::string_view text, std::string_view pattern);

// Space, tab, CR and LF: what may stand between the words of a filter.
bool isFilterBlank(char c);

// A number in full as a filter writes it, blanks around it allowed: optional sign, digits,
// point, exponent. Nothing for any other text.
std::optional<double> readFilterNumber(std::string_view text);

// Yes/No as text: true, yes, on / false, no, off in any case, or a number (non-zero is Yes).
std::optional<bool> readFilterYesNo(std::string_view text);

} // namespace zorvast::channels::jet
