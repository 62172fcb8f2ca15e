#include "update/roles/RestartHelper.h"

#include "common/Files.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>

#include <string>
#include <vector>

namespace zorvast::update {
namespace {

namespace fs = std::filesystem;
using testing::readAll;
using testing::TempFolder;

struct Recorder {
    std::vector<std::string> lines;
    bool startWorks = true;

    ProgramStarter starter() {
        return [this](const fs::path& program) {
            lines.push_back("start " + program.string());
            return startWorks;
        };
    }
};

class RestartHandOverTest : public ::testing::Test {
public:
    RestartHandOverTest() {
        self = temp.write("build/zorvast", "\x7f"
                                           "ELF pretend program");
        handOver.helperFolder = temp.path() / "tmp" / "satdata_temp2";
        handOver.selfExecutable = self;
        handOver.programPath = (temp.path() / "my programs" / "zorvast 1.02" / "zorvast").string();
        handOver.clock = &clock;
        handOver.processEvents = [this] {
            recorder.lines.push_back("events");
        };
        handOver.start = recorder.starter();
    }

    TempFolder temp;
    std::string self;
    common::ManualClock clock;
    Recorder recorder;
    RestartHandOver handOver;
};

TEST_F(RestartHandOverTest, CopiesItselfLeavesItsPathAndStartsTheHelper) {
    temp.write("tmp/satdata_temp2/plumo.exe", "left from another run");

    ASSERT_TRUE(handOverToRestartHelper(handOver));

    const fs::path helper = handOver.helperFolder / "plumo_updata_69656858.exe";
    EXPECT_EQ(readAll(helper.string()), readAll(self));
    struct stat info {};
    ASSERT_EQ(::stat(helper.c_str(), &info), 0);
    EXPECT_NE(info.st_mode & S_IXUSR, 0u) << "the run bit";
    EXPECT_EQ(readAll((handOver.helperFolder / "file.tmp").string()), handOver.programPath)
        << "the path alone, no line break";
    EXPECT_FALSE(fs::exists(handOver.helperFolder / "plumo.exe")) << "the folder is made anew";
    EXPECT_EQ(recorder.lines, (std::vector<std::string>{"events", "start " + helper.string()}));
    ASSERT_EQ(clock.sleeps().size(), 1u);
    EXPECT_EQ(clock.sleeps()[0].count(), 300);
}

TEST_F(RestartHandOverTest, TheRunningProgramFileIsTheDefault) {
    handOver.selfExecutable = RestartHandOver{}.selfExecutable;
    ASSERT_TRUE(handOverToRestartHelper(handOver));
    const fs::path helper = handOver.helperFolder / "plumo_updata_69656858.exe";
    EXPECT_EQ(fs::file_size(helper), fs::file_size(fs::canonical("/proc/self/exe")));
}

TEST_F(RestartHandOverTest, AFolderThatCannotBeMadeIsReported) {
    temp.write("tmp/blocked", "a file where a folder should go");
    handOver.helperFolder = temp.path() / "tmp" / "blocked" / "satdata_temp2";
    bool between = false;
    handOver.afterHelperFolderRemoved = [&] {
        between = true;
    };
    EXPECT_FALSE(handOverToRestartHelper(handOver));
    EXPECT_TRUE(between);
    EXPECT_TRUE(recorder.lines.empty());
}

TEST_F(RestartHandOverTest, AMissingProgramFileOrAFailedStartIsReported) {
    handOver.selfExecutable = temp.path() / "gone";
    EXPECT_FALSE(handOverToRestartHelper(handOver));
    EXPECT_TRUE(recorder.lines.empty());

    handOver.selfExecutable = self;
    recorder.startWorks = false;
    EXPECT_FALSE(handOverToRestartHelper(handOver));
}

class RestartHelperRoleTest : public ::testing::Test {
public:
    RestartHelperRoleTest() {
        role.helperFolder = temp.path() / "satdata_temp2";
        fs::create_directories(role.helperFolder);
        role.showMessage = [this](const std::string& caption, const std::string& text) {
            recorder.lines.push_back("message " + caption + " " + text);
        };
        role.cleanupWorkFiles = [this] {
            recorder.lines.push_back("cleanup");
        };
        role.start = recorder.starter();
    }
    void handOverText(const std::string& text) { temp.write("satdata_temp2/file.tmp", text); }

    TempFolder temp;
    Recorder recorder;
    RestartHelperRole role;
};

TEST_F(RestartHelperRoleTest, HandOverFilesByLength) {
    const std::string program = temp.write("my program/zorvast", "program");
    const std::string message =
        "message 错误207 无法读取临时文件，请检查C盘是否已满或有无读写权限。";
    struct Case {
        const char* what;
        std::optional<std::string> text; // nullopt: no file.tmp
        RestartOutcome outcome;
        std::vector<std::string> lines;
    };
    const std::vector<Case> cases = {
        {"missing", std::nullopt, RestartOutcome::HandOverMissing, {message, "cleanup"}},
        {"empty", "", RestartOutcome::HandOverMissing, {message, "cleanup"}},
        {"4 bytes", "/a/b", RestartOutcome::HandOverMissing, {message, "cleanup"}},
        {"5 bytes naming nothing", "/a/bc", RestartOutcome::TargetMissing, {}},
        {"a folder", temp.path().string(), RestartOutcome::TargetMissing, {}},
        {"the program, spaces in its path", program, RestartOutcome::Started, {"start " + program}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        recorder.lines.clear();
        fs::remove(role.helperFolder / "file.tmp");
        if (c.text) {
            handOverText(*c.text);
        }
        EXPECT_EQ(runRestartHelper(role), c.outcome);
        EXPECT_EQ(recorder.lines, c.lines);
    }
}

TEST_F(RestartHelperRoleTest, AStartThatFailsIsReported) {
    const std::string program = temp.write("zorvast", "program");
    handOverText(program);
    recorder.startWorks = false;
    EXPECT_EQ(runRestartHelper(role), RestartOutcome::StartFailed);
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
    const std::optional<pid_t> child = startDetached(script, folder);
    ASSERT_TRUE(child);
    int status = 0;
    ASSERT_EQ(::waitpid(*child, &status, 0), *child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(readAll(script + ".out"), folder.string() + "\n0\n");

    EXPECT_FALSE(startDetached(temp.path() / "no such program"));
}

TEST(StartDetached, TheRoleStartsTheTargetInTheFolderItRunsIn) {
    TempFolder temp;
    const fs::path folder = temp.path() / "program folder";
    const std::string script = temp.write(
        "program folder/zorvast", "#!/bin/sh\npwd > \"" + folder.string() + "/started.txt\"\n");
    ASSERT_EQ(::chmod(script.c_str(), 0755), 0);
    temp.write("satdata_temp2/file.tmp", script);
    RestartHelperRole role;
    role.helperFolder = temp.path() / "satdata_temp2";
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
