#include "common/Files.h"

#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace zorvast::common {
namespace {

namespace fs = std::filesystem;
using zorvast::testing::readAll;
using zorvast::testing::TempFolder;

TEST(Files, WriteThenReadBinaryBytes) {
    TempFolder temp;
    const std::string path = temp.file("data.bin");
    const std::string bytes("\x00\xFF\r\n\x1A\xCE\xC0", 7);
    ASSERT_TRUE(writeFileBytes(path, bytes));
    EXPECT_EQ(readFileBytes(path), bytes);
    EXPECT_EQ(fileSize(path), 7u);
    EXPECT_TRUE(fileExists(path));

    // Truncates: a shorter second write leaves nothing of the first.
    ASSERT_TRUE(writeFileBytes(path, "ab"));
    EXPECT_EQ(readAll(path), "ab");
    ASSERT_TRUE(writeFileBytes(path, ""));
    EXPECT_EQ(readFileBytes(path), std::string());
    EXPECT_EQ(fileSize(path), 0u);
}

TEST(Files, LargeContentSurvives) {
    TempFolder temp;
    std::string big;
    for (int i = 0; i < 300000; ++i) {
        big += static_cast<char>(i * 31 % 251);
    }
    ASSERT_TRUE(writeFileBytes(temp.file("big"), big));
    EXPECT_EQ(readFileBytes(temp.file("big")), big);
}

TEST(Files, MissingAndWrongKindsOfPath) {
    TempFolder temp;
    EXPECT_EQ(readFileBytes(temp.file("absent")), std::nullopt);
    EXPECT_EQ(readFileBytes(temp.path()), std::nullopt); // a folder
    EXPECT_EQ(fileSize(temp.file("absent")), std::nullopt);
    EXPECT_EQ(fileSize(temp.path()), std::nullopt);
    EXPECT_FALSE(fileExists(temp.file("absent")));
    EXPECT_FALSE(fileExists(temp.path()));
    EXPECT_TRUE(folderExists(temp.path()));
    EXPECT_FALSE(folderExists(temp.file("absent")));
    EXPECT_FALSE(writeFileBytes(temp.file("no/such/folder/file"), "x"));
    EXPECT_FALSE(writeFileBytes(temp.path(), "x"));
}

TEST(Files, AtomicWriteReplacesAndLeavesNoTemporaryFile) {
    TempFolder temp;
    const std::string path = temp.file("ready.txt");
    ASSERT_TRUE(writeFileAtomically(path, "old content that is longer"));
    EXPECT_EQ(readAll(path), "old content that is longer");
    ASSERT_TRUE(writeFileAtomically(path, "new"));
    EXPECT_EQ(readAll(path), "new");
    int count = 0;
    for (const auto& item : fs::directory_iterator(temp.path())) {
        EXPECT_EQ(item.path().filename(), "ready.txt");
        ++count;
    }
    EXPECT_EQ(count, 1);
}

TEST(Files, AtomicWriteFailureKeepsTheOldFile) {
    TempFolder temp;
    EXPECT_FALSE(writeFileAtomically(temp.file("no/such/folder/file"), "x"));
    // Renaming onto a non-empty folder fails; the folder and its content stay.
    temp.write("busy/inside.txt", "keep");
    EXPECT_FALSE(writeFileAtomically(temp.file("busy"), "x"));
    EXPECT_EQ(readAll(temp.file("busy/inside.txt")), "keep");
    int count = 0;
    for ([[maybe_unused]] const auto& item : fs::directory_iterator(temp.path())) {
        ++count;
    }
    EXPECT_EQ(count, 1); // no temporary file left behind
}

TEST(Files, CreateAndRemoveTrees) {
    TempFolder temp;
    const std::string root = temp.file("work");
    ASSERT_TRUE(createFolders(root + "/a/b/c"));
    EXPECT_TRUE(createFolders(root + "/a/b/c")); // already there
    temp.write("work/a/b/c/file.txt", "x");
    temp.write("work/top.txt", "y");
    fs::create_symlink(temp.file("outside.txt"), root + "/dangling");
    temp.write("outside.txt", "must survive");
    fs::create_directory_symlink(temp.path(), root + "/a/loop");

    EXPECT_TRUE(removeTree(root));
    EXPECT_FALSE(fs::exists(fs::symlink_status(root)));
    EXPECT_EQ(readAll(temp.file("outside.txt")), "must survive"); // links are not followed
    EXPECT_TRUE(removeTree(root));                                // nothing there: done
    EXPECT_TRUE(removeTree(temp.file("outside.txt")));            // a single file
    EXPECT_FALSE(fs::exists(temp.file("outside.txt")));
    temp.write("plain", "x");
    EXPECT_FALSE(createFolders(temp.file("plain/sub"))); // a file is in the way
}

} // namespace
} // namespace zorvast::common
