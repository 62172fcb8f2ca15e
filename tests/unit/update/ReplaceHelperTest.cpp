#include "update/roles/ReplaceHelper.h"

#include "common/Clock.h"
#include "common/Zip.h"
#include "support/TempFolder.h"
#include "update/package/PackageManifest.h"
#include "update/roles/InstanceMarker.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace zorvast::update {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing::readAll;
using testing::TempFolder;

const fs::path kSourceDir = ZORVAST_SOURCE_DIR;

unsigned permissionsOf(const fs::path& file) {
    struct stat info {};
    return ::lstat(file.c_str(), &info) == 0 ? (info.st_mode & 0777) : 0;
}

std::vector<std::string> namesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string programOf(std::size_t bytes, char fill = 'n') {
    std::string program = "\x7f"
                          "ELF zorvast 1.03 ";
    program.resize(bytes, fill);
    return program;
}

SecretKey testSecretKey() {
    const auto key = readSecretKeyFile(kSourceDir / "keys/test-package.sec");
    if (!key) {
        throw std::runtime_error("keys/test-package.sec unreadable");
    }
    return *key;
}

PublicKey testPublicKey() {
    const auto key = readPublicKeyFile(kSourceDir / "keys/test-package.pub");
    if (!key) {
        throw std::runtime_error("keys/test-package.pub unreadable");
    }
    return *key;
}

// The entries with the manifest of a program 1.03, as the publisher writes it, unless they name
// themselves already.
std::vector<PackageEntry> published(std::vector<PackageEntry> entries) {
    const bool named = std::any_of(entries.begin(), entries.end(),
                                   [](const PackageEntry& e) { return e.name == kManifestEntry; });
    if (!named) {
        entries.push_back({kManifestEntry, formatManifest({PackageKind::Software, "1.03"})});
    }
    return entries;
}

// A ZIP of `entries` (with a program manifest), with "zorvast.sig" over them when `key` is
// given; `signedAs` replaces the entries the signature is made over (a package altered after
// signing).
void writePackage(const fs::path& path, const std::vector<PackageEntry>& bareEntries,
                  const SecretKey* key, const std::vector<PackageEntry>* signedAs = nullptr) {
    const std::vector<PackageEntry> entries = published(bareEntries);
    std::vector<common::ArchiveEntry> archive;
    for (const PackageEntry& e : entries) {
        archive.push_back({e.name, e.content, true, {2026, 12, 10}});
    }
    if (key) {
        const auto signature = signPackageEntries(signedAs ? published(*signedAs) : entries, *key);
        if (!signature) {
            throw std::runtime_error("cannot sign");
        }
        archive.push_back({kSignatureEntry, *signature, true, {2026, 12, 10}});
    }
    std::string error;
    fs::remove(path);
    if (!common::createArchive(path.string(), archive, &error)) {
        throw std::runtime_error(error);
    }
}

// A clock whose sleeps run `onSleep`: the old program ends while the helper waits.
struct SteppingClock final : common::Clock {
    common::ManualClock inner;
    std::function<void()> onSleep;
    void sleepFor(std::chrono::milliseconds d) override {
        inner.sleepFor(d);
        if (onSleep) {
            onSleep();
        }
    }
    std::chrono::steady_clock::time_point now() const override { return inner.now(); }
};

class ReplaceHandOverTest : public ::testing::Test {
public:
    ReplaceHandOverTest() {
        programFolder = temp.path() / "my programs" / "zorvast 1.02";
        temp.write("my programs/zorvast 1.02/zorvast app", "program 1.02");
        temp.write("my programs/zorvast 1.02/plumo.tmp", "package");
        handOver.programFile = programFolder / "zorvast app";
        handOver.programFolder = programFolder;
        handOver.clock = &clock;
        handOver.processEvents = [this] {
            lines.push_back("events");
        };
        handOver.start = [this](const ProgramStart& start) {
            lines.push_back("start " + start.program.filename().string());
            starts.push_back(start);
            return startWorks;
        };
    }

    TempFolder temp;
    fs::path programFolder;
    common::ManualClock clock;
    ReplaceHandOver handOver;
    std::vector<std::string> lines;
    std::vector<ProgramStart> starts;
    bool startWorks = true;
};

