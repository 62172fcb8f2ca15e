#include "launcher/UserFolder.h"

#include "common/Zip.h"
#include "support/TempFolder.h"
#include "update/package/PackageManifest.h"
#include "update/package/PackageSignature.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace zorvast::launcher {
namespace {

namespace fs = std::filesystem;
using testing::readAll;
using testing::TempFolder;

const fs::path kSourceDir = ZORVAST_SOURCE_DIR;

update::PublicKey testPublicKey() {
    return update::readPublicKeyFile(kSourceDir / "keys/test-package.pub").value();
}

update::SecretKey testSecretKey() {
    return update::readSecretKeyFile(kSourceDir / "keys/test-package.sec").value();
}

// A data package as the program accepts it: its three files large enough, the manifest, signed.
std::string dataPackage(const std::string& version,
                        update::PackageKind kind = update::PackageKind::Data,
                        const update::SecretKey& key = testSecretKey()) {
    const std::vector<update::PackageEntry> entries = {
        {"satdata.str", std::string(1000001, 'd') + version},
        {"nch.str", "latest " + version},
        {"sng.str", "sng " + version},
        {update::kManifestEntry, update::formatManifest({kind, version})},
    };
    const std::optional<std::string> signature = update::signPackageEntries(entries, key);
    if (!signature) {
        throw std::runtime_error("cannot sign");
    }
    std::vector<common::ArchiveEntry> archive;
    for (const update::PackageEntry& entry : entries) {
        archive.push_back({entry.name, entry.content});
    }
    archive.push_back({update::kSignatureEntry, *signature});
    const TempFolder scratch;
    const std::string file = scratch.file("package.zip");
    if (!common::createArchive(file, archive)) {
        throw std::runtime_error("cannot write the package");
    }
    return readAll(file);
}

// A small whole program of this machine stands in for the installed one.
std::string ownProgram() {
    return readAll("/usr/bin/true");
}

std::uint64_t inodeOf(const fs::path& file) {
    struct stat info {};
    return ::lstat(file.c_str(), &info) == 0 ? info.st_ino : 0;
}

mode_t modeOf(const fs::path& file) {
    struct stat info {};
    return ::lstat(file.c_str(), &info) == 0 ? (info.st_mode & 07777) : 0;
}

class UserFolderTest : public ::testing::Test {
protected:
    UserFolderTest() {
        fs::create_directories(system());
        writeSystem("zorvast", ownProgram());
        writeSystem("satdata.sta", dataPackage("261209"));
        ::chmod((system() / "zorvast").c_str(), 0755);
    }

    fs::path system() const { return temp_.path() / "opt" / "zorvast"; }
    fs::path home() const { return temp_.path() / "home"; }
    fs::path user() const { return home() / ".local" / "share" / "zorvast"; }
    fs::path userFile(const char* name) const { return user() / name; }

    void writeSystem(const std::string& name, const std::string& bytes) const {
        temp_.write((fs::path("opt") / "zorvast" / name).string(), bytes);
    }
    void writeUser(const std::string& name, const std::string& bytes) const {
        const fs::path file = user() / name;
        fs::remove(file);
        temp_.write(fs::relative(file, temp_.path()).string(), bytes);
    }

    FolderSetup setup() const { return {system(), user(), testPublicKey(), 5}; }

    ReadyFolder prepare() const {
        FolderResult result = prepareUserFolder(setup());
        if (!result.ready) {
            ADD_FAILURE() << "not ready: " << result.error;
            throw std::runtime_error(result.error);
        }
        return std::move(*result.ready);
    }

