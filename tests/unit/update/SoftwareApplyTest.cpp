#include "update/package/SoftwareApply.h"

#include "UpdateFakes.h"
#include "update/package/PackageDownload.h"
#include "update/roles/ReplaceHelper.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>

namespace zorvast::update {
namespace {

namespace fs = std::filesystem;
using testing::FlowFixture;
using testing::kComma;
using testing::readAll;

const std::string kQuestion = "ask 新版Zorvast下载完成 "
                              "软件更新已下载完毕，现在立即更换新版吗？(会自动退出并重新打开本软件)"
                              "\r\n选 [取消]，则在下次打开本软件时再自动更新。";
const std::string kLater = " ◎ 本软件有新版，增加更多功能，下次打开时记得及时更新。";
const std::string kNoMirrorLeft = " ◎ 读远程列表发生错误，更新软件失败，下次运行本软件自动重试...";

std::string programOf(std::size_t bytes) {
    std::string program = "\x7f"
                          "ELF zorvast 1.03 ";
    program.resize(bytes, 'z');
    return program;
}

std::string archiveBytes(const fs::path& scratch,
                         const std::vector<common::ArchiveEntry>& entries) {
    testing::writeArchive(scratch, entries);
    const std::string bytes = readAll(scratch.string());
    fs::remove(scratch);
    return bytes;
}

class SoftwareApply : public ::testing::Test, public FlowFixture {
public:
    SoftwareApply() { state.setServerBase("http://a.test"); }

    std::string package(std::size_t programBytes) {
        return archiveBytes(
            temp.path() / "scratch.zip",
            testing::signedEntries({{"plumo.exe", programOf(programBytes), true, {2026, 12, 1}}}));
    }

    std::string tamperedPackage() {
        auto entries =
            testing::signedEntries({{"plumo.exe", programOf(500000), true, {2026, 12, 1}}});
        entries[0].data[100] ^= 1;
        return archiveBytes(temp.path() / "scratch.zip", entries);
    }

    std::string unsignedPackage() {
        return archiveBytes(temp.path() / "scratch.zip",
                            {{"plumo.exe", programOf(500000), true, {2026, 12, 1}}});
    }