TEST_F(ReplaceHandOverTest, StartsTheRunningProgramUnderTheHelperNameWithTheTarget) {
    ASSERT_TRUE(handOverToReplaceHelper(handOver));
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].program, handOver.programFile);
    EXPECT_EQ(starts[0].arguments, (std::vector<std::string>{"plumo_updata_89858656.exe",
                                                             handOver.programFile.string()}));
    EXPECT_EQ(starts[0].workingFolder, programFolder);
    EXPECT_EQ(lines, (std::vector<std::string>{"events", "start zorvast app"}));
    ASSERT_EQ(clock.sleeps().size(), 1u);
    EXPECT_EQ(clock.sleeps()[0], 500ms);
    // Nothing is moved, written or made runnable anywhere.
    EXPECT_EQ(namesIn(temp.path()), std::vector<std::string>{"my programs"});
    EXPECT_EQ(namesIn(programFolder), (std::vector<std::string>{"plumo.tmp", "zorvast app"}));
    EXPECT_EQ(readAll((programFolder / "plumo.tmp").string()), "package");
}

TEST_F(ReplaceHandOverTest, FailsWhenTheHelperDoesNotStart) {
    startWorks = false;
    EXPECT_FALSE(handOverToReplaceHelper(handOver));
    handOver.programFile.clear();
    lines.clear();
    EXPECT_FALSE(handOverToReplaceHelper(handOver));
    EXPECT_TRUE(lines.empty());
}

class ReplaceHelperTest : public ::testing::Test {
public:
    ReplaceHelperTest() {
        workFolder = temp.path() / "tmp" / "satdata_temp";
        programFolder = temp.path() / "my programs" / "zorvast 1.02";
        target = programFolder / "zorvast app";
        download = programFolder / "plumo.tmp";
        fs::create_directories(workFolder);
        temp.write("my programs/zorvast 1.02/zorvast app", "program 1.02");
        fs::permissions(target, static_cast<fs::perms>(0750));
        newProgram = programOf(500000);
        writePackage(download, {{"plumo.exe", newProgram}, {"readme.txt", "1.03"}}, &secretKey);
        role.arguments = {target.string()};
        role.instanceMarker = workFolder / "ready.tmp";
        role.softwareDownload = download;
        role.packageKey = testPublicKey();
        role.clock = &clock;
        role.showMessage = [this](const std::string& caption, const std::string& text) {
            lines.push_back("message " + caption + " " + text);
        };
        role.cleanupWorkFiles = [this] {
            lines.push_back("cleanup");
            // What the new program must not meet: it starts only after this.
            EXPECT_FALSE(started);
        };
        role.start = [this](const ProgramStart& start) {
            lines.push_back("start " + start.program.string());
            starts.push_back(start);
            started = true;
            return startWorks;
        };
    }

    // The old program is in place, the download is gone, nothing half-written is left.
    void expectOldProgramOnly() {
        EXPECT_EQ(readAll(target.string()), "program 1.02");
        EXPECT_EQ(permissionsOf(target), 0750u);
        EXPECT_EQ(namesIn(programFolder), std::vector<std::string>{"zorvast app"});
    }

    TempFolder temp;
    SecretKey secretKey = testSecretKey();
    fs::path workFolder, programFolder, target, download;
    std::string newProgram;
    common::ManualClock clock;
    ReplaceHelperRole role;
    std::vector<std::string> lines;
    std::vector<ProgramStart> starts;
    bool started = false;
    bool startWorks = true;
};

const std::string kFailed = "message 错误204 无法读取临时文件，升级失败，请稍后重试。";

TEST_F(ReplaceHelperTest, InstallsTheSignedProgramCleansUpThenStartsIt) {
    // A process still running the old file keeps reading the old content.
    const int reader = ::open(target.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(reader, 0);

    EXPECT_EQ(runReplaceHelper(role), ReplaceOutcome::Started);

    EXPECT_EQ(readAll(target.string()), newProgram);
    // The old permissions, runnable wherever they could be read.
    EXPECT_EQ(permissionsOf(target), 0750u);
    EXPECT_EQ(lines, (std::vector<std::string>{"cleanup", "start " + target.string()}));
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].arguments, std::vector<std::string>{target.string()});
    // The download is gone and nothing half-written stays beside the program.
    EXPECT_EQ(namesIn(programFolder), std::vector<std::string>{"zorvast app"});
    char buffer[16] = {};
    EXPECT_EQ(::pread(reader, buffer, sizeof buffer, 0), 12);
    EXPECT_EQ(std::string(buffer, 12), "program 1.02");
    ::close(reader);
    EXPECT_TRUE(clock.sleeps().empty()) << "nobody held the marker";
}

