// Packages changed after signing, the way an attacker or a failing disk changes them: bytes of
// an entry's stored data flipped in the archive file, or an entry's content replaced and the
// archive written again around the old signature (its CRCs then fit the new content).
#pragma once

#include "common/Zip.h"
#include "update/package/PackageSignature.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace zorvast::testing {

inline std::uint32_t littleEndianAt(const std::string& bytes, std::size_t at, int count) {
    std::uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i) {
        value =
            (value << 8) | static_cast<unsigned char>(bytes.at(at + static_cast<std::size_t>(i)));
    }
    return value;
}

// Where the stored (compressed) data of the entry `name` begins in the archive, and its length:
// from its local header, found through the central directory.
struct StoredData {
    std::size_t offset = 0;
    std::size_t length = 0;
};

inline StoredData storedDataOf(const std::string& archive, const std::string& name) {
    const std::size_t end = archive.rfind(std::string("PK\x05\x06", 4));
    if (end == std::string::npos) {
        throw std::runtime_error("no end record");
    }
    const std::size_t count = littleEndianAt(archive, end + 10, 2);
    std::size_t record = littleEndianAt(archive, end + 16, 4);
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t nameLength = littleEndianAt(archive, record + 28, 2);
        const std::size_t compressed = littleEndianAt(archive, record + 20, 4);
        const std::size_t local = littleEndianAt(archive, record + 42, 4);
        if (archive.substr(record + 46, nameLength) == name) {
            const std::size_t data = local + 30 + littleEndianAt(archive, local + 26, 2) +
                                     littleEndianAt(archive, local + 28, 2);
            return {data, compressed};
        }
        record += 46 + nameLength + littleEndianAt(archive, record + 30, 2) +
                  littleEndianAt(archive, record + 32, 2);
    }
    throw std::runtime_error("no entry " + name);
}

// The archive with a few bytes in the middle of `name`'s stored data flipped.
inline std::string withStoredBytesFlipped(std::string archive, const std::string& name) {
    const StoredData data = storedDataOf(archive, name);
    if (data.length < 16) {
        throw std::runtime_error("entry " + name + " too short to alter");
    }
    for (std::size_t i = 0; i < 4; ++i) {
        archive[data.offset + data.length / 2 + i] ^= static_cast<char>(0x5a);
    }
    return archive;
}

// The archive with every occurrence of the entry name `from` (local headers and central
// directory) renamed to `to`, of the same length: two entries of one name, with CRCs that fit.
inline std::string withEntryRenamed(std::string archive, const std::string& from,
                                    const std::string& to) {
    if (from.size() != to.size()) {
        throw std::runtime_error("names of different lengths");
    }
    bool found = false;
    for (std::size_t at = archive.find(from); at != std::string::npos;
         at = archive.find(from, at + 1)) {
        archive.replace(at, to.size(), to);
        found = true;
    }
    if (!found) {
        throw std::runtime_error("no entry " + from);
    }
    return archive;
}

// Signed entries with one entry's content changed and the old "zorvast.sig" kept: an archive
// written from them is whole (every CRC fits), only the signature no longer does.
inline std::vector<common::ArchiveEntry>
withContentChanged(std::vector<common::ArchiveEntry> signedEntries, const std::string& name,
                   std::size_t at = 0) {
    for (common::ArchiveEntry& entry : signedEntries) {
        if (entry.name == name) {
            entry.data.at(at) = static_cast<char>(entry.data.at(at) ^ 0x01);
            return signedEntries;
        }
    }
    throw std::runtime_error("no entry " + name);
}

} // namespace zorvast::testing
