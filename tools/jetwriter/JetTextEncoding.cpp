#include "JetTextEncoding.h"
#include "JetFormat.h"

#include <algorithm>
#include <cstdint>

namespace jetwriter::detail {

bool toUtf16(const std::string& s, std::u16string& out, std::string& error) {
    out.clear();
    std::size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        std::uint32_t cp = 0;
        std::size_t extra = 0;
        if (c < 0x80) {
            cp = c;
        } else if (c >= 0xC2 && c <= 0xDF) {
            cp = c & 0x1F;
            extra = 1;
        } else if (c >= 0xE0 && c <= 0xEF) {
            cp = c & 0x0F;
            extra = 2;
        } else if (c >= 0xF0 && c <= 0xF4) {
            error = "characters outside the Basic Multilingual Plane are not supported";
            return false;
        } else {
            error = "not valid UTF-8";
            return false;
        }
        if (extra > 0 && i + extra >= s.size()) {
            error = "not valid UTF-8 (truncated sequence)";
            return false;
        }
        for (std::size_t k = 1; k <= extra; ++k) {
            const auto cc = static_cast<unsigned char>(s[i + k]);
            if ((cc & 0xC0) != 0x80) {
                error = "not valid UTF-8";
                return false;
            }
            cp = (cp << 6) | (cc & 0x3F);
        }
        if ((extra == 2 && cp < 0x800) || (cp >= 0xD800 && cp <= 0xDFFF)) {
            error = "not valid UTF-8";
            return false;
        }
        if (cp == 0) {
            error = "contains the character U+0000";
            return false;
        }
        out.push_back(static_cast<char16_t>(cp));
        i += extra + 1;
    }
    return true;
}

std::u16string lowerAscii(std::u16string s) {
    for (char16_t& u : s) {
        if (u >= 'A' && u <= 'Z') {
            u = static_cast<char16_t>(u + 32);
        }
    }
    return s;
}

std::string encodeText(const std::u16string& units) {
    const bool compress =
        units.size() > 2 &&
        std::all_of(units.begin(), units.end(), [](char16_t u) { return u >= 1 && u <= 0xFF; });
    std::string out;
    if (compress) {
        out.reserve(units.size() + 2);
        out.push_back(static_cast<char>(0xFF));
        out.push_back(static_cast<char>(0xFE));
        for (char16_t u : units) {
            out.push_back(static_cast<char>(u));
        }
    } else {
        out.reserve(units.size() * 2);
        for (char16_t u : units) {
            append16(out, static_cast<std::uint16_t>(u));
        }
    }
    return out;
}

} // namespace jetwriter::detail
