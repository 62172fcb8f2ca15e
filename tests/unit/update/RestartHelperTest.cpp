#include "update/roles/RestartHelper.h"

#include "common/Clock.h"
#include "support/TempFolder.h"
#include "update/roles/InstanceMarker.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace zorvast::update {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing::readAll;
using testing::TempFolder;

// Every path below `root`, sorted: what a step left on disk.
std::vector<std::string> treeOf(const fs::path& root) {
    std::vector<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        names.push_back(fs::relative(entry.path(), root).string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

struct Recorder {
    std::vector<std::string> lines;
    std::vector<ProgramStart> starts;
    bool startWorks = true;

    ProgramStarter starter() {
        return [this](const ProgramStart& start) {
            lines.push_back("start " + start.program.string());
            starts.push_back(start);
            return startWorks;
        };
    }
};

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

class RestartHandOverTest : public ::testing::Test {
public:
    RestartHandOverTest() {
        programFolder = temp.path() / "my programs" / "zorvast 1.02";
        temp.write("my programs/zorvast 1.02/zorvast app", "\x7f"
                                                           "ELF pretend program");
        handOver.programFile = programFolder / "zorvast app";
        handOver.programFolder = programFolder;
        handOver.clock = &clock;
        handOver.processEvents = [this] {
            recorder.lines.push_back("events");
        };
        handOver.start = recorder.starter();
    }

    TempFolder temp;
    fs::path programFolder;
    common::ManualClock clock;
    Recorder recorder;
    RestartHandOver handOver;
};

TEST_F(RestartHandOverTest, StartsTheProgramItselfUnderTheHelperNameWithItsPath) {
    const std::vector<std::string> before = treeOf(temp.path());

    ASSERT_TRUE(handOverToRestartHelper(handOver));

    ASSERT_EQ(recorder.starts.size(), 1u);
    const ProgramStart& start = recorder.starts[0];
    EXPECT_EQ(start.program, handOver.programFile);
    EXPECT_EQ(start.arguments, (std::vector<std::string>{"plumo_updata_69656858.exe",
                                                         handOver.programFile.string()}));
    EXPECT_EQ(start.workingFolder, programFolder);
    EXPECT_EQ(recorder.lines,
              (std::vector<std::string>{"events", "start " + handOver.programFile.string()}));
    ASSERT_EQ(clock.sleeps().size(), 1u);
    EXPECT_EQ(clock.sleeps()[0], 300ms);
    // Nothing copied, no hand-over file, no helper folder.
    EXPECT_EQ(treeOf(temp.path()), before);
}

TEST_F(RestartHandOverTest, AFailedStartOrNoProgramFileIsReported) {
    recorder.startWorks = false;
    EXPECT_FALSE(handOverToRestartHelper(handOver));

    recorder.lines.clear();
    handOver.programFile.clear();
    EXPECT_FALSE(handOverToRestartHelper(handOver));
    EXPECT_TRUE(recorder.lines.empty());
}

class RestartHelperRoleTest : public ::testing::Test {
public:
    RestartHelperRoleTest() {
        role.clock = &clock;
        role.showMessage = [this](const std::string& caption, const std::string& text) {
            recorder.lines.push_back("message " + caption + " " + text);
        };
        role.cleanupWorkFiles = [this] {
            recorder.lines.push_back("cleanup");
        };
        role.start = recorder.starter();
    }

    TempFolder temp;
    common::ManualClock clock;
    Recorder recorder;
    RestartHelperRole role;
};

TEST_F(RestartHelperRoleTest, ArgumentsByLength) {
    const std::string program = temp.write("my program/zorvast", "program");
    const std::string message =
        "message 错误207 无法读取临时文件，请检查C盘是否已满或有无读写权限。";
    struct Case {
        const char* what;
        std::vector<std::string> arguments;
        RestartOutcome outcome;
        std::vector<std::string> lines;
    };
    const std::vector<Case> cases = {
        {"missing", {}, RestartOutcome::HandOverMissing, {message, "cleanup"}},
        {"empty", {""}, RestartOutcome::HandOverMissing, {message, "cleanup"}},
        {"4 bytes", {"/a/b"}, RestartOutcome::HandOverMissing, {message, "cleanup"}},
        {"5 bytes naming nothing", {"/a/bc"}, RestartOutcome::TargetMissing, {}},
        {"a folder", {temp.path().string()}, RestartOutcome::TargetMissing, {}},
        {"the program, spaces in its path",
         {program},
         RestartOutcome::Started,
         {"start " + program}},
        {"more arguments than one",
         {program, "--version"},
         RestartOutcome::Started,
         {"start " + program}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        recorder.lines.clear();
        role.arguments = c.arguments;
        EXPECT_EQ(runRestartHelper(role), c.outcome);
        EXPECT_EQ(recorder.lines, c.lines);
    }
}

TEST_F(RestartHelperRoleTest, TheProgramStartsUnderItsOwnNameInTheCurrentFolder) {
    const std::string program = temp.write("my program/zorvast app", "program");
    role.arguments = {program};
    ASSERT_EQ(runRestartHelper(role), RestartOutcome::Started);
    ASSERT_EQ(recorder.starts.size(), 1u);
    EXPECT_EQ(recorder.starts[0].program, program);
    EXPECT_EQ(recorder.starts[0].arguments, std::vector<std::string>{program});
    EXPECT_TRUE(recorder.starts[0].workingFolder.empty());
    EXPECT_TRUE(clock.sleeps().empty()) << "no marker, no wait";
}

TEST_F(RestartHelperRoleTest, AStartThatFailsIsReported) {
    role.arguments = {temp.write("zorvast", "program")};
    recorder.startWorks = false;
    EXPECT_EQ(runRestartHelper(role), RestartOutcome::StartFailed);
}

TEST_F(RestartHelperRoleTest, WaitsUntilTheOldProgramHasLetGoOfItsMarker) {
    role.arguments = {temp.write("zorvast", "program")};
    role.instanceMarker = temp.path() / "satdata_temp" / "ready.tmp";
    fs::create_directories(role.instanceMarker.parent_path());
    InstanceMarker oldProgram;
    ASSERT_TRUE(oldProgram.hold(role.instanceMarker));
    SteppingClock stepping;
    int looks = 0;
    stepping.onSleep = [&] {
        EXPECT_TRUE(recorder.lines.empty()) << "started before the old program ended";
        if (++looks == 2) {
            oldProgram.release();
        }
    };
    role.clock = &stepping;
    EXPECT_EQ(runRestartHelper(role), RestartOutcome::Started);
    EXPECT_EQ(stepping.inner.sleeps(), (std::vector<std::chrono::milliseconds>{1000ms, 1000ms}));
}

TEST_F(RestartHelperRoleTest, AnOldProgramThatStaysIsWaitedForTenSecondsAtMost) {
    role.arguments = {temp.write("zorvast", "program")};
    role.instanceMarker = temp.path() / "ready.tmp";
    InstanceMarker oldProgram;
    ASSERT_TRUE(oldProgram.hold(role.instanceMarker));
    EXPECT_EQ(runRestartHelper(role), RestartOutcome::Started);
    EXPECT_EQ(clock.totalSlept(), 10000ms);
}

// The real start: a program whose path holds spaces, run in the folder given, with no shell
// splitting its name.
TEST(StartDetached, StartsAProgramWhosePathHasSpaces) {
    TempFolder temp;
    const fs::path folder = temp.path() / "my programs" / "zorvast 1.02";
    const std::string script =
        temp.write("my programs/zorvast 1.02/run me",
                   "#!/bin/sh\npwd > \"$0.out\"\necho \"$#\" >> \"$0.out\"\n");
    ASSERT_EQ(::chmod(script.c_str(), 0755), 0);
    const std::optional<pid_t> child = startDetached({script, {}, folder});
    ASSERT_TRUE(child);
    int status = 0;
    ASSERT_EQ(::waitpid(*child, &status, 0), *child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(readAll(script + ".out"), folder.string() + "\n0\n");

    EXPECT_FALSE(startDetached({temp.path() / "no such program", {}, {}}));
    EXPECT_FALSE(startDetached({"/bin/sh", {}, temp.path() / "no such folder"}));
}

// The name the program is started under and its arguments arrive as given, spaces and all.
TEST(StartDetached, PassesArgvZeroAndTheArguments) {
    TempFolder temp;
    const fs::path out = temp.path() / "cmdline";
    // tr runs as the shell's child, so the command line read is the shell's.
    const std::string command = "tr '\\0' '\\n' < /proc/$$/cmdline > \"$0\"; exit 0";
    const std::optional<pid_t> child = startDetached(
        {"/bin/sh", {"plumo_updata_69656858.exe", "-c", command, out.string()}, temp.path()});
    ASSERT_TRUE(child);
    int status = 0;
    ASSERT_EQ(::waitpid(*child, &status, 0), *child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(readAll(out.string()),
              "plumo_updata_69656858.exe\n-c\n" + command + "\n" + out.string() + "\n");
}

TEST(StartDetached, TheRoleStartsTheTargetInTheFolderItRunsIn) {
    TempFolder temp;
    const fs::path folder = temp.path() / "program folder";
    const std::string script = temp.write(
        "program folder/zorvast", "#!/bin/sh\npwd > \"" + folder.string() + "/started.txt\"\n");
    ASSERT_EQ(::chmod(script.c_str(), 0755), 0);
    RestartHelperRole role;
    role.arguments = {script};
    // The helper was started in the program folder (where the data lies), which need not be
    // the one holding the program file; the default starter: the child stays ours until it
    // ends, so it can be waited for.
    const fs::path here = fs::current_path();
    EXPECT_EQ(runRestartHelper(role), RestartOutcome::Started);
    int status = 0;
    ASSERT_GT(::wait(&status), 0);
    EXPECT_EQ(readAll((folder / "started.txt").string()), here.string() + "\n");
}

} // namespace
} // namespace zorvast::update
