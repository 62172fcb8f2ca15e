// The Jet 4 page format as the writer lays it out: sizes, column type codes and the
// little-endian stores every page is built with.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace jetwriter::detail {

inline constexpr std::size_t kPageSize = 4096;
inline constexpr std::size_t kDataPageHeader = 14;
inline constexpr std::size_t kMaxRowBytes = 4060;
inline constexpr std::size_t kMaxRowsPerPage = 255;
inline constexpr std::size_t kTdefHeader = 63;
inline constexpr std::size_t kColumnBlock = 25;
inline constexpr std::size_t kTdefContinuationHeader = 8;
inline constexpr std::uint32_t kInlineMapPages = 512;                 // 64-byte bitmap
inline constexpr std::uint32_t kBitmapPageSpan = (kPageSize - 4) * 8; // pages per 0x05 page
inline constexpr std::uint32_t kTdefMagic = 1625;
inline constexpr std::uint32_t kTablesContainerId = 0x0F000001;
inline constexpr std::uint32_t kSystemObjectFlags = 0x80000002;

inline constexpr std::uint8_t kTypeBool = 0x01;
inline constexpr std::uint8_t kTypeInt = 0x03;
inline constexpr std::uint8_t kTypeLong = 0x04;
inline constexpr std::uint8_t kTypeText = 0x0A;
inline constexpr std::uint8_t kTypeOle = 0x0B;

// Input that does not fit the format.
[[noreturn]] inline void fail(const std::string& message) {
    throw std::invalid_argument(message);
}

inline void put16(std::string& b, std::size_t at, std::uint16_t v) {
    b[at] = static_cast<char>(v & 0xFF);
    b[at + 1] = static_cast<char>(v >> 8);
}

inline void put32(std::string& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        b[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    }
}

inline void append16(std::string& b, std::uint16_t v) {
    b.push_back(static_cast<char>(v & 0xFF));
    b.push_back(static_cast<char>(v >> 8));
}

inline std::string inQuotes(const std::string& name) {
    return "\"" + name + "\"";
}

} // namespace jetwriter::detail