    // The package served by the mirrors of "/su.htm", downloaded, and its transfer ended.
    void downloadFrom(const std::vector<std::pair<std::string, std::string>>& mirrors) {
        std::string list;
        for (const auto& [url, bytes] : mirrors) {
            list += (list.empty() ? "" : kComma) + url;
            if (!bytes.empty()) {
                downloader.served[url] = bytes;
            }
        }
        answers["http://a.test/su.htm"] = list;
        ASSERT_TRUE(startPackageDownload(flow, PackageKind::Software));
        journal.lines.clear();
        clock.clearSleeps();
    }
};

TEST_F(SoftwareApply, ASignedNewProgramIsOfferedAndOkHandsOver) {
    downloadFrom({{"http://m1/zorvast.zip", package(400001)}});
    transferMonitorTick(flow);
    EXPECT_FALSE(state.softwareDownloadActive);
    // Checked in memory: nothing is unpacked anywhere.
    EXPECT_FALSE(fs::exists(paths.helperFolder));
    EXPECT_FALSE(fs::exists(paths.workFolder));
    const int monitorStopped = journal.indexOf("monitor 0");
    const int asked = journal.indexOf(kQuestion);
    ASSERT_GE(monitorStopped, 0) << journal.dump();
    EXPECT_GT(asked, monitorStopped);
    EXPECT_GT(journal.indexOf("replace hand over"), asked);
    EXPECT_TRUE(view.ended);
    EXPECT_EQ(view.status, " ◎ 找到更新的软件版本，正在下载...");
}

TEST_F(SoftwareApply, CancelOrASmallProgramLeavesTheDownloadForNextTime) {
    const struct {
        const char* name;
        std::size_t programBytes;
        bool answerOk;
        bool handOverWorks;
        bool asked;
        bool handedOver;
    } cases[] = {
        {"cancel", 400001, false, true, true, false},
        {"exactly 400000 bytes is not offered", 400000, true, true, false, false},
        {"a failed hand-over keeps the program running", 900000, true, false, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        downloader.served.clear();
        view.ended = false;
        view.status.clear();
        view.answerOk = c.answerOk;
        handOverWorks = c.handOverWorks;
        downloadFrom({{"http://m1/zorvast.zip", package(c.programBytes)}});
        transferMonitorTick(flow);
        EXPECT_EQ(journal.has(kQuestion), c.asked) << journal.dump();
        EXPECT_EQ(journal.has("replace hand over"), c.handedOver);
        EXPECT_FALSE(view.ended);
        EXPECT_EQ(view.status, kLater);
        EXPECT_FALSE(view.barVisible);
        // plumo.tmp stays: a whole file has no resume record, so the next start fetches it anew.
        EXPECT_TRUE(fs::exists(paths.softwareDownload));
        EXPECT_FALSE(readPartialDownload(paths.softwareDownload));
        EXPECT_FALSE(state.softwareDownloadActive);
    }
}

TEST_F(SoftwareApply, InFirstDownloadModeTheTextGoesToTheLabel) {
    downloadMode = true;
    view.answerOk = false;
    downloadFrom({{"http://m1/zorvast.zip", package(400001)}});
    view.barVisible = true;
    transferMonitorTick(flow);
    EXPECT_EQ(view.label, "请退出，稍后重新尝试进入。");
    EXPECT_TRUE(view.status.empty());
    EXPECT_TRUE(view.barVisible);
}

TEST_F(SoftwareApply, APackageThatIsNotOursIsNeverOffered) {
    const struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"altered after signing", tamperedPackage()},
        {"unsigned", unsignedPackage()},
        {"not a ZIP", std::string(500000, 'x')},
        {"cut short",
         [this] {
             const std::string whole = package(500000);
             return whole.substr(0, whole.size() / 2);
         }()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        downloader.served.clear();
        view.status.clear();
        downloadFrom({{"http://m1/zorvast.zip", c.bytes}});
        transferMonitorTick(flow);
        EXPECT_FALSE(journal.has(kQuestion)) << journal.dump();
        EXPECT_FALSE(journal.has("replace hand over"));
        EXPECT_FALSE(fs::exists(paths.helperFolder));
        EXPECT_FALSE(fs::exists(paths.softwareDownload));
        EXPECT_EQ(view.status, kNoMirrorLeft);
        EXPECT_FALSE(view.barVisible);
        EXPECT_EQ(view.monitorInterval, 0);
        EXPECT_FALSE(state.softwareDownloadActive);
    }
}

TEST_F(SoftwareApply, FailingMirrorsAreWalkedInOrder) {
    downloadFrom({{"http://m1/zorvast.zip", unsignedPackage()},
                  {"http://m2/zorvast.zip", ""},
                  {"http://m3/zorvast.zip", package(400001)}});
    view.answerOk = false;
    transferMonitorTick(flow);
    EXPECT_TRUE(journal.has("start http://m2/zorvast.zip")) << journal.dump();
    EXPECT_FALSE(journal.has("start http://m3/zorvast.zip"));
    // m2 delivers nothing by the next tick: the third is started.
    transferMonitorTick(flow);
    EXPECT_TRUE(journal.has("start http://m3/zorvast.zip")) << journal.dump();
    EXPECT_TRUE(state.softwareDownloadActive);
    transferMonitorTick(flow);
    EXPECT_TRUE(journal.has(kQuestion)) << journal.dump();
    EXPECT_EQ(view.status, kLater);
}

TEST_F(SoftwareApply, NoMirrorLeftInFirstDownloadMode) {
    downloadMode = true;
    downloadFrom({{"http://m1/zorvast.zip", unsignedPackage()}});
    transferMonitorTick(flow);
    const int first = journal.indexOf("label 读列表错误，更新失败，下次运行自动重试...");
    const int second = journal.indexOf("label 请退出，稍后再次重试...");
    ASSERT_GE(first, 0) << journal.dump();
    EXPECT_GT(second, first);
    EXPECT_GT(journal.indexOf("monitor 0"), second);
    // The only wait.
    EXPECT_EQ(sleepsInMs(), (std::vector<std::string>{"6000"}));
    EXPECT_FALSE(journal.has("bar hidden"));
}

// The size offered on is the verified package's, not a file some folder holds.
TEST_F(SoftwareApply, AProgramLyingInTheHelperFolderIsNotLookedAt) {
    fs::create_directories(paths.helperFolder);
    common::writeFileBytes(paths.helperFolder / "plumo.exe", programOf(900000));
    downloadFrom({{"http://m1/zorvast.zip", package(400000)}});
    transferMonitorTick(flow);
    EXPECT_FALSE(journal.has(kQuestion)) << journal.dump();
    EXPECT_EQ(view.status, kLater);
}

// OK hands over to the real replacement helper role (run here in place of the new process):
// what it installs is what it checks itself, not what the download check saw.
class SoftwareInstall : public SoftwareApply {
public:
    SoftwareInstall() {
        program = paths.programFolder / "zorvast app";
        common::writeFileBytes(program, "program 1.02");
        role.arguments = {program.string()};
        role.instanceMarker = paths.instanceMarker;
        role.softwareDownload = paths.softwareDownload;
        role.packageKey = flow.packageKey;
        role.clock = &clock;
        role.showMessage = [this](const std::string& caption, const std::string& text) {
            journal.add("helper message " + caption + " " + text);
        };
        role.cleanupWorkFiles = [this] {
            store.cleanupWorkFiles();
        };
        role.start = [this](const ProgramStart& start) {
            journal.add("helper start " + start.program.string());
            return true;
        };
        flow.hooks.handOverToReplaceHelper = [this] {
            journal.add("replace hand over");
            if (beforeHelper) {
                beforeHelper();
            }
            outcome = runReplaceHelper(role);
            return true;
        };
    }

