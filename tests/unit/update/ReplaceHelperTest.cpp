#include "update/roles/ReplaceHelper.h"

#include "common/Clock.h"
#include "common/Files.h"
#include "support/TempFolder.h"
#include "update/roles/InstanceMarker.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace zorvast::update {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing::readAll;
using testing::TempFolder;

unsigned permissionsOf(const fs::path& file) {
    struct stat info {};
    return ::stat(file.c_str(), &info) == 0 ? (info.st_mode & 0777) : 0;
}

class ReplaceHandOverTest : public ::testing::Test {
public:
    ReplaceHandOverTest() {
        helperFolder = temp.path() / "tmp" / "satdata_temp2";
        temp.write("tmp/satdata_temp2/plumo.exe", "new program 1.03");
        handOver.helperFolder = helperFolder;
        handOver.programPath = (temp.path() / "my programs" / "zorvast").string();
        handOver.clock = &clock;
        handOver.processEvents = [this] {
            lines.push_back("events");
        };
        handOver.start = [this](const fs::path& program) {
            lines.push_back("start " + program.filename().string());
            return startWorks;
        };
    }

    TempFolder temp;
    fs::path helperFolder;
    common::ManualClock clock;
    ReplaceHandOver handOver;
    std::vector<std::string> lines;
    bool startWorks = true;
};

TEST_F(ReplaceHandOverTest, MovesTheNewProgramWritesThePathAndStartsIt) {
    ASSERT_TRUE(handOverToReplaceHelper(handOver));
    const fs::path helper = helperFolder / kReplaceHelperFile;
    EXPECT_FALSE(fs::exists(helperFolder / kNewProgramFile));
    EXPECT_EQ(readAll(helper.string()), "new program 1.03");
    EXPECT_EQ(permissionsOf(helper), 0755u);
    // The path alone, no line break.
    EXPECT_EQ(readAll((helperFolder / kHandOverFile).string()), handOver.programPath);
    EXPECT_EQ(lines, (std::vector<std::string>{"events", "start plumo_updata_89858656.exe"}));
    ASSERT_EQ(clock.sleeps().size(), 1u);
    EXPECT_EQ(clock.sleeps()[0], 500ms);
}

TEST_F(ReplaceHandOverTest, FailsWithoutTheNewProgramOrWhenTheHelperDoesNotStart) {
    fs::remove(helperFolder / kNewProgramFile);
    EXPECT_FALSE(handOverToReplaceHelper(handOver));
    EXPECT_TRUE(lines.empty());

    temp.write("tmp/satdata_temp2/plumo.exe", "new program 1.03");
    startWorks = false;
    EXPECT_FALSE(handOverToReplaceHelper(handOver));
}

TEST_F(ReplaceHandOverTest, HandOverFileIsWrittenNewEachTime) {
    temp.write("tmp/satdata_temp2/file.tmp", std::string(500, 'x'));
    ASSERT_TRUE(handOverToReplaceHelper(handOver));
    EXPECT_EQ(readAll((helperFolder / kHandOverFile).string()), handOver.programPath);
}

class ReplaceHelperTest : public ::testing::Test {
public:
    ReplaceHelperTest() {
        workFolder = temp.path() / "tmp" / "satdata_temp";
        helperFolder = temp.path() / "tmp" / "satdata_temp2";
        programFolder = temp.path() / "my programs" / "zorvast 1.02";
        target = programFolder / "zorvast app";
        fs::create_directories(workFolder);
        fs::create_directories(helperFolder);
        newProgram = temp.write("tmp/satdata_temp2/plumo_updata_89858656.exe", "program 1.03");
        temp.write("my programs/zorvast 1.02/zorvast app", "program 1.02");
        fs::permissions(target, static_cast<fs::perms>(0750));
        temp.write("my programs/zorvast 1.02/plumo.tmp", "package");
        role.helperFolder = helperFolder;
        role.instanceMarker = workFolder / "ready.tmp";
        role.softwareDownload = programFolder / "plumo.tmp";
        role.selfExecutable = newProgram;
        role.clock = &clock;
        role.showMessage = [this](const std::string& caption, const std::string& text) {
            lines.push_back("message " + caption + " " + text);
        };
        role.cleanupWorkFiles = [this] {
            lines.push_back("cleanup");
            // What the new program must not meet: it starts only after this.
            EXPECT_FALSE(started);
        };
        role.start = [this](const fs::path& program) {
            lines.push_back("start " + program.string());
            started = true;
            return startWorks;
        };
    }

    void writeHandOver(const std::string& text) { temp.write("tmp/satdata_temp2/file.tmp", text); }

    TempFolder temp;
    fs::path workFolder, helperFolder, programFolder, target, newProgram;
    common::ManualClock clock;
    ReplaceHelperRole role;
    std::vector<std::string> lines;
    bool started = false;
    bool startWorks = true;
};

const std::string kFailed = "message 错误204 无法读取临时文件，升级失败，请稍后重试。";

TEST_F(ReplaceHelperTest, InstallsCleansUpThenStartsThePathWithSpaces) {
    writeHandOver(target.string());
    EXPECT_EQ(runReplaceHelper(role), ReplaceOutcome::Started);
    EXPECT_EQ(readAll(target.string()), "program 1.03");
    // The old permissions, runnable wherever they could be read.
    EXPECT_EQ(permissionsOf(target), 0750u);
    EXPECT_EQ(lines, (std::vector<std::string>{"cleanup", "start " + target.string()}));
    // Nothing half-written stays beside the program.
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(programFolder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"plumo.tmp", "zorvast app"}));
}