TEST_F(ReplaceHelperTest, ArgumentsByLength) {
    const struct {
        const char* name;
        std::vector<std::string> arguments;
        ReplaceOutcome outcome;
        std::vector<std::string> lines;
    } cases[] = {
        {"missing", {}, ReplaceOutcome::HandOverMissing, {kFailed, "cleanup"}},
        {"empty", {""}, ReplaceOutcome::HandOverMissing, {kFailed, "cleanup"}},
        {"4 bytes", {"/a/b"}, ReplaceOutcome::HandOverMissing, {kFailed, "cleanup"}},
        {"5 bytes are taken, and name nothing",
         {"/a/bc"},
         ReplaceOutcome::InstallFailed,
         {kFailed, "cleanup"}},
        {"a folder", {programFolder.string()}, ReplaceOutcome::InstallFailed, {kFailed, "cleanup"}},
    };
    const std::string package = readAll(download.string());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        lines.clear();
        temp.write("my programs/zorvast 1.02/plumo.tmp", package);
        role.arguments = c.arguments;
        EXPECT_EQ(runReplaceHelper(role), c.outcome);
        EXPECT_EQ(lines, c.lines);
        EXPECT_EQ(readAll(target.string()), "program 1.02");
    }
}

TEST_F(ReplaceHelperTest, WaitsForTheOldProgramToLetGoOfItsMarker) {
    InstanceMarker oldProgram;
    ASSERT_TRUE(oldProgram.hold(role.instanceMarker));
    int looks = 0;
    SteppingClock stepping;
    // The old program ends during the third wait; nothing is touched before.
    stepping.onSleep = [&] {
        EXPECT_EQ(readAll(target.string()), "program 1.02");
        if (++looks == 3) {
            oldProgram.release();
        }
    };
    role.clock = &stepping;
    EXPECT_EQ(runReplaceHelper(role), ReplaceOutcome::Started);
    EXPECT_EQ(looks, 3);
    for (const auto& sleep : stepping.inner.sleeps()) {
        EXPECT_EQ(sleep, 1000ms);
    }
    EXPECT_EQ(readAll(target.string()), newProgram);
}

TEST_F(ReplaceHelperTest, AnOldProgramThatNeverEndsKeepsItsFile) {
    temp.write("tmp/satdata_temp/satdata.str", "running data");
    InstanceMarker oldProgram;
    ASSERT_TRUE(oldProgram.hold(role.instanceMarker));
    EXPECT_EQ(runReplaceHelper(role), ReplaceOutcome::OldProgramRunning);
    EXPECT_EQ(clock.totalSlept(), 60000ms);
    // No clean-up: the running program keeps its working folder.
    EXPECT_EQ(lines, std::vector<std::string>{kFailed});
    EXPECT_TRUE(fs::exists(workFolder / "satdata.str"));
    expectOldProgramOnly();
}

TEST_F(ReplaceHelperTest, AStaleMarkerIsNoRunningProgram) {
    temp.write("tmp/satdata_temp/ready.tmp", "ready\r\n");
    EXPECT_EQ(runReplaceHelper(role), ReplaceOutcome::Started);
    EXPECT_TRUE(clock.sleeps().empty());
}

