#include "update/package/PackageDownload.h"

#include "UpdateFakes.h"

#include <gtest/gtest.h>

namespace zorvast::update {
namespace {

namespace fs = std::filesystem;
using testing::FlowFixture;
using testing::kComma;
using testing::readAll;

TEST(BarPosition, BytesInTheFileAgainstTheWholeSize) {
    struct Case {
        std::uint64_t bytes;
        std::uint64_t total;
        bool complete;
        int current;
        int expected;
    };
    const std::vector<Case> cases = {
        {0, 1000, false, 0, 0},
        {250, 1000, false, 0, 25},
        {999, 1000, false, 0, 99}, // 100 only for the whole file
        {1000, 1000, false, 0, 100},
        {1000, 1000, true, 0, 100},
        {5000, 1000, false, 0, 100},            // more than announced: kept in range
        {300, 0, false, 40, 40},                // no size: the bar stays where it is
        {300, 0, false, 100, 99},               // ...and never claims the end
        {300, 0, true, 40, 100},                // until the transfer finished
        {1ull << 62, 1ull << 63, false, 0, 50}, // no overflow
        {850000, 1000000, false, 0, 85},        // not 100 at 85 %
        {600000, 1000000, false, 100, 60},      // a restart from zero shows it
    };
    for (const Case& c : cases) {
        EXPECT_EQ(barPosition({c.bytes, c.total}, c.complete, c.current), c.expected)
            << c.bytes << " of " << c.total << (c.complete ? " complete" : "");
    }
}

TEST(TransferCallback, OnlyAnEndEndsTheTransfer) {
    UpdateState state;
    state.transferRunning = true;
    onTransferEvent(state, TransferEvent::SizeKnown, 123456);
    EXPECT_TRUE(state.transferRunning);
    EXPECT_EQ(state.totalBytes.load(), 123456);
    const std::vector<std::pair<TransferEvent, TransferEnd>> ends = {
        {TransferEvent::Finished, TransferEnd::Finished},
        {TransferEvent::Failed, TransferEnd::Failed},
        {TransferEvent::Stopped, TransferEnd::Stopped},
    };
    for (const auto& [event, end] : ends) {
        state.transferRunning = true;
        state.transferEnd = TransferEnd::None;
        onTransferEvent(state, event, 0);
        EXPECT_FALSE(state.transferRunning) << static_cast<int>(event);
        EXPECT_EQ(state.transferEnd.load(), end);
    }
}

class PackageDownload : public ::testing::Test, public FlowFixture {
public:
    PackageDownload() {
        state.setServerBase("http://a.test");
        state.setAnnouncedDataVersion(Version("261210"));
    }

