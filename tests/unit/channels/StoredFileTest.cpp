#include "channels/store/StoredFile.h"

#include <gtest/gtest.h>

#include <cstring>

namespace zorvast::channels::store {
namespace {

Bytes plainDatabase(std::size_t size) {
    Bytes bytes(size);
    std::memcpy(bytes.data(), kJetHeaderPrefix, kJetHeaderLength);
    for (std::size_t i = kJetHeaderLength; i < size; ++i) {
        bytes[i] = static_cast<std::uint8_t>(i * 7 + 3);
    }
    return bytes;
}

Bytes startingWith(std::string_view head, std::size_t size) {
    Bytes bytes(size, 0x5a);
    std::memcpy(bytes.data(), head.data(), head.size());
    return bytes;
}

TEST(StoredFile, Classification) {
    struct Case {
        const char* what;
        Bytes bytes;
        StoredKind expected;
    };
    const Case cases[] = {
        {"stored, exactly the minimum", startingWith("plumo_str", 500000), StoredKind::Stored},
        {"stored, one byte short", startingWith("plumo_str", 499999), StoredKind::TooShort},
        {"empty", {}, StoredKind::TooShort},
        {"plain database", plainDatabase(600000), StoredKind::PlainDatabase},
        {"other bytes", startingWith("PLUMO_STR", 600000), StoredKind::Unknown},
        {"marker cut short", startingWith("plumo_st", 600000), StoredKind::Unknown},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(classifyStoredBytes(c.bytes), c.expected) << c.what;
    }
}

TEST(StoredFile, StoreAndRestoreAreInverse) {
    const Bytes database = plainDatabase(500057);
    const Bytes stored = storedFromDatabase(database);
    ASSERT_EQ(stored.size(), database.size() - 57);
    EXPECT_EQ(std::memcmp(stored.data(), "plumo_str", 9), 0);
    EXPECT_EQ(classifyStoredBytes(stored), StoredKind::Stored);

    const Bytes copy = workingCopyFromStored(stored);
    EXPECT_EQ(copy, database);
    EXPECT_EQ(storedFromDatabase(copy), stored);
}

TEST(StoredFile, TheWorkingCopyPutsTheHeaderBackWhateverTheFileHeldThere) {
    Bytes database = plainDatabase(4096);
    database[30] ^= 0xff; // a header byte the stored form drops
    const Bytes copy = workingCopyFromStored(storedFromDatabase(database));
    EXPECT_EQ(std::memcmp(copy.data(), kJetHeaderPrefix, kJetHeaderLength), 0);
    EXPECT_TRUE(std::equal(copy.begin() + 66, copy.end(), database.begin() + 66));
}

TEST(StoredFile, RefusesWhatItCannotConvert) {
    EXPECT_TRUE(storedFromDatabase(Bytes(65)).empty());
    EXPECT_TRUE(workingCopyFromStored(startingWith("not_store", 600000)).empty());
    EXPECT_TRUE(workingCopyFromStored(Bytes(3)).empty());
    // The marker alone is a stored file of an empty body: the header only.
    EXPECT_EQ(workingCopyFromStored(startingWith("plumo_str", 9)).size(), kJetHeaderLength);
}

} // namespace
} // namespace zorvast::channels::store