TEST_F(ReplaceHelperTest, HandOverFileSizes) {
    const struct {
        const char* name;
        std::string text;
        bool write;
        ReplaceOutcome outcome;
        bool message;
    } cases[] = {
        {"missing", "", false, ReplaceOutcome::HandOverMissing, true},
        {"empty", "", true, ReplaceOutcome::HandOverMissing, true},
        {"4 bytes", "/a/b", true, ReplaceOutcome::HandOverMissing, true},
        {"5 bytes are read", "/a/bc", true, ReplaceOutcome::InstallFailed, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        lines.clear();
        fs::create_directories(helperFolder);
        fs::remove(helperFolder / kHandOverFile);
        if (c.write) {
            writeHandOver(c.text);
        }
        EXPECT_EQ(runReplaceHelper(role), c.outcome);
        EXPECT_EQ(!lines.empty() && lines.front() == kFailed, c.message);
        EXPECT_EQ(readAll(target.string()), "program 1.02");
    }
}

TEST_F(ReplaceHelperTest, WaitsForTheOldProgramToLetGoOfItsMarker) {
    writeHandOver(target.string());
    InstanceMarker oldProgram;
    ASSERT_TRUE(oldProgram.hold(role.instanceMarker));
    int looks = 0;
    // The old program ends during the third wait.
    struct EndingClock final : common::Clock {
        common::ManualClock inner;
        std::function<void()> onSleep;
        void sleepFor(std::chrono::milliseconds d) override {
            inner.sleepFor(d);
            onSleep();
        }
        std::chrono::steady_clock::time_point now() const override { return inner.now(); }
    } ending;
    ending.onSleep = [&] {
        if (++looks == 3) {
            oldProgram.release();
        }
    };
    role.clock = &ending;
    EXPECT_EQ(runReplaceHelper(role), ReplaceOutcome::Started);
    EXPECT_EQ(looks, 3);
    for (const auto& sleep : ending.inner.sleeps()) {
        EXPECT_EQ(sleep, 1000ms);
    }
    EXPECT_EQ(readAll(target.string()), "program 1.03");
}

TEST_F(ReplaceHelperTest, GivesUpAfterAMinuteAndLeavesTheOldProgram) {
    writeHandOver(target.string());
    temp.write("tmp/satdata_temp/satdata.str", "running data");
    InstanceMarker oldProgram;
    ASSERT_TRUE(oldProgram.hold(role.instanceMarker));
    EXPECT_EQ(runReplaceHelper(role), ReplaceOutcome::OldProgramRunning);
    EXPECT_EQ(clock.totalSlept(), 60000ms);
    EXPECT_EQ(lines, std::vector<std::string>{kFailed});
    EXPECT_EQ(readAll(target.string()), "program 1.02");
    // The running program keeps its working folder; only the helper's leftovers go.
    EXPECT_TRUE(fs::exists(workFolder / "satdata.str"));
    EXPECT_FALSE(fs::exists(helperFolder));
    EXPECT_FALSE(fs::exists(programFolder / "plumo.tmp"));
}

TEST_F(ReplaceHelperTest, AStaleMarkerIsNoRunningProgram) {
    writeHandOver(target.string());
    temp.write("tmp/satdata_temp/ready.tmp", "ready\r\n");
    EXPECT_EQ(runReplaceHelper(role), ReplaceOutcome::Started);
    EXPECT_TRUE(clock.sleeps().empty());
}

TEST_F(ReplaceHelperTest, AnUnwritableProgramFolderKeepsTheOldProgram) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root writes into any folder";
    }
    writeHandOver(target.string());
    fs::permissions(programFolder, static_cast<fs::perms>(0555));
    EXPECT_EQ(runReplaceHelper(role), ReplaceOutcome::InstallFailed);
    fs::permissions(programFolder, static_cast<fs::perms>(0755));
    EXPECT_EQ(readAll(target.string()), "program 1.02");
    EXPECT_EQ(lines.front(), kFailed);
}

TEST_F(ReplaceHelperTest, ANewProgramThatDoesNotStartIsStillInstalled) {
    writeHandOver(target.string());
    startWorks = false;
    EXPECT_EQ(runReplaceHelper(role), ReplaceOutcome::StartFailed);
    EXPECT_EQ(readAll(target.string()), "program 1.03");
}

TEST(InstallProgramFile, ReplacesByRenameAndKeepsTheOldInodeIntact) {
    TempFolder temp;
    const fs::path target = temp.write("zorvast", "old");
    const fs::path fresh = temp.write("new", "new program");
    // A process still running the old file keeps reading the old content.
    const int reader = ::open(target.c_str(), O_RDONLY);
    ASSERT_GE(reader, 0);
    ASSERT_TRUE(installProgramFile(fresh, target));
    char buffer[8] = {};
    EXPECT_EQ(::read(reader, buffer, sizeof buffer), 3);
    EXPECT_EQ(std::string(buffer, 3), "old");
    ::close(reader);
    EXPECT_EQ(readAll(target.string()), "new program");
    EXPECT_EQ(permissionsOf(target) & 0100, 0100u);
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