    TempFolder temp_;
};

TEST_F(UserFolderTest, FirstStartMakesAPrivateFolderWithTheProgramAndItsData) {
    const ReadyFolder ready = prepare();
    EXPECT_TRUE(ready.programCopied);
    EXPECT_TRUE(ready.dataCopied);
    EXPECT_TRUE(ready.warning.empty()) << ready.warning;
    EXPECT_EQ(readAll(userFile("zorvast")), ownProgram());
    EXPECT_EQ(readAll(userFile("satdata.sta")), readAll(system() / "satdata.sta"));
    EXPECT_EQ(modeOf(user()), 0700u);
    EXPECT_EQ(modeOf(home() / ".local"), 0700u);
    EXPECT_EQ(modeOf(userFile("zorvast")), 0755u);
    // What is to be started is the copy in the folder, not the installed file.
    struct stat started {};
    ASSERT_EQ(::fstat(ready.program.get(), &started), 0);
    EXPECT_EQ(started.st_ino, inodeOf(userFile("zorvast")));
}

TEST_F(UserFolderTest, LaterStartsLeaveAFolderInStepAlone) {
    prepare();
    const auto program = inodeOf(userFile("zorvast"));
    const auto data = inodeOf(userFile("satdata.sta"));
    const ReadyFolder again = prepare();
    EXPECT_FALSE(again.programCopied);
    EXPECT_FALSE(again.dataCopied);
    EXPECT_EQ(inodeOf(userFile("zorvast")), program);
    EXPECT_EQ(inodeOf(userFile("satdata.sta")), data);
}

TEST_F(UserFolderTest, LinksPlantedAtTheLockAndTheStampAreReplacedNotFollowed) {
    prepare();
    const std::string elsewhere = temp_.write("elsewhere", "keep me");
    for (const char* name : {kLockName, kStampName}) {
        fs::remove(userFile(name));
        fs::create_symlink(elsewhere, userFile(name));
    }
    const ReadyFolder ready = prepare();
    EXPECT_TRUE(ready.programCopied); // the stamp no longer says where the copy came from
    EXPECT_FALSE(fs::is_symlink(userFile(kLockName)));
    EXPECT_FALSE(fs::is_symlink(userFile(kStampName)));
    EXPECT_EQ(readAll(elsewhere), "keep me");
    EXPECT_FALSE(prepare().programCopied);
}

TEST_F(UserFolderTest, AnUpgradedInstallationRefreshesTheProgram) {
    prepare();
    const std::string upgraded = ownProgram() + "upgraded";
    writeSystem("zorvast", upgraded);
    EXPECT_TRUE(prepare().programCopied);
    EXPECT_EQ(readAll(userFile("zorvast")), upgraded);
    EXPECT_FALSE(prepare().programCopied);
}

TEST_F(UserFolderTest, AProgramUpdatedOnlineStaysUntilTheInstallationChanges) {
    prepare();
    const std::string online = ownProgram() + "online update";
    writeUser("zorvast", online);
    ::chmod(userFile("zorvast").c_str(), 0755);
    EXPECT_FALSE(prepare().programCopied);
    EXPECT_EQ(readAll(userFile("zorvast")), online);
}

TEST_F(UserFolderTest, AProgramThatCannotBeStartedSafelyIsCopiedAgain) {
    const std::string program = ownProgram();
    struct Case {
        const char* name;
        std::string bytes;
        mode_t mode;
    };
    const Case cases[] = {
        {"cut short", program.substr(0, program.size() / 3), 0755},
        {"empty", "", 0755},
        {"writable by others", program, 0777},
        {"writable by the group", program, 0775},
        {"not executable", program, 0644},
    };
    for (const Case& c : cases) {
        prepare();
        writeUser("zorvast", c.bytes);
        ASSERT_EQ(::chmod(userFile("zorvast").c_str(), c.mode), 0);
        EXPECT_TRUE(prepare().programCopied) << c.name;
        EXPECT_EQ(readAll(userFile("zorvast")), program) << c.name;
        EXPECT_EQ(modeOf(userFile("zorvast")), 0755u) << c.name;
    }
}

TEST_F(UserFolderTest, ALinkInPlaceOfTheProgramIsReplacedNotWrittenThrough) {
    prepare();
    const std::string elsewhere = temp_.write("elsewhere", "not a program");
    fs::remove(userFile("zorvast"));
    fs::create_symlink(elsewhere, userFile("zorvast"));
    EXPECT_TRUE(prepare().programCopied);
    EXPECT_FALSE(fs::is_symlink(userFile("zorvast")));
    EXPECT_EQ(readAll(userFile("zorvast")), ownProgram());
    EXPECT_EQ(readAll(elsewhere), "not a program");
}

TEST_F(UserFolderTest, TheUsersDataPackageStaysUnlessMissingUnusableOrOlder) {
    struct Case {
        const char* name;
        std::optional<std::string> userPackage; // nullopt: none
        bool copied;
    };
    const std::string installed = dataPackage("261209");
    const std::string newer = dataPackage("270105");
    const Case cases[] = {
        {"missing", std::nullopt, true},
        {"older", dataPackage("261101"), true},
        {"the same version", dataPackage("261209"), false},
        {"newer", newer, false},
        {"cut short", newer.substr(0, newer.size() / 2), true},
        {"altered", newer.substr(0, 100) + "X" + newer.substr(101), true},
        {"signed with another key",
         dataPackage("270105", update::PackageKind::Data, update::generateKeyPair()->secretKey),
         true},
        {"a program package", dataPackage("270105", update::PackageKind::Software), true},
        {"not a package", std::string("hello"), true},
    };
    for (const Case& c : cases) {
        prepare();
        fs::remove(userFile("satdata.sta"));
        if (c.userPackage) {
            writeUser("satdata.sta", *c.userPackage);
        }
        const ReadyFolder ready = prepare();
        EXPECT_EQ(ready.dataCopied, c.copied) << c.name;
        EXPECT_EQ(readAll(userFile("satdata.sta")), c.copied ? installed : *c.userPackage)
            << c.name;
    }
}

TEST_F(UserFolderTest, AnInstalledDataPackageThatIsDamagedIsNeverCopied) {
    prepare();
    const std::string own = dataPackage("261101");
    writeUser("satdata.sta", own);
    writeSystem("satdata.sta", dataPackage("270101").substr(0, 500));
    const ReadyFolder ready = prepare();
    EXPECT_FALSE(ready.dataCopied);
    EXPECT_NE(ready.warning.find("data package"), std::string::npos) << ready.warning;
    EXPECT_EQ(readAll(userFile("satdata.sta")), own);
}

TEST_F(UserFolderTest, AMissingInstalledProgramIsAnError) {
    fs::remove(system() / "zorvast");
    const FolderResult result = prepareUserFolder(setup());
    EXPECT_FALSE(result.ready);
    EXPECT_NE(result.error.find("reinstall"), std::string::npos) << result.error;
    EXPECT_FALSE(fs::exists(userFile("zorvast")));
}

TEST_F(UserFolderTest, AFolderOpenToOthersIsMadePrivate) {
    fs::create_directories(user());
    ASSERT_EQ(::chmod(user().c_str(), 0777), 0);
    prepare();
    EXPECT_EQ(modeOf(user()), 0700u);
}

TEST_F(UserFolderTest, AProgramFolderThatIsALinkIsRefused) {
    const fs::path target = temp_.path() / "somewhere";
    fs::create_directories(target);
    fs::create_directories(user().parent_path());
    fs::create_directory_symlink(target, user());
    const FolderResult result = prepareUserFolder(setup());
    EXPECT_FALSE(result.ready);
    EXPECT_TRUE(fs::is_empty(target));
}

TEST_F(UserFolderTest, AFolderInPlaceOfTheProgramIsAnErrorAndInPlaceOfTheDataAWarning) {
    fs::create_directories(userFile("satdata.sta"));
    const ReadyFolder ready = prepare();
    EXPECT_FALSE(ready.dataCopied);
    EXPECT_FALSE(ready.warning.empty());

    fs::remove(userFile("zorvast"));
    fs::create_directories(userFile("zorvast") / "inside");
    EXPECT_FALSE(prepareUserFolder(setup()).ready);
    EXPECT_TRUE(fs::exists(userFile("zorvast") / "inside"));
}

TEST_F(UserFolderTest, AnotherUsersFolderIsRefused) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to give the folder to another user";
    }
    fs::create_directories(user());
    ASSERT_EQ(::chown(user().c_str(), 47101, 47101), 0);
    const FolderResult result = prepareUserFolder(setup());
    EXPECT_FALSE(result.ready);
    EXPECT_NE(result.error.find("another user"), std::string::npos) << result.error;
    EXPECT_TRUE(fs::is_empty(user()));
}

