// The folder layer and the private working area against what another local user can plant:
// links, files in place of folders, folders of another owner, loose modes.
#include "common/FolderHandle.h"
#include "common/Files.h"
#include "common/PrivateFolder.h"

#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>

namespace zorvast::common {
namespace {

namespace fs = std::filesystem;
using testing::readAll;
using testing::TempFolder;

constexpr uid_t kOtherUser = 65534; // nobody

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

// --- the private working area -------------------------------------------------------------

TEST(PrivateAreaChoice, RuntimeFolderOnlyWhenItIsReallyOurs) {
    TempFolder temp;
    const fs::path runtime = temp.path() / "run";
    fs::create_directories(runtime);
    ::chmod(runtime.c_str(), 0700);
    const fs::path cache = temp.path() / "cache";
    PrivateAreaEnvironment env{runtime.string(), cache.string(), temp.path().string()};
    EXPECT_EQ(privateAreaFor(env), runtime / "zorvast");

    ::chmod(runtime.c_str(), 0777); // anybody may write there: not private
    EXPECT_EQ(privateAreaFor(env), cache / "zorvast");
    ::chmod(runtime.c_str(), 0700);

    fs::create_directory_symlink(runtime, temp.path() / "runlink");
    env.runtimeDir = (temp.path() / "runlink").string();
    EXPECT_EQ(privateAreaFor(env), cache / "zorvast");

    env.runtimeDir = "relative/run";
    EXPECT_EQ(privateAreaFor(env), cache / "zorvast");
    env.runtimeDir.clear();
    EXPECT_EQ(privateAreaFor(env), cache / "zorvast");
    env.cacheHome = "relative";
    EXPECT_EQ(privateAreaFor(env), temp.path() / ".cache" / "zorvast");
    env.cacheHome.clear();
    EXPECT_EQ(privateAreaFor(env), temp.path() / ".cache" / "zorvast");
}

TEST(PrivateAreaChoice, DownloadsOutliveTheSessionInTheCache) {
    TempFolder temp;
    const fs::path runtime = temp.path() / "run";
    fs::create_directories(runtime);
    ::chmod(runtime.c_str(), 0700);
    const fs::path cache = temp.path() / "cache";
    PrivateAreaEnvironment env{runtime.string(), cache.string(), temp.path().string()};
    EXPECT_EQ(downloadAreaFor(env), cache / "zorvast" / "downloads");
    env.cacheHome = "relative";
    EXPECT_EQ(downloadAreaFor(env), temp.path() / ".cache" / "zorvast" / "downloads");
}

TEST(PrivateAreaChoice, RuntimeFolderOfAnotherUserIsPassedOver) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to give a folder to another user";
    }
    TempFolder temp;
    const fs::path runtime = temp.path() / "run";
    fs::create_directories(runtime);
    ::chmod(runtime.c_str(), 0700);
    ASSERT_EQ(::chown(runtime.c_str(), kOtherUser, kOtherUser), 0);
    const fs::path cache = temp.path() / "cache";
    EXPECT_EQ(privateAreaFor({runtime.string(), cache.string(), ""}), cache / "zorvast");
}

TEST(PrivateFolderCheck, CreatesMissingFoldersPrivate) {
    TempFolder temp;
    const fs::path area = temp.path() / "home" / ".cache" / "zorvast";
    EXPECT_EQ(preparePrivateFolder(area), PrivateFolderStatus::Ready);
    EXPECT_EQ(modeOf(area), 0700u);
    EXPECT_EQ(modeOf(area.parent_path()), 0700u);
    EXPECT_EQ(preparePrivateFolder(area), PrivateFolderStatus::Ready); // again: still fine
}

TEST(PrivateFolderCheck, TightensTheModeOfOurOwnFolder) {
    TempFolder temp;
    const fs::path area = temp.path() / "zorvast";
    fs::create_directories(area);
    for (mode_t loose : {0755u, 0777u, 01777u}) {
        ::chmod(area.c_str(), loose);
        EXPECT_EQ(preparePrivateFolder(area), PrivateFolderStatus::Ready) << std::oct << loose;
        EXPECT_EQ(modeOf(area), 0700u);
    }
}

TEST(PrivateFolderCheck, RefusesWhatIsNotARealFolder) {
    TempFolder temp;
    const fs::path elsewhere = temp.path() / "elsewhere";
    fs::create_directories(elsewhere);
    ::chmod(elsewhere.c_str(), 0755);
    struct Case {
        const char* what;
        std::function<void(const fs::path&)> plant;
        PrivateFolderStatus expected;
    };
    const Case cases[] = {
        {"a link to a folder",
         [&](const fs::path& p) { fs::create_directory_symlink(elsewhere, p); },
         PrivateFolderStatus::NotAFolder},
        {"a dangling link",
         [&](const fs::path& p) { fs::create_symlink(temp.path() / "nothing", p); },
         PrivateFolderStatus::NotAFolder},
        {"a plain file", [&](const fs::path& p) { std::ofstream(p) << "x"; },
         PrivateFolderStatus::NotAFolder},
    };
    int n = 0;
    for (const Case& c : cases) {
        const fs::path area = temp.path() / ("area" + std::to_string(n++));
        c.plant(area);
        EXPECT_EQ(preparePrivateFolder(area), c.expected) << c.what;
    }
    EXPECT_EQ(modeOf(elsewhere), 0755u); // the link's target was not touched
    EXPECT_FALSE(fs::exists(temp.path() / "nothing"));
}

TEST(PrivateFolderCheck, RefusesAFolderOfAnotherUser) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to give a folder to another user";
    }
    TempFolder temp;
    const fs::path area = temp.path() / "zorvast";
    fs::create_directories(area);
    ::chmod(area.c_str(), 0777);
    ASSERT_EQ(::chown(area.c_str(), kOtherUser, kOtherUser), 0);
    EXPECT_EQ(preparePrivateFolder(area), PrivateFolderStatus::OtherOwner);
    EXPECT_EQ(modeOf(area), 0777u); // left as it was
}

} // namespace
} // namespace zorvast::common
