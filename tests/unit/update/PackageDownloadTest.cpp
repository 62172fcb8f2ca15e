#include "update/package/PackageDownload.h"

#include "UpdateFakes.h"

#include <gtest/gtest.h>

namespace zorvast::update {
namespace {

namespace fs = std::filesystem;
using testing::FlowFixture;
using testing::kComma;
using testing::readAll;

TEST(ProgressStep, DeltaRatioStepTable) {
    struct Case {
        std::uint64_t delta;
        double total;
        int step;
    };
    const std::vector<Case> cases = {
        {0, 1000, 0},         // nothing arrived
        {0, 0, 0},            //
        {10, 0, 0},           // no size yet: ratio 0
        {2000, 1000, 0},      // more than the size in one tick: ratio 0
        {1000, 1000, 101},    // ratio 1
        {500, 1000, 51},      // ratio 2
        {3, 10, 34},          // ratio 3
        {10240, 1024000, 2},  // ratio 100
        {10240, 10000000, 1}, // ratio 976: 100 / 976 = 0, plus 1
        {7, 100.9, 8},        // the size is truncated first: 100 / 7 = 14, 100 / 14 = 7
        {1, 1e15, 1},         //
        {1, -1, -99},         // a negative size (ratio -1) gives a negative step...
        {5, -1, 0},           // ...or none
    };
    for (const Case& c : cases) {
        EXPECT_EQ(progressStep(c.delta, c.total), c.step)
            << "delta " << c.delta << " total " << c.total;
    }
}

TEST(ProgressStep, TheBarStaysWithinItsRange) {
    struct Case {
        int current;
        int step;
        int expected;
    };
    const std::vector<Case> cases = {
        {0, 0, 0}, {0, 34, 34}, {95, 10, 100}, {100, 1, 100}, {99, 101, 100}, {50, -99, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(advancedBarValue(c.current, c.step), c.expected)
            << "current " << c.current << " step " << c.step;
    }
}

TEST(TransferCallback, SizeMarksTheTransferRunningEveryEndClearsIt) {
    UpdateState state;
    onTransferEvent(state, TransferEvent::SizeKnown, 123456);
    EXPECT_TRUE(state.transferRunning);
    EXPECT_EQ(state.totalBytes.load(), 123456);
    for (const TransferEvent end :
         {TransferEvent::Finished, TransferEvent::Failed, TransferEvent::Stopped}) {
        state.transferRunning = true;
        onTransferEvent(state, end, 0);
        EXPECT_FALSE(state.transferRunning) << static_cast<int>(end);
    }
    state.transferRunning = true;
    onTransferEvent(state, TransferEvent::FileExists, 0);
    EXPECT_TRUE(state.transferRunning);
    EXPECT_EQ(state.totalBytes.load(), 123456); // kept between transfers
}

class PackageDownload : public ::testing::Test, public FlowFixture {
public:
    PackageDownload() { state.setServerBase("http://a.test"); }

    // A valid signed package with a database that opens.
    std::string goodPackage() {
        const fs::path scratch = temp.path() / "good.zip";
        testing::writeArchive(scratch, testing::signedEntries(testing::dataPackageEntries(
                                           testing::storedDatabaseWithVersion("261210"))));
        return readAll(scratch.string());
    }
};

TEST_F(PackageDownload, StartConfiguresTheSlotAndStartsTheFirstMirror) {
    answers["http://a.test/du.htm"] =
        common::toGbk(" http://m1/satdata.sta　，ftp://m2/pub/satdata.sta").bytes;
    common::writeFileBytes(paths.dataDownload, "left over");

    EXPECT_TRUE(startPackageDownload(flow, PackageKind::Data));

    const std::vector<std::string> expected = {
        "configure 10240 5000 3",
        "fetch http://a.test/du.htm",
        "start http://m1/satdata.sta",
        "monitor 1000",
    };
    EXPECT_EQ(journal.all(), expected) << journal.dump();
    EXPECT_FALSE(fs::exists(paths.dataDownload)) << "an old download is removed first";
    EXPECT_EQ(sleepsInMs(), std::vector<std::string>{"300"});
    EXPECT_TRUE(state.dataDownloadActive);
    EXPECT_EQ(state.mirrorIndex.load(), 1);
    ASSERT_EQ(downloader.tasks.size(), 1u);
    const DownloadTask& task = downloader.tasks[0];
    EXPECT_EQ(task.localFile, paths.dataDownload);
    EXPECT_EQ(task.blockSize, 10240u);
    EXPECT_EQ(task.connectTimeout.count(), 5000);
    EXPECT_EQ(task.firstByteTimeout.count(), 5000);
    EXPECT_EQ(task.stallTimeout.count(), 5000);
    ASSERT_TRUE(task.onEvent);
    task.onEvent(TransferEvent::SizeKnown, 42);
    EXPECT_TRUE(state.transferRunning);
    EXPECT_EQ(state.totalBytes.load(), 42);
}

TEST_F(PackageDownload, NoMirrorGivesTheTextsAndTheSoftwareCheck) {
    struct Case {
        const char* what;
        std::string body;
        bool firstDownload;
        std::string text;
    };
    const std::vector<Case> cases = {
        {"empty list", "", false, "status  ◎ 无法获取远程列表，下载已停止，下次启动软件将重试。"},
        {"empty first entry", kComma + "http://m2/p.zip", false,
         "status  ◎ 无法获取远程列表，下载已停止，下次启动软件将重试。"},
        {"spaces only", "  ", false,
         "status  ◎ 无法获取远程列表，下载已停止，下次启动软件将重试。"},
        {"first-download mode", "", true, "label 无法获取远程列表，下载停止，请稍后再试"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        journal.lines.clear();
        clock.clearSleeps();
        answers["http://a.test/du.htm"] = c.body;
        downloadMode = c.firstDownload;
        state.dataDownloadActive = true;

        EXPECT_FALSE(startPackageDownload(flow, PackageKind::Data));

        const int text = journal.indexOf(c.text);
        const int check = journal.indexOf("worker software check");
        EXPECT_GE(text, 0) << journal.dump();
        EXPECT_GT(check, text) << journal.dump();
        EXPECT_TRUE(journal.has("software check"));
        EXPECT_FALSE(state.dataDownloadActive);
        EXPECT_EQ(sleepsInMs(), std::vector<std::string>{"5000"});
        for (const std::string& line : journal.all()) {
            EXPECT_NE(line.rfind("start ", 0), 0u) << line;
        }
    }
}

TEST_F(PackageDownload, SoftwareKindTextsAndFlags) {
    answers["http://a.test/su.htm"] = "";
    downloadMode = true;
    EXPECT_FALSE(startPackageDownload(flow, PackageKind::Software));
    EXPECT_EQ(view.label,
              "无法获取远程列表，下载停止，请稍后再试，或进入www.zorvast.cn下载最新版本");
    EXPECT_EQ(view.monitorInterval, 0);
    EXPECT_FALSE(journal.has("worker software check"));

    downloadMode = false;
    answers["http://a.test/su.htm"] = "http://m1/zorvast.zip";
    state.dataDownloadActive = true;
    view.mainBar = 70;
    EXPECT_TRUE(startPackageDownload(flow, PackageKind::Software));
    EXPECT_EQ(downloader.tasks.back().localFile, paths.softwareDownload);
    EXPECT_FALSE(state.dataDownloadActive);
    EXPECT_TRUE(state.softwareDownloadActive);
    EXPECT_EQ(view.monitorInterval, 1000);
    EXPECT_TRUE(view.barVisible);
    EXPECT_EQ(view.mainBar, 0);
    EXPECT_EQ(view.status, " ◎ 找到更新的软件版本，正在下载...");
}

TEST_F(PackageDownload, TicksMoveTheBarWhileTheTransferRuns) {
    state.dataDownloadActive = true;
    state.transferRunning = true;
    state.totalBytes = 100000;
    downloader.received = {25000, 25000, 50000, 50000, 0};
    const std::vector<int> expected = {26, 52, 100, 100, 100};
    for (int value : expected) {
        transferMonitorTick(flow);
        EXPECT_EQ(view.mainBar, value);
        EXPECT_TRUE(view.barVisible);
    }
    EXPECT_TRUE(journal.has("main range 0-100"));
    EXPECT_FALSE(fs::exists(paths.stagingFolder)) << "no package check while it runs";
    EXPECT_TRUE(downloader.tasks.empty());

    // First-download mode moves the window's bar and leaves the main one alone.
    downloadMode = true;
    view.barVisible = false;
    downloader.received = {50000};
    transferMonitorTick(flow);
    EXPECT_EQ(view.windowBar, 51);
    EXPECT_FALSE(view.barVisible);
    EXPECT_TRUE(journal.has("window range 0-100"));
}

TEST_F(PackageDownload, ThreeMirrorsAllFailing) {
    for (const bool firstDownload : {false, true}) {
        SCOPED_TRACE(firstDownload ? "first-download mode" : "normal mode");
        journal.lines.clear();
        downloadMode = firstDownload;
        answers["http://a.test/du.htm"] =
            "http://m1/p.zip" + kComma + "http://m2/p.zip" + kComma + "http://m3/p.zip";
        ASSERT_TRUE(startPackageDownload(flow, PackageKind::Data));
        EXPECT_EQ(journal.count("start http://m1/p.zip"), 1);

        transferMonitorTick(flow); // m1 ends without a package
        EXPECT_EQ(journal.count("start http://m2/p.zip"), 1) << journal.dump();
        EXPECT_EQ(state.mirrorIndex.load(), 2);
        transferMonitorTick(flow); // m2 likewise: the third starts on the second failing tick
        EXPECT_EQ(journal.count("start http://m3/p.zip"), 1) << journal.dump();
        EXPECT_EQ(state.mirrorIndex.load(), 3);
        EXPECT_TRUE(state.dataDownloadActive);
        EXPECT_FALSE(journal.has("software check"));

        transferMonitorTick(flow); // m3 too: no mirror left
        EXPECT_FALSE(state.dataDownloadActive);
        EXPECT_EQ(journal.count("stop"), 3);
        EXPECT_TRUE(journal.has("worker software check"));
        if (firstDownload) {
            EXPECT_EQ(view.label, "连接服务器错误，无法运行软件，请稍后重试");
        } else {
            EXPECT_EQ(view.status, " ◎ 连接服务器错误，已停止下载，下次运行将重试。");
            EXPECT_GT(journal.indexOf("bar hidden"), journal.indexOf("start http://m3/p.zip"));
        }
        EXPECT_NE(view.monitorInterval, 0) << "the software check stops the monitor";

        // With neither flag set the tick does nothing more.
        const std::size_t before = journal.all().size();
        transferMonitorTick(flow);
        const std::vector<std::string> lines = journal.all();
        for (std::size_t i = before; i < lines.size(); ++i) {
            const std::string& line = lines[i];
            EXPECT_TRUE(line.find("range") != std::string::npos || line == "bar shown") << line;
        }
    }
}

TEST_F(PackageDownload, AnEmptyEntryFailsAtTheNextTick) {
    answers["http://a.test/du.htm"] = "http://m1/p.zip" + kComma + kComma + "http://m3/p.zip";
    ASSERT_TRUE(startPackageDownload(flow, PackageKind::Data));
    transferMonitorTick(flow);
    EXPECT_TRUE(journal.has("start ")) << journal.dump();
    transferMonitorTick(flow);
    EXPECT_TRUE(journal.has("start http://m3/p.zip")) << journal.dump();
}

TEST_F(PackageDownload, ASizeThatNeverComesMovesOnAtTheNextTick) {
    answers["http://a.test/du.htm"] = "http://stalls/p.zip" + kComma + "http://good/p.zip";
    downloader.served["http://good/p.zip"] = goodPackage();
    runWorkers = false;
    ASSERT_TRUE(startPackageDownload(flow, PackageKind::Data));
    EXPECT_FALSE(state.transferRunning);

    transferMonitorTick(flow); // nothing arrived from the first: judged by its missing package
    EXPECT_TRUE(journal.has("start http://good/p.zip")) << journal.dump();
    EXPECT_FALSE(journal.has("worker data apply"));

    transferMonitorTick(flow); // the second delivered a usable package
    EXPECT_TRUE(journal.has("worker data apply")) << journal.dump();
    EXPECT_FALSE(state.dataDownloadActive);
    EXPECT_TRUE(fs::exists(paths.stagingFolder / "satdata.str"));
}

TEST_F(PackageDownload, AFinishedTransferWithoutSizeIsStillJudgedByItsPackage) {
    answers["http://a.test/du.htm"] = "http://good/p.zip";
    downloader.served["http://good/p.zip"] = goodPackage();
    downloader.silent = true;
    runWorkers = false;
    downloadMode = true;
    ASSERT_TRUE(startPackageDownload(flow, PackageKind::Data));
    transferMonitorTick(flow);
    EXPECT_TRUE(journal.has("worker first data apply")) << journal.dump();
}

TEST_F(PackageDownload, BrokenPackagesFromTwoMirrorsThenAGoodOne) {
    const std::string good = goodPackage();
    answers["http://a.test/du.htm"] =
        "http://cut/p.zip" + kComma + "http://html/p.zip" + kComma + "http://good/p.zip";
    downloader.served["http://cut/p.zip"] = good.substr(0, good.size() / 2);
    downloader.served["http://html/p.zip"] = "<html>404</html>";
    downloader.served["http://good/p.zip"] = good;
    runWorkers = false;
    ASSERT_TRUE(startPackageDownload(flow, PackageKind::Data));
    transferMonitorTick(flow);
    transferMonitorTick(flow);
    EXPECT_FALSE(journal.has("worker data apply"));
    transferMonitorTick(flow);
    EXPECT_TRUE(journal.has("worker data apply")) << journal.dump();
    EXPECT_EQ(readAll(paths.dataDownload.string()), good);
}

TEST_F(PackageDownload, ATickInsideItsOwnProcessEventsDoesNothing) {
    answers["http://a.test/du.htm"] =
        "http://m1/p.zip" + kComma + "http://m2/p.zip" + kComma + "http://m3/p.zip";
    ASSERT_TRUE(startPackageDownload(flow, PackageKind::Data));
    int nested = 0;
    view.onProcessEvents = [&] {
        ++nested;
        transferMonitorTick(flow);
    };
    transferMonitorTick(flow);
    view.onProcessEvents = nullptr;
    EXPECT_GT(nested, 0);
    EXPECT_EQ(journal.count("start http://m2/p.zip"), 1) << journal.dump();
    EXPECT_EQ(journal.count("start http://m3/p.zip"), 0) << journal.dump();
}

} // namespace
} // namespace zorvast::update