TEST_F(UserFolderTest, RootDoesNotFillAnotherUsersHome) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "only root can be started with another user's home";
    }
    fs::create_directories(user().parent_path());
    ASSERT_EQ(::chown(user().parent_path().c_str(), 47101, 47101), 0);
    const FolderResult result = prepareUserFolder(setup());
    EXPECT_FALSE(result.ready);
    EXPECT_FALSE(fs::exists(user()));
}

TEST_F(UserFolderTest, AStartWaitsForAnotherOneAndGivesUpAfterItsTime) {
    prepare();
    const int lock = ::open(userFile(kLockName).c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(lock, 0);
    ASSERT_EQ(::flock(lock, LOCK_EX), 0);
    FolderSetup waiting = setup();
    waiting.lockSeconds = 1;
    const FolderResult result = prepareUserFolder(waiting);
    ::close(lock);
    EXPECT_FALSE(result.ready);
    EXPECT_NE(result.error.find("held"), std::string::npos) << result.error;
    EXPECT_TRUE(prepareUserFolder(waiting).ready);
}

TEST_F(UserFolderTest, StartsAtTheSameMomentCopyOnceAndAllFindAWholeFolder) {
    constexpr int kStarts = 8;
    std::vector<pid_t> children;
    for (int i = 0; i < kStarts; ++i) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            const FolderResult result = prepareUserFolder(setup());
            const bool whole = result.ready && readAll(userFile("zorvast")) == ownProgram();
            ::_exit(!whole ? 2 : result.ready->programCopied ? 1 : 0);
        }
        children.push_back(pid);
    }
    int copies = 0;
    for (const pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status));
        ASSERT_NE(WEXITSTATUS(status), 2);
        copies += WEXITSTATUS(status);
    }
    EXPECT_EQ(copies, 1);
}

TEST(UserProgramFolder, FollowsTheBaseDirectoryRules) {
    struct Case {
        const char* xdg;
        const char* home;
        std::optional<fs::path> folder;
    };
    const Case cases[] = {
        {"/data/me", "/home/me", fs::path("/data/me/zorvast")},
        {nullptr, "/home/me", fs::path("/home/me/.local/share/zorvast")},
        {"", "/home/me", fs::path("/home/me/.local/share/zorvast")},
        {"relative/share", "/home/me", fs::path("/home/me/.local/share/zorvast")},
        {nullptr, "relative", std::nullopt},
        {nullptr, nullptr, std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(userProgramFolder(c.xdg, c.home), c.folder)
            << (c.xdg ? c.xdg : "(unset)") << " " << (c.home ? c.home : "(unset)");
    }
}

} // namespace
} // namespace zorvast::launcher
