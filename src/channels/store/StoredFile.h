// The stored form of the channel database: the data package never carries a plain Jet file.
// Its first 66 bytes are replaced by a 9-byte marker, and the working copy puts them back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace zorvast::channels::store {

using Bytes = std::vector<std::uint8_t>;

inline constexpr std::string_view kStoredMarker = "plumo_str";
inline constexpr std::size_t kJetHeaderLength = 66;

// What a working copy starts with: page 0's signature, engine version 1 (Jet 4) and the
// first 42 bytes of the encoded header block the databases are written with.
inline constexpr unsigned char kJetHeaderPrefix[kJetHeaderLength] = {
    0x00, 0x01, 0x00, 0x00, 0x53, 0x74, 0x61, 0x6e, 0x64, 0x61, 0x72, 0x64, 0x20, 0x4a,
    0x65, 0x74, 0x20, 0x44, 0x42, 0x00, 0x01, 0x00, 0x00, 0x00, 0xb5, 0x6e, 0x03, 0x62,
    0x60, 0x09, 0xc2, 0x55, 0xe9, 0xa9, 0x67, 0x72, 0x40, 0x3f, 0x00, 0x9c, 0x7e, 0x9f,
    0x90, 0xff, 0x85, 0x9a, 0x31, 0xc5, 0x79, 0xba, 0xed, 0x30, 0xbc, 0xdf, 0xcc, 0x9d,
    0x63, 0xd9, 0xe4, 0xc3, 0x9f, 0x46, 0xfb, 0x8a, 0xbc, 0x4e};

// A stored file shorter than this is refused; a working copy must be larger than it.
inline constexpr std::uint64_t kMinimumStoredSize = 500000;

enum class StoredKind {
    TooShort = -2,
    PlainDatabase = 0,
    Stored = 1,
    Unknown = -3,
};

StoredKind classifyStoredBytes(std::span<const std::uint8_t> bytes);

// The same from a file's first bytes (at least 66 when the file has them) and its size.
StoredKind classifyStoredHead(std::span<const std::uint8_t> head, std::uint64_t totalSize);

// marker + database[66...]; empty when the database is shorter than its header.
Bytes storedFromDatabase(std::span<const std::uint8_t> database);

// kJetHeaderPrefix + stored[9...]; empty when the bytes do not start with the marker.
Bytes workingCopyFromStored(std::span<const std::uint8_t> stored);

} // namespace zorvast::channels::store