// Whatever lies at "plumo.tmp" when the helper runs is read and checked again: a package
// swapped or altered after the download check is refused.
TEST_F(ReplaceHelperTest, APackageThatIsNotSignedOrTooSmallIsRefused) {
    const auto other = generateKeyPair();
    ASSERT_TRUE(other);
    const std::string goodPackage = readAll(download.string());
    const std::vector<PackageEntry> original = {{"plumo.exe", newProgram}, {"readme.txt", "1.03"}};
    const std::vector<PackageEntry> altered = {{"plumo.exe", programOf(500000, 'x')},
                                               {"readme.txt", "1.03"}};
    const struct {
        const char* name;
        std::function<void()> prepare;
    } cases[] = {
        {"missing",
         [&] {
             fs::remove(download);
         }},
        {"altered after signing",
         [&] {
             writePackage(download, altered, &secretKey, &original);
         }},
        {"unsigned",
         [&] {
             writePackage(download, original, nullptr);
         }},
        {"signed with another key",
         [&] {
             writePackage(download, original, &other->secretKey);
         }},
        {"plumo.exe of exactly 400000 bytes",
         [&] {
             writePackage(download, {{"plumo.exe", programOf(400000)}}, &secretKey);
         }},
        {"no plumo.exe",
         [&] {
             writePackage(download, {{"readme.txt", "1.03"}}, &secretKey);
         }},
        {"signed as a data package",
         [&] {
             writePackage(download,
                          {{"plumo.exe", newProgram},
                           {kManifestEntry, formatManifest({PackageKind::Data, "1.03"})}},
                          &secretKey);
         }},
        {"signed as the running version",
         [&] {
             writePackage(download,
                          {{"plumo.exe", newProgram},
                           {kManifestEntry, formatManifest({PackageKind::Software, "1.02"})}},
                          &secretKey);
         }},
        {"signed as an older version",
         [&] {
             writePackage(download,
                          {{"plumo.exe", newProgram},
                           {kManifestEntry, formatManifest({PackageKind::Software, "1.01"})}},
                          &secretKey);
         }},
        {"a link to a good package",
         [&] {
             const std::string elsewhere = temp.write("elsewhere/good.zip", goodPackage);
             fs::remove(download);
             fs::create_symlink(elsewhere, download);
         }},
        {"not a ZIP",
         [&] {
             temp.write("my programs/zorvast 1.02/plumo.tmp", newProgram);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        lines.clear();
        c.prepare();
        EXPECT_EQ(runReplaceHelper(role), ReplaceOutcome::PackageRefused);
        EXPECT_EQ(lines, (std::vector<std::string>{kFailed, "cleanup"}));
        expectOldProgramOnly();
    }
    // A program of 400001 bytes is large enough.
    writePackage(download, {{"plumo.exe", programOf(400001)}}, &secretKey);
    EXPECT_EQ(runReplaceHelper(role), ReplaceOutcome::Started);
    EXPECT_EQ(readAll(target.string()), programOf(400001));
}

// What goes in place is what was read back from the very file written and checked against the
// signature: a change to that file between the write and the rename is caught.
TEST_F(ReplaceHelperTest, AFileChangedAfterItWasWrittenIsNeverInstalled) {
    std::string seen;
    role.afterWrite = [&](const fs::path& folder, const std::string& partial) {
        seen = partial;
        EXPECT_EQ(folder, programFolder);
        EXPECT_EQ(readAll((folder / partial).string()), newProgram);
        const int fd = ::open((folder / partial).c_str(), O_WRONLY | O_CLOEXEC);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::pwrite(fd, "X", 1, 300000), 1);
        ::close(fd);
    };
    EXPECT_EQ(runReplaceHelper(role), ReplaceOutcome::InstallFailed);
    EXPECT_NE(seen.find("zorvast app"), std::string::npos);
    EXPECT_EQ(lines, (std::vector<std::string>{kFailed, "cleanup"}));
    expectOldProgramOnly();
}

TEST_F(ReplaceHelperTest, AFileSwappedInAtTheWrittenNameIsNeverRenamedIntoPlace) {
    role.afterWrite = [&](const fs::path& folder, const std::string& partial) {
        // The signed bytes even: only the file that was written and checked goes in place.
        fs::remove(folder / partial);
        temp.write((fs::relative(folder, temp.path()) / partial).string(), newProgram);
    };
    std::string planted;
    role.partialName = [&](std::string_view name) {
        planted = std::string(name) + ".part-fixed";
        return planted;
    };
    EXPECT_EQ(runReplaceHelper(role), ReplaceOutcome::InstallFailed);
    EXPECT_EQ(readAll(target.string()), "program 1.02");
    // What somebody else put there is theirs: neither installed nor removed.
    EXPECT_EQ(namesIn(programFolder), (std::vector<std::string>{"zorvast app", planted}));
}

TEST_F(ReplaceHelperTest, PlantedFilesAndLinksAtTheFreshNamesAreNeverWrittenThrough) {
    const std::string victim = temp.write("victim/file", "someone else's");
    const fs::path partial1 = programFolder / "zorvast app.part-1";
    const fs::path partial2 = programFolder / "zorvast app.part-2";
    fs::create_symlink(victim, partial1);
    temp.write("my programs/zorvast 1.02/zorvast app.part-2", "planted");
    int names = 0;
    role.partialName = [&](std::string_view name) {
        return std::string(name) + ".part-" + std::to_string(++names);
    };
    EXPECT_EQ(runReplaceHelper(role), ReplaceOutcome::Started);
    EXPECT_EQ(names, 3);
    EXPECT_EQ(readAll(target.string()), newProgram);
    EXPECT_EQ(readAll(victim), "someone else's");
    EXPECT_EQ(readAll(partial2.string()), "planted");
    EXPECT_TRUE(fs::is_symlink(partial1));
    EXPECT_EQ(namesIn(programFolder), (std::vector<std::string>{"zorvast app", "zorvast app.part-1",
                                                                "zorvast app.part-2"}));
}

TEST_F(ReplaceHelperTest, AFolderFullOfPlantedNamesIsGivenUp) {
    role.partialName = [&](std::string_view name) {
        return std::string(name) + ".part-taken";
    };
    temp.write("my programs/zorvast 1.02/zorvast app.part-taken", "planted");
    EXPECT_EQ(runReplaceHelper(role), ReplaceOutcome::InstallFailed);
    EXPECT_EQ(readAll(target.string()), "program 1.02");
    EXPECT_EQ(readAll((programFolder / "zorvast app.part-taken").string()), "planted");
}

TEST_F(ReplaceHelperTest, ALinkAtTheTargetIsReplacedNotWrittenThrough) {
    const std::string victim = temp.write("victim/zorvast", "someone else's");
    fs::remove(target);
    fs::create_symlink(victim, target);
    EXPECT_EQ(runReplaceHelper(role), ReplaceOutcome::Started);
    EXPECT_EQ(readAll(victim), "someone else's");
    EXPECT_FALSE(fs::is_symlink(target));
    EXPECT_EQ(readAll(target.string()), newProgram);
    EXPECT_EQ(permissionsOf(target), 0755u);
}

TEST_F(ReplaceHelperTest, AFailedRenameLeavesNothingHalfWritten) {
    role.afterWrite = [&](const fs::path&, const std::string&) {
        // The target turns into a folder that is not empty: the rename over it fails.
        fs::remove(target);
        temp.write("my programs/zorvast 1.02/zorvast app/inside", "x");
    };
    EXPECT_EQ(runReplaceHelper(role), ReplaceOutcome::InstallFailed);
    EXPECT_EQ(lines, (std::vector<std::string>{kFailed, "cleanup"}));
    EXPECT_EQ(namesIn(programFolder), std::vector<std::string>{"zorvast app"});
    EXPECT_TRUE(fs::is_directory(target));
}

TEST_F(ReplaceHelperTest, AnUnwritableProgramFolderKeepsTheOldProgram) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root writes into any folder";
    }
    fs::permissions(programFolder, static_cast<fs::perms>(0555));
    EXPECT_EQ(runReplaceHelper(role), ReplaceOutcome::InstallFailed);
    fs::permissions(programFolder, static_cast<fs::perms>(0755));
    EXPECT_EQ(readAll(target.string()), "program 1.02");
    EXPECT_EQ(lines.front(), kFailed);
}

