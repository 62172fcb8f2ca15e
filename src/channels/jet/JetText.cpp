#include "channels/jet/JetText.h"

#include "common/Numbers.h"

#include <algorithm>
#include <cctype>
#include <cstddef>

namespace zorvast::channels::jet {

namespace {

unsigned char fold(char c) {
    const auto u = static_cast<unsigned char>(c);
    return (u >= 'A' && u <= 'Z') ? static_cast<unsigned char>(u + ('a' - 'A')) : u;
}

bool isWildcard(char c) {
    return c == '*' || c == '%';
}

bool sameFolded(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (fold(a[i]) != fold(b[i])) {
            return false;
        }
    }
    return true;
}

bool containsFolded(std::string_view text, std::string_view part) {
    if (part.empty()) {
        return true;
    }
    if (part.size() > text.size()) {
        return false;
    }
    // Folding only ever pairs ASCII letters: without one in the part, the plain search finds
    // the same places, and much faster.
    if (std::none_of(part.begin(), part.end(),
                     [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); })) {
        return text.find(part) != std::string_view::npos;
    }
    const auto it = std::search(text.begin(), text.end(), part.begin(), part.end(),
                                [](char x, char y) { return fold(x) == fold(y); });
    return it != text.end();
}

} // namespace

int compareTextFolded(std::string_view a, std::string_view b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char x = fold(a[i]);
        const unsigned char y = fold(b[i]);
        if (x != y) {
            return x < y ? -1 : 1;
        }
    }
    if (a.size() == b.size()) {
        return 0;
    }
    return a.size() < b.size() ? -1 : 1;
}

bool equalsTextFolded(std::string_view a, std::string_view b) {
    return sameFolded(a, b);
}

bool likeMatches(std::string_view text, std::string_view pattern) {
    bool leading = false;
    bool trailing = false;
    if (!pattern.empty() && isWildcard(pattern.front())) {
        leading = true;
        pattern.remove_prefix(1);
    }
    if (!pattern.empty() && isWildcard(pattern.back())) {
        trailing = true;
        pattern.remove_suffix(1);
    }
    if (leading && trailing) {
        return containsFolded(text, pattern);
    }
    if (pattern.size() > text.size()) {
        return false;
    }
    if (leading) {
        return sameFolded(text.substr(text.size() - pattern.size()), pattern);
    }
    if (trailing) {
        return sameFolded(text.substr(0, pattern.size()), pattern);
    }
    return sameFolded(text, pattern);
}

bool isFilterBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::optional<double> readFilterNumber(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && isFilterBlank(text[i])) {
        ++i;
    }
    std::size_t end = text.size();
    while (end > i && isFilterBlank(text[end - 1])) {
        --end;
    }
    const std::string_view core = text.substr(i, end - i);
    if (core.empty()) {
        return std::nullopt;
    }
    const auto digitsFrom = [&core](std::size_t& p) {
        std::size_t count = 0;
        while (p < core.size() && std::isdigit(static_cast<unsigned char>(core[p]))) {
            ++p;
            ++count;
        }
        return count;
    };
    std::size_t p = 0;
    if (core[p] == '+' || core[p] == '-') {
        ++p;
    }
    std::size_t digits = digitsFrom(p);
    if (p < core.size() && core[p] == '.') {
        ++p;
        digits += digitsFrom(p);
    }
    if (digits == 0) {
        return std::nullopt;
    }
    if (p < core.size() && (core[p] == 'e' || core[p] == 'E')) {
        std::size_t q = p + 1;
        if (q < core.size() && (core[q] == '+' || core[q] == '-')) {
            ++q;
        }
        if (digitsFrom(q) == 0) {
            return std::nullopt;
        }
        p = q;
    }
    if (p != core.size()) {
        return std::nullopt;
    }
    return common::parseLeadingNumber(core);
}

std::optional<bool> readFilterYesNo(std::string_view text) {
    for (std::string_view yes : {"true", "yes", "on"}) {
        if (equalsTextFolded(text, yes)) {
            return true;
        }
    }
    for (std::string_view no : {"false", "no", "off"}) {
        if (equalsTextFolded(text, no)) {
            return false;
        }
    }
    if (const auto n = readFilterNumber(text)) {
        return *n != 0.0;
    }
    return std::nullopt;
}

} // namespace zorvast::channels::jet
