#include "channels/store/StoredFile.h"

#include <algorithm>
#include <cstring>

namespace zorvast::channels::store {

namespace {

bool startsWithMarker(std::span<const std::uint8_t> bytes) {
    return bytes.size() >= kStoredMarker.size() &&
           std::memcmp(bytes.data(), kStoredMarker.data(), kStoredMarker.size()) == 0;
}

} // namespace

StoredKind classifyStoredBytes(std::span<const std::uint8_t> bytes) {
    return classifyStoredHead(bytes, bytes.size());
}

StoredKind classifyStoredHead(std::span<const std::uint8_t> head, std::uint64_t totalSize) {
    if (totalSize < kMinimumStoredSize) {
        return StoredKind::TooShort;
    }
    if (head.size() >= kJetHeaderLength &&
        std::memcmp(head.data(), kJetHeaderPrefix, kJetHeaderLength) == 0) {
        return StoredKind::PlainDatabase;
    }
    return startsWithMarker(head) ? StoredKind::Stored : StoredKind::Unknown;
}

Bytes storedFromDatabase(std::span<const std::uint8_t> database) {
    if (database.size() < kJetHeaderLength) {
        return {};
    }
    Bytes stored(kStoredMarker.begin(), kStoredMarker.end());
    stored.insert(stored.end(), database.begin() + kJetHeaderLength, database.end());
    return stored;
}

Bytes workingCopyFromStored(std::span<const std::uint8_t> stored) {
    if (!startsWithMarker(stored)) {
        return {};
    }
    Bytes copy(std::begin(kJetHeaderPrefix), std::end(kJetHeaderPrefix));
    copy.insert(copy.end(), stored.begin() + kStoredMarker.size(), stored.end());
    return copy;
}

} // namespace zorvast::channels::store