TEST_F(ReplaceHelperTest, ANewProgramThatDoesNotStartIsStillInstalled) {
    startWorks = false;
    EXPECT_EQ(runReplaceHelper(role), ReplaceOutcome::StartFailed);
    EXPECT_EQ(readAll(target.string()), newProgram);
}

TEST(ProgramPackage, SizeOfItsProgram) {
    VerifiedPackage package;
    EXPECT_EQ(newProgramBytes(package), 0u);
    EXPECT_FALSE(programPackageUsable(package));
    package.entries.push_back({"plumo.exe", false, std::string(400000, 'z'), std::nullopt});
    EXPECT_EQ(newProgramBytes(package), 400000u);
    EXPECT_FALSE(programPackageUsable(package));
    package.entries[0].data += 'z';
    EXPECT_FALSE(programPackageUsable(package)) << "a program that does not say it is one";
    package.entries.push_back(
        {kManifestEntry, false, formatManifest({PackageKind::Software, "1.03"}), std::nullopt});
    EXPECT_TRUE(programPackageUsable(package));
    package.entries.back().data = formatManifest({PackageKind::Data, "1.03"});
    EXPECT_FALSE(programPackageUsable(package));
    package.entries.back().data = formatManifest({PackageKind::Software, "1.02"});
    EXPECT_FALSE(programPackageUsable(package)) << "not newer than the running program";
}

TEST(MarkerHeld, SeesAHolderAndNothingElse) {
    TempFolder temp;
    const fs::path marker = temp.path() / "ready.tmp";
    EXPECT_FALSE(markerHeld(marker));
    InstanceMarker holder;
    ASSERT_TRUE(holder.hold(marker));
    EXPECT_TRUE(markerHeld(marker));
    EXPECT_TRUE(markerHeld(marker)); // looking takes nothing away
    holder.release();
    EXPECT_FALSE(markerHeld(marker));
    EXPECT_TRUE(fs::exists(marker));
}

} // namespace
} // namespace zorvast::update