    fs::path program;
    ReplaceHelperRole role;
    std::function<void()> beforeHelper;
    std::optional<ReplaceOutcome> outcome;
};

TEST_F(SoftwareInstall, TheProgramOfferedIsTheProgramInstalled) {
    downloadFrom({{"http://m1/zorvast.zip", package(400001)}});
    transferMonitorTick(flow);
    ASSERT_TRUE(journal.has(kQuestion)) << journal.dump();
    EXPECT_EQ(outcome, ReplaceOutcome::Started);
    EXPECT_EQ(readAll(program.string()), programOf(400001));
    EXPECT_TRUE(journal.has("helper start " + program.string()));
    EXPECT_FALSE(fs::exists(paths.softwareDownload));
}

TEST_F(SoftwareInstall, APackageAlteredAfterTheDownloadCheckIsRefusedAtInstall) {
    downloadFrom({{"http://m1/zorvast.zip", package(400001)}});
    beforeHelper = [this] {
        // The same package, its program changed after signing: it passed the download check
        // in its first form only.
        common::writeFileBytes(paths.softwareDownload, tamperedPackage());
    };
    transferMonitorTick(flow);
    ASSERT_TRUE(journal.has(kQuestion)) << journal.dump();
    EXPECT_EQ(outcome, ReplaceOutcome::PackageRefused);
    EXPECT_TRUE(journal.has("helper message 错误204 无法读取临时文件，升级失败，请稍后重试。"));
    EXPECT_FALSE(journal.has("helper start " + program.string()));
    EXPECT_EQ(readAll(program.string()), "program 1.02");
    EXPECT_FALSE(fs::exists(paths.softwareDownload));
}

TEST_F(SoftwareApply, WaitsWhileTheDatabaseIsRead) {
    downloadFrom({{"http://m1/zorvast.zip", package(400001)}});
    databaseReads = 2;
    transferMonitorTick(flow);
    EXPECT_EQ(sleepsInMs(), (std::vector<std::string>{"1000", "1000"}));
    EXPECT_TRUE(journal.has(kQuestion));
}

TEST_F(SoftwareApply, ADatabaseThatStaysBusyIsWaitedForOneMinuteAtMost) {
    downloadFrom({{"http://m1/zorvast.zip", package(400001)}});
    databaseReads = 1000000;
    transferMonitorTick(flow);
    EXPECT_EQ(clock.totalSlept(), std::chrono::milliseconds(60000));
    EXPECT_TRUE(journal.has(kQuestion));
}

TEST_F(SoftwareApply, NothingHappensWhileTheTransferRuns) {
    downloadFrom({{"http://m1/zorvast.zip", package(400001)}});
    state.transferRunning = true;
    transferMonitorTick(flow);
    EXPECT_FALSE(journal.has(kQuestion));
    EXPECT_TRUE(state.softwareDownloadActive);
    EXPECT_FALSE(fs::exists(paths.helperFolder));
}

} // namespace
} // namespace zorvast::update
