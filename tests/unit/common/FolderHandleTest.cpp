// The folder layer against what another local user can plant: links and files in place of
// folders, loose modes.
#include "common/FolderHandle.h"
#include "common/Files.h"

#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

namespace zorvast::common {
namespace {

namespace fs = std::filesystem;
using testing::readAll;
using testing::TempFolder;

mode_t modeOf(const fs::path& path) {
    struct stat info {};
    EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
    return info.st_mode & 07777;
}

bool isLink(const fs::path& path) {
    std::error_code ec;
    return fs::is_symlink(fs::symlink_status(path, ec));
}

class FolderHandleTest : public ::testing::Test {
protected:
    TempFolder temp;
    fs::path work() const { return temp.path() / "work"; }
    FolderHandle openWork() {
        fs::create_directories(work());
        return *FolderHandle::open(work());
    }
};

TEST_F(FolderHandleTest, OpenRefusesALinkToAFolderAndAFile) {
    fs::create_directories(temp.path() / "real");
    fs::create_directory_symlink(temp.path() / "real", work());
    EXPECT_FALSE(FolderHandle::open(work()).has_value());
    temp.write("file", "x");
    EXPECT_FALSE(FolderHandle::open(temp.path() / "file").has_value());
    EXPECT_TRUE(FolderHandle::open(temp.path() / "real").has_value());
}

TEST_F(FolderHandleTest, NamesMustBeOneComponent) {
    const FolderHandle folder = openWork();
    for (const char* name : {"", ".", "..", "a/b", "../x", "/etc/passwd"}) {
        EXPECT_FALSE(folder.createFile(name).valid()) << name;
        EXPECT_FALSE(folder.replaceFile(name, "x")) << name;
        EXPECT_FALSE(folder.removeTree(name)) << name;
        EXPECT_FALSE(folder.makeFolder(name).has_value()) << name;
    }
    EXPECT_FALSE(fs::exists(temp.path() / "x"));
}

TEST_F(FolderHandleTest, CreateFileRefusesEverythingAlreadyThere) {
    const FolderHandle folder = openWork();
    const std::string victim = temp.write("victim.txt", "secret");
    fs::create_symlink(victim, work() / "link");
    fs::create_symlink(temp.path() / "nowhere", work() / "dangling");
    temp.write("work/existing", "old");
    for (const char* name : {"link", "dangling", "existing"}) {
        EXPECT_FALSE(folder.createFile(name).valid()) << name;
    }
    EXPECT_EQ(readAll(victim), "secret");
    EXPECT_FALSE(fs::exists(temp.path() / "nowhere"));
    EXPECT_EQ(readAll((work() / "existing").string()), "old");
}

TEST_F(FolderHandleTest, ReplaceFileReplacesAPlantedLinkInsteadOfWritingThroughIt) {
    const FolderHandle folder = openWork();
    const std::string victim = temp.write("victim.txt", "secret");
    fs::create_symlink(victim, work() / "city.tmp");
    ASSERT_TRUE(folder.replaceFile("city.tmp", "archive bytes", 0600));
    EXPECT_EQ(readAll(victim), "secret");
    EXPECT_FALSE(isLink(work() / "city.tmp"));
    EXPECT_EQ(readAll((work() / "city.tmp").string()), "archive bytes");
    EXPECT_EQ(modeOf(work() / "city.tmp"), 0600u);
    // Nothing else is left beside it.
    EXPECT_EQ(std::distance(fs::directory_iterator(work()), fs::directory_iterator()), 1);
}

TEST_F(FolderHandleTest, ReadingRefusesLinksAndNonFiles) {
    const FolderHandle folder = openWork();
    const std::string victim = temp.write("victim.txt", "secret");
    fs::create_symlink(victim, work() / "page.htm");
    fs::create_directories(work() / "sub");
    ASSERT_EQ(::mkfifo((work() / "fifo").c_str(), 0600), 0);
    for (const char* name : {"page.htm", "sub", "fifo", "missing"}) {
        EXPECT_FALSE(folder.readFile(name).has_value()) << name;
    }
    temp.write("work/plain", "content");
    EXPECT_EQ(folder.readFile("plain").value_or(""), "content");
}

TEST_F(FolderHandleTest, MakeFolderRefusesALinkOrFileInItsPlace) {
    const FolderHandle folder = openWork();
    fs::create_directories(temp.path() / "elsewhere");
    fs::create_directory_symlink(temp.path() / "elsewhere", work() / "linked");
    temp.write("work/file", "x");
    EXPECT_FALSE(folder.makeFolder("linked").has_value());
    EXPECT_FALSE(folder.makeFolder("file").has_value());
    EXPECT_FALSE(folder.makeFolders("linked/deeper").has_value());
    EXPECT_FALSE(fs::exists(temp.path() / "elsewhere" / "deeper"));
    const auto made = folder.makeFolders("a/b/c");
    ASSERT_TRUE(made.has_value());
    EXPECT_TRUE(made->replaceFile("f", "1"));
    EXPECT_EQ(readAll((work() / "a/b/c/f").string()), "1");
}

TEST_F(FolderHandleTest, RemoveTreeRemovesLinksWithoutFollowingThem) {
    const std::string victim = temp.write("outside/victim.txt", "secret");
    temp.write("work/tree/a/file", "1");
    temp.write("work/tree/b", "2");
    fs::create_directory_symlink(temp.path() / "outside", work() / "tree" / "a" / "dirlink");
    fs::create_symlink(victim, work() / "tree" / "filelink");
    const FolderHandle folder = *FolderHandle::open(work());
    EXPECT_TRUE(folder.removeTree("tree"));
    EXPECT_FALSE(fs::exists(work() / "tree"));
    EXPECT_EQ(readAll(victim), "secret");

    // The path form, used by the wipe at start and exit; a link in the folder's own place too.
    fs::create_directory_symlink(temp.path() / "outside", temp.path() / "satdata_temp");
    EXPECT_TRUE(removeTree(temp.path() / "satdata_temp"));
    EXPECT_FALSE(isLink(temp.path() / "satdata_temp"));
    EXPECT_EQ(readAll(victim), "secret");
    EXPECT_TRUE(removeTree(temp.path() / "never-there"));
}

TEST_F(FolderHandleTest, RemoveContentsEmptiesTheFolderOnly) {
    temp.write("outside/victim.txt", "secret");
    temp.write("work/a/b/c", "1");
    fs::create_directory_symlink(temp.path() / "outside", work() / "link");
    const FolderHandle folder = *FolderHandle::open(work());
    EXPECT_TRUE(folder.removeContents());
    EXPECT_TRUE(fs::is_directory(work()));
    EXPECT_TRUE(fs::is_empty(work()));
    EXPECT_TRUE(fs::exists(temp.path() / "outside" / "victim.txt"));
}

TEST_F(FolderHandleTest, RenameBetweenFoldersReplacesTheTarget) {
    temp.write("work/staged", "new");
    temp.write("target/data", "old");
    const FolderHandle from = *FolderHandle::open(work());
    const FolderHandle to = *FolderHandle::open(temp.path() / "target");
    EXPECT_TRUE(from.renameInto("staged", to, "data"));
    EXPECT_EQ(readAll((temp.path() / "target" / "data").string()), "new");
    EXPECT_FALSE(from.exists("staged"));
}

} // namespace
} // namespace zorvast::common
