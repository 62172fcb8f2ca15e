#include "update/check/UpdateFlow.h"

#include "UpdateFakes.h"

#include <gtest/gtest.h>

namespace zorvast::update {
namespace {

namespace fs = std::filesystem;
using testing::FlowFixture;
using testing::readAll;

constexpr const char* kCurrentText = " ◎ 现有数据日期：2024年1月1日，此数据是最新版，无需更新。";
constexpr const char* kNewerText = " ◎ 已找到新数据，正在下载...";
constexpr const char* kNoServerText = "◎ 无法连接服务器，更新数据失败。现有数据：2024年1月1日";

class DataCheck : public ::testing::Test, public FlowFixture {};

// What one normal-mode check ends with, for a table of "/dv.htm" answers.
struct CheckCase {
    const char* what;
    std::vector<std::string> answers; // for a, b, c (the last two entries are both c)
    std::string local;
    std::string status; // the last status text
    std::string server; // serverBase afterwards; also serverRoot minus "/" when reached
    bool reached;
    bool download;      // the mirror list was asked for
    bool softwareCheck; // run on this thread
};

TEST_F(DataCheck, NormalModeAnswersTable) {
    const std::vector<CheckCase> cases = {
        {"newer, 6 bytes", {"261210"}, "261209", kNewerText, "http://a.test", true, true, false},
        {"newer, 7 bytes", {"2612100"}, "261209", kNewerText, "http://a.test", true, true, false},
        {"8 bytes rejected, the second answers",
         {"26121000", "261209"},
         "261209",
         kCurrentText,
         "http://b.test",
         true,
         false,
         true},
        {"equal", {"261209"}, "261209", kCurrentText, "http://a.test", true, false, true},
        {"older", {"261208"}, "261209", kCurrentText, "http://a.test", true, false, true},
        {"exactly 1e-7 newer", {"1e-7"}, "", kCurrentText, "http://a.test", true, false, true},
        {"more than 1e-7 newer", {"1.1e-7"}, "", kNewerText, "http://a.test", true, true, false},
        {"non-numeric reads as 0",
         {"abc"},
         "261209",
         kCurrentText,
         "http://a.test",
         true,
         false,
         true},
        {"first empty, second answers",
         {"", "261210"},
         "261209",
         kNewerText,
         "http://b.test",
         true,
         true,
         false},
        {"an error page, then the third",
         {"<html>404 Not Found</html>", "", "261209"},
         "261209",
         kCurrentText,
         "http://c.test",
         true,
         false,
         true},
        {"none answers",
         {"", "12345678", ""},
         "261209",
         kNoServerText,
         "http://a.test",
         false,
         false,
         false},
    };
    const std::vector<std::string> servers = flow.dataServers;
    for (const CheckCase& c : cases) {
        SCOPED_TRACE(c.what);
        journal.lines.clear();
        state.reset(servers);
        answers.clear();
        for (std::size_t i = 0; i < c.answers.size(); ++i) {
            answers[servers[i] + "/dv.htm"] = c.answers[i];
            answers[servers[i] + "/du.htm"] = "http://m/satdata.sta";
        }
        localVersion = c.local;
        view.status = "现有数据日期：2024年1月1日。";
        view.deferredInterval = -1;

        runDataCheck(flow);

        EXPECT_TRUE(journal.has("status " + c.status)) << journal.dump();
        EXPECT_EQ(journal.has("start http://m/satdata.sta"), c.download) << journal.dump();
        EXPECT_EQ(state.serverBase(), c.server);
        EXPECT_EQ(state.serverReached.load(), c.reached);
        EXPECT_EQ(state.serverRoot(), c.reached ? c.server + "/" : std::string());
        EXPECT_EQ(journal.has("fetch " + c.server + "/du.htm"), c.download) << journal.dump();
        EXPECT_EQ(journal.has("software check"), c.softwareCheck) << journal.dump();
        // Run here, not on a new worker.
        EXPECT_FALSE(journal.has("worker software check") && c.softwareCheck) << journal.dump();
        EXPECT_EQ(view.deferredInterval, c.softwareCheck ? 5000 : -1);
    }
}

TEST_F(DataCheck, NormalModeOrderOfSteps) {
    answers["http://a.test/dv.htm"] = "261209";
    state.dataDownloadActive = true;
    state.softwareDownloadActive = true;
    state.transferRunning = true;
    view.status = " ◎ 现有数据日期：2024年1月1日。";

    runDataCheck(flow);

    EXPECT_EQ(sleepsInMs(), std::vector<std::string>{"1000"});
    EXPECT_FALSE(state.dataDownloadActive);
    EXPECT_FALSE(state.softwareDownloadActive);
    EXPECT_FALSE(state.transferRunning);
    const std::vector<std::string> expected = {
        "append 正在寻找更新...",
        "fetch http://a.test/dv.htm",
        "fetch http://a.test/release.sig",
        std::string("status ") + kCurrentText,
        "deferred 5000",
        "software check",
    };
    EXPECT_EQ(journal.all(), expected) << journal.dump();
}

TEST_F(DataCheck, AllFourFailingLeavesTheListsLocal) {
    answers["http://a.test/dv.htm"] = "";
    answers["http://b.test/dv.htm"] = "123456789";
    answers["http://c.test/dv.htm"] = "<html>404</html>";

    runDataCheck(flow);

    const std::vector<std::string> expected = {
        "append 正在寻找更新...",     "fetch http://a.test/dv.htm",
        "fetch http://b.test/dv.htm", "fetch http://c.test/dv.htm",
        "fetch http://c.test/dv.htm", std::string("status ") + kNoServerText,
    };
    EXPECT_EQ(journal.all(), expected) << journal.dump();
    EXPECT_FALSE(state.serverReached);
    EXPECT_FALSE(state.listsPending);
    EXPECT_EQ(view.deferredInterval, -1);
}

TEST_F(DataCheck, NewerDataStartsTheDataPackageDownload) {
    answers["http://a.test/dv.htm"] = "261210";
    answers["http://a.test/du.htm"] = "http://m1/satdata.sta";

    runDataCheck(flow);

    EXPECT_TRUE(journal.has("start http://m1/satdata.sta")) << journal.dump();
    EXPECT_TRUE(state.dataDownloadActive);
    EXPECT_EQ(view.monitorInterval, 1000);
    EXPECT_FALSE(journal.has("software check"));
}

struct FirstCase {
    const char* what;
    std::vector<std::string> answers;
    std::string label;
    std::string server;
    bool download;
};

TEST_F(DataCheck, FirstDownloadModeAnswersTable) {
    const std::string failed =
        "下载失败！无法运行，请退出稍后再试，或进入www.zorvast.cn下载最新版本。";
    const std::vector<FirstCase> cases = {
        {"newer", {"261210"}, " ◎ 已找到数据，正在下载...", "http://a.test", true},
        {"second answers", {"", "1"}, " ◎ 已找到数据，正在下载...", "http://b.test", true},
        {"zero is not newer than nothing", {"0"}, " ◎ 正在寻找更新...", "http://a.test", false},
        {"non-numeric", {"abc"}, " ◎ 正在寻找更新...", "http://a.test", false},
        {"none answers", {"", "", ""}, failed, "http://a.test", false},
        {"8 bytes everywhere",
         {"12345678", "12345678", "12345678"},
         failed,
         "http://a.test",
         false},
    };
    const std::vector<std::string> servers = flow.dataServers;
    for (const FirstCase& c : cases) {
        SCOPED_TRACE(c.what);
        journal.lines.clear();
        state.reset(servers);
        answers.clear();
        for (std::size_t i = 0; i < c.answers.size(); ++i) {
            answers[servers[i] + "/dv.htm"] = c.answers[i];
            answers[servers[i] + "/du.htm"] = "http://m/satdata.sta";
        }
        localVersion = ""; // no data in this mode
        downloadMode = false;
        clock.clearSleeps();

        runFirstDataCheck(flow);

        EXPECT_TRUE(downloadMode);
        EXPECT_EQ(view.label, c.label) << journal.dump();
        EXPECT_EQ(journal.has("start http://m/satdata.sta"), c.download) << journal.dump();
        EXPECT_TRUE(clock.sleeps().empty()) << "the first check does not wait";
        EXPECT_EQ(journal.indexOf("label  ◎ 正在寻找更新..."), 0) << journal.dump();
        EXPECT_EQ(state.serverBase(), c.server);
        EXPECT_FALSE(state.serverReached); // not in this mode
        EXPECT_EQ(state.serverRoot(), "");
        EXPECT_EQ(journal.has("fetch " + c.server + "/du.htm"), c.download) << journal.dump();
        EXPECT_FALSE(journal.has("software check"));
        EXPECT_TRUE(view.status.empty()) << view.status;
    }
}

TEST_F(DataCheck, DeferredReloadIsTheLastStepOfEverySoftwareCheck) {
    scheduleDeferredReload(flow);
    EXPECT_EQ(sleepsInMs(), std::vector<std::string>{"2000"});
    EXPECT_TRUE(state.listsPending);
    EXPECT_EQ(view.deferredInterval, 5000);
}

// A statement signed with `key` (the test key unless given) issued on `date`.
std::string statementText(const std::string& data, const std::string& program,
                          std::array<int, 3> date = {2026, 12, 1},
                          const SecretKey& key = testing::testSecretKey()) {
    const std::optional<std::string> text =
        signReleaseStatement({data, program, std::chrono::year{date[0]} / date[1] / date[2]}, key);
    if (!text) {
        throw std::runtime_error("cannot sign the statement");
    }
    return *text;
}

TEST_F(DataCheck, AnswersAreHeldAgainstTheServersSignedStatement) {
    const std::optional<KeyPair> stranger = generateKeyPair();
    ASSERT_TRUE(stranger);
    std::string tampered = statementText("261210", "1.02");
    tampered[tampered.find("261210")] = '3';
    struct Case {
        const char* what;
        std::string statementOfA;
        std::string server; // the server whose answer was taken
        bool download;
        bool statementKept;
    };
    const std::vector<Case> cases = {
        {"agrees", statementText("261210", "1.02"), "http://a.test", true, true},
        {"agrees numerically", statementText("261210.", "1.02"), "http://a.test", true, true},
        {"contradicts: the next server", statementText("261209", "1.02"), "http://b.test", false,
         false},
        {"altered: no statement", tampered, "http://a.test", true, false},
        {"another key: no statement",
         statementText("261209", "1.02", {2026, 12, 1}, stranger->secretKey), "http://a.test", true,
         false},
        {"none", "", "http://a.test", true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        journal.lines.clear();
        state.reset(flow.dataServers);
        answers["http://a.test/dv.htm"] = "261210";
        answers["http://a.test/release.sig"] = c.statementOfA;
        answers["http://b.test/dv.htm"] = "261209";
        runDataCheck(flow);
        EXPECT_EQ(state.serverBase(), c.server);
        EXPECT_EQ(journal.has("fetch http://a.test/du.htm"), c.download) << journal.dump();
        EXPECT_EQ(state.statement().has_value(), c.statementKept);
        EXPECT_EQ(state.announcedDataVersion().text(), c.download ? "261210" : "261209");
    }
}

TEST_F(DataCheck, AnOldStatementIsNotedOnceAfterTheChecks) {
    // 2026-12-10 00:00 UTC.
    flow.now = [] {
        return std::time_t{1796860800};
    };
    struct Case {
        const char* what;
        std::array<int, 3> issued;
        bool firstDownload;
        bool noted;
    };
    const std::vector<Case> cases = {
        {"45 days old", {2026, 10, 26}, false, false},
        {"46 days old", {2026, 10, 25}, false, true},
        {"a year old", {2025, 12, 10}, false, true},
        {"fresh", {2026, 12, 9}, false, false},
        {"first download: the label says nothing", {2025, 1, 1}, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        state.reset(flow.dataServers);
        state.setServerBase("http://a.test");
        state.setStatement(verifyReleaseStatement(statementText("261209", "1.02", c.issued),
                                                  testing::testPublicKey()));
        ASSERT_TRUE(state.statement());
        downloadMode = c.firstDownload;
        view.status = " ◎ 现有数据日期：2024年1月1日，此数据是最新版，无需更新。";
        answers["http://a.test/sv.htm"] = "1.02";
        runSoftwareCheck(flow);
        runSoftwareCheck(flow); // a second check in the same run adds nothing
        const std::string note = " ◎ 注意：服务器的版本声明签发于" + std::to_string(c.issued[0]) +
                                 "年" + std::to_string(c.issued[1]) + "月" +
                                 std::to_string(c.issued[2]) +
                                 "日，已超过45天未更新，数据服务器可能已停止更新。";
        EXPECT_EQ(view.status,
                  std::string(" ◎ 现有数据日期：2024年1月1日，此数据是最新版，无需更新。") +
                      (c.noted ? note : ""));
    }
}

TEST_F(DataCheck, AProgramAnswerThatContradictsTheStatementIsNoAnswer) {
    state.setServerBase("http://a.test");
    state.setStatement(
        verifyReleaseStatement(statementText("261209", "1.02"), testing::testPublicKey()));
    answers["http://a.test/sv.htm"] = "1.03";
    answers["http://a.test/su.htm"] = "http://m.test/zorvast.zip";
    runSoftwareCheck(flow);
    EXPECT_EQ(view.version, "§Ver：1.02 ");
    EXPECT_FALSE(state.softwareDownloadActive);

    state.setStatement(
        verifyReleaseStatement(statementText("261209", "1.03"), testing::testPublicKey()));
    runSoftwareCheck(flow);
    EXPECT_TRUE(state.softwareDownloadActive);
    EXPECT_EQ(state.announcedProgramVersion().text(), "1.03");
}

} // namespace
} // namespace zorvast::update
