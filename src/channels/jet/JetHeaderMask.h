// Jet 4 masks 128 bytes of its header page with an RC4 keystream under a fixed key; the reader's
// checks and the project's writer both need the same stream.
#pragma once

#include <array>
#include <utility>

namespace zorvast::channels::jet {

inline std::array<unsigned char, 128> jetHeaderMask() {
    const unsigned char key[4] = {0xC7, 0xDA, 0x39, 0x6B};
    std::array<unsigned char, 256> s{};
    for (int i = 0; i < 256; ++i) {
        s[i] = static_cast<unsigned char>(i);
    }
    for (int i = 0, j = 0; i < 256; ++i) {
        j = (j + s[i] + key[i % 4]) & 0xFF;
        std::swap(s[i], s[j]);
    }
    std::array<unsigned char, 128> out{};
    for (int n = 0, i = 0, j = 0; n < 128; ++n) {
        i = (i + 1) & 0xFF;
        j = (j + s[i]) & 0xFF;
        std::swap(s[i], s[j]);
        out[n] = s[(s[i] + s[j]) & 0xFF];
    }
    return out;
}

} // namespace zorvast::channels::jet
