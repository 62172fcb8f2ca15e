// The system calls behind common/platform: the private folders against what another local user
// can plant, locks between opens and processes, a program started apart from us, and where the
// shortcuts go.
#include "common/platform/Platform.h"

#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace zorvast::common::platform {
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

// --- the private working area -------------------------------------------------------------

TEST(PrivateAreaChoice, RuntimeFolderOnlyWhenItIsReallyOurs) {
    TempFolder temp;
    const fs::path runtime = temp.path() / "run";
    fs::create_directories(runtime);
    ::chmod(runtime.c_str(), 0700);
    const fs::path cache = temp.path() / "cache";
    Environment env{{"XDG_RUNTIME_DIR", runtime.string()},
                    {"XDG_CACHE_HOME", cache.string()},
                    {"HOME", temp.path().string()}};
    EXPECT_EQ(privateAreaFor(env), runtime / "zorvast");

    ::chmod(runtime.c_str(), 0777); // anybody may write there: not private
    EXPECT_EQ(privateAreaFor(env), cache / "zorvast");
    ::chmod(runtime.c_str(), 0700);

    fs::create_directory_symlink(runtime, temp.path() / "runlink");
    env["XDG_RUNTIME_DIR"] = (temp.path() / "runlink").string();
    EXPECT_EQ(privateAreaFor(env), cache / "zorvast");

    env["XDG_RUNTIME_DIR"] = "relative/run";
    EXPECT_EQ(privateAreaFor(env), cache / "zorvast");
    env["XDG_RUNTIME_DIR"] = "";
    EXPECT_EQ(privateAreaFor(env), cache / "zorvast");
    env["XDG_CACHE_HOME"] = "relative";
    EXPECT_EQ(privateAreaFor(env), temp.path() / ".cache" / "zorvast");
    env["XDG_CACHE_HOME"] = "";
    EXPECT_EQ(privateAreaFor(env), temp.path() / ".cache" / "zorvast");
}

TEST(PrivateAreaChoice, DownloadsOutliveTheSessionInTheCache) {
    TempFolder temp;
    const fs::path runtime = temp.path() / "run";
    fs::create_directories(runtime);
    ::chmod(runtime.c_str(), 0700);
    const fs::path cache = temp.path() / "cache";
    Environment env{{"XDG_RUNTIME_DIR", runtime.string()},
                    {"XDG_CACHE_HOME", cache.string()},
                    {"HOME", temp.path().string()}};
    EXPECT_EQ(downloadAreaFor(env), cache / "zorvast" / "downloads");
    env["XDG_CACHE_HOME"] = "relative";
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
    EXPECT_EQ(
        privateAreaFor({{"XDG_RUNTIME_DIR", runtime.string()}, {"XDG_CACHE_HOME", cache.string()}}),
        cache / "zorvast");
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
} // namespace zorvast::common::platform