    // A valid signed package with a database that opens, signed as data of `version`.
    std::string goodPackage(const std::string& version = "261210",
                            PackageKind kind = PackageKind::Data) {
        const fs::path scratch = temp.path() / "good.zip";
        testing::writeArchive(
            scratch, testing::signedEntries(testing::withManifest(
                         testing::dataPackageEntries(testing::storedDatabaseWithVersion(version)),
                         kind, version)));
        return readAll(scratch.string());
    }
};

TEST_F(PackageDownload, StartConfiguresTheSlotAndStartsTheFirstMirror) {
    answers["http://a.test/du.htm"] =
        common::toGbk(" http://m1/satdata.sta　，ftp://m2/pub/satdata.sta").bytes;
    downloader.hanging = {"http://m1/satdata.sta"};
    fs::create_directories(paths.downloadFolder);
    common::writeFileBytes(paths.dataDownload, "partial");

    EXPECT_TRUE(startPackageDownload(flow, PackageKind::Data));

    const std::vector<std::string> expected = {
        "configure 10240 5000 3",
        "resume waits 2000 4000 8000 16000",
        "fetch http://a.test/du.htm",
        "start http://m1/satdata.sta",
        "monitor 1000",
    };
    EXPECT_EQ(journal.all(), expected) << journal.dump();
    EXPECT_EQ(readAll(paths.dataDownload.string()), "partial") << "left to be resumed";
    EXPECT_TRUE(clock.sleeps().empty());
    EXPECT_TRUE(state.dataDownloadActive);
    EXPECT_TRUE(state.transferRunning) << "running from the start, not from the first byte";
    EXPECT_EQ(state.mirrorIndex.load(), 1);
    ASSERT_EQ(downloader.tasks.size(), 1u);
    const DownloadTask& task = downloader.tasks[0];
    EXPECT_EQ(task.localFile, paths.dataDownload);
    EXPECT_EQ(task.blockSize, 10240u);
    EXPECT_EQ(task.connectTimeout.count(), 20000);
    EXPECT_EQ(task.noDataTimeout.count(), 30000);
    ASSERT_TRUE(task.onEvent);
    task.onEvent(TransferEvent::SizeKnown, 42);
    EXPECT_EQ(state.totalBytes.load(), 42);
}

TEST_F(PackageDownload, AMirrorSlowToItsFirstByteIsWaitedFor) {
    answers["http://a.test/du.htm"] = "http://slow/p.zip" + kComma + "http://other/p.zip";
    downloader.hanging = {"http://slow/p.zip"};
    runWorkers = false;
    ASSERT_TRUE(startPackageDownload(flow, PackageKind::Data));
    // A minute of ticks without a byte: the service's own time-outs decide, not the tick.
    for (int tick = 0; tick < 60; ++tick) {
        transferMonitorTick(flow);
    }
    EXPECT_FALSE(journal.has("start http://other/p.zip")) << journal.dump();
    EXPECT_FALSE(journal.has("stop"));
    EXPECT_EQ(view.mainBar, 0);

    downloader.finishHanging(goodPackage());
    transferMonitorTick(flow);
    EXPECT_TRUE(journal.has("worker data apply")) << journal.dump();
    EXPECT_EQ(view.mainBar, 100);
    EXPECT_FALSE(fs::exists(paths.dataDownload)) << "checked into memory, then removed";
}

TEST_F(PackageDownload, AMirrorThatLeftAPartialDownloadIsTriedFirst) {
    answers["http://a.test/du.htm"] =
        "http://m1/p.zip" + kComma + "http://m2/p.zip" + kComma + "http://m3/p.zip";
    // What a transfer broken in an earlier run left: the file and its record.
    fs::create_directories(paths.downloadFolder);
    common::writeFileBytes(paths.dataDownload, "half a package");
    PartialDownload record;
    record.url = "http://m2/p.zip";
    record.totalBytes = 1000;
    record.etag = "\"5f-1000\"";
    ASSERT_TRUE(writePartialDownload(paths.dataDownload, record));
    downloader.hanging = {"http://m2/p.zip"};

    ASSERT_TRUE(startPackageDownload(flow, PackageKind::Data));
    EXPECT_EQ(downloader.tasks.front().url, "http://m2/p.zip");
    EXPECT_EQ(state.mirrorList(),
              (std::vector<std::string>{"http://m2/p.zip", "http://m1/p.zip", "http://m3/p.zip"}));
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
    const std::vector<std::pair<TransferProgress, int>> ticks = {
        {{0, 0}, 0},             // nothing known yet
        {{25000, 100000}, 25},   //
        {{60000, 100000}, 60},   // resumed: the bytes already in the file count
        {{99999, 100000}, 99},   // not the end before the end
        {{100000, 100000}, 100}, //
    };
    for (const auto& [progress, value] : ticks) {
        downloader.progressNow = progress;
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
    downloader.progressNow = {50000, 100000};
    transferMonitorTick(flow);
    EXPECT_EQ(view.windowBar, 50);
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

TEST_F(PackageDownload, ABrokenTransferIsNotCheckedAndItsFileStays) {
    const std::string good = goodPackage();
    answers["http://a.test/du.htm"] = "http://cut/p.zip" + kComma + "http://good/p.zip";
    downloader.broken["http://cut/p.zip"] = good.substr(0, good.size() / 2);
    downloader.served["http://good/p.zip"] = good;
    runWorkers = false;
    ASSERT_TRUE(startPackageDownload(flow, PackageKind::Data));
    EXPECT_EQ(state.transferEnd.load(), TransferEnd::Failed);
    fs::create_directories(paths.stagingFolder / "probe");

    transferMonitorTick(flow);
    EXPECT_TRUE(fs::exists(paths.stagingFolder / "probe")) << "a broken transfer is not checked";
    EXPECT_TRUE(journal.has("start http://good/p.zip")) << journal.dump();
    transferMonitorTick(flow);
    EXPECT_TRUE(journal.has("worker data apply")) << journal.dump();
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
    // The cut package was dropped; the next mirror's transfer wrote its own.
    EXPECT_EQ(readAll(paths.dataDownload.string()), "<html>404</html>");
    transferMonitorTick(flow);
    EXPECT_FALSE(journal.has("worker data apply"));
    transferMonitorTick(flow);
    EXPECT_TRUE(journal.has("worker data apply")) << journal.dump();
    EXPECT_FALSE(state.dataDownloadActive);
    EXPECT_TRUE(fs::exists(paths.stagingFolder / "satdata.str"));
}

TEST_F(PackageDownload, OnlyTheAnnouncedNewerDataIsInstalled) {
    struct Case {
        const char* what;
        std::string signedVersion;
        PackageKind kind;
        std::string announced;
        bool installedOver261209;  // normal mode: 261209 is installed
        bool installedOverNothing; // first download: nothing is
    };
    const std::vector<Case> cases = {
        {"the announced newer version", "261210", PackageKind::Data, "261210", true, true},
        {"an older package replayed", "261208", PackageKind::Data, "261210", false, false},
        {"the installed package announced as newer", "261209", PackageKind::Data, "261210", false,
         false},
        {"another version than announced", "261211", PackageKind::Data, "261210", false, false},
        {"the installed version, as announced", "261209", PackageKind::Data, "261209", false, true},
        {"a program package", "261210", PackageKind::Software, "261210", false, false},
    };
    for (const bool firstDownload : {false, true}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.what) + (firstDownload ? ", first download" : ""));
            journal.lines.clear();
            downloadMode = firstDownload;
            localVersion = firstDownload ? "" : "261209";
            state.setAnnouncedDataVersion(Version(c.announced));
            answers["http://a.test/du.htm"] = "http://m1/p.zip" + kComma + "http://m2/p.zip";
            downloader.served["http://m1/p.zip"] = goodPackage(c.signedVersion, c.kind);
            downloader.served["http://m2/p.zip"] = goodPackage(c.signedVersion, c.kind);
            runWorkers = false;
            ASSERT_TRUE(startPackageDownload(flow, PackageKind::Data));
            transferMonitorTick(flow);
            transferMonitorTick(flow);
            const bool applied =
                journal.has("worker data apply") || journal.has("worker first data apply");
            EXPECT_EQ(applied, firstDownload ? c.installedOverNothing : c.installedOver261209)
                << journal.dump();
            if (!applied) {
                EXPECT_TRUE(state.releaseRefused);
                EXPECT_FALSE(state.dataDownloadActive);
                EXPECT_TRUE(journal.has("worker software check"));
                if (firstDownload) {
                    EXPECT_EQ(view.label, "服务器上没有可用的新数据，无法运行软件，请稍后重试");
                } else {
                    EXPECT_EQ(view.status,
                              " ◎ 服务器上没有比现有数据更新的版本，现有数据日期：2024年1月1日。");
                }
            }
            EXPECT_FALSE(fs::exists(paths.dataDownload));
        }
    }
}

TEST_F(PackageDownload, ATickInsideItsOwnProcessEventsDoesNothing) {
    answers["http://a.test/du.htm"] =
        "http://m1/p.zip" + kComma + "http://m2/p.zip" + kComma + "http://m3/p.zip";
    for (const char* url : {"http://m1/p.zip", "http://m2/p.zip", "http://m3/p.zip"}) {
        downloader.served[url] = "not a package"; // judged, which lets the window run
    }
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
