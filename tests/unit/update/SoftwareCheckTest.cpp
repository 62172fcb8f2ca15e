#include "update/check/UpdateFlow.h"

#include "UpdateFakes.h"

#include <gtest/gtest.h>

namespace zorvast::update {
namespace {

using testing::FlowFixture;

class SoftwareCheck : public ::testing::Test, public FlowFixture {
public:
    SoftwareCheck() { state.setServerBase("http://a.test"); }
};

TEST_F(SoftwareCheck, AnswersTable) {
    const struct {
        const char* name;
        const char* answer;
        const char* version; // "" when the field is not written
        bool download;
    } cases[] = {
        {"current", "1.02", "§版本 1.02  ", false},
        {"older", "1.01", "§版本 1.02  ", false},
        {"a long answer is no answer", "1.0200001", "§Ver：1.02 ", false},
        {"no digits reads as 0", "abc", "§版本 1.02  ", false},
        {"5 bytes accepted", "1.021", "", true},
        {"6 bytes rejected", "1.0210", "§Ver：1.02 ", false},
        {"empty", "", "§Ver：1.02 ", false},
        {"newer", "1.03", "", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        {
            std::lock_guard lock(journal.mutex);
            journal.lines.clear();
        }
        view.version.clear();
        state.listsPending = false;
        answers["http://a.test/sv.htm"] = c.answer;
        answers["http://a.test/su.htm"] = "http://m.test/zorvast.zip";
        runSoftwareCheck(flow);
        EXPECT_EQ(view.version, c.version);
        EXPECT_EQ(state.softwareDownloadActive.load(), c.download);
        EXPECT_TRUE(state.listsPending);
        EXPECT_EQ(view.deferredInterval, 5000);
        state.softwareDownloadActive = false;
    }
}

TEST_F(SoftwareCheck, OrderOfSteps) {
    answers["http://a.test/sv.htm"] = "1.02";
    view.barVisible = true;
    runSoftwareCheck(flow);
    EXPECT_EQ(sleepsInMs(), (std::vector<std::string>{"2000", "2000"}));
    const std::vector<std::string> expected = {"stop",
                                               "fetch http://a.test/sv.htm",
                                               "version §版本 1.02  ",
                                               "bar hidden",
                                               "monitor 0",
                                               "deferred 5000"};
    EXPECT_EQ(journal.all(), expected) << journal.dump();
}

TEST_F(SoftwareCheck, ANewerVersionWithoutAMirrorEndsAtOnce) {
    answers["http://a.test/sv.htm"] = "1.03";
    runSoftwareCheck(flow);
    EXPECT_FALSE(state.softwareDownloadActive);
    EXPECT_FALSE(state.listsPending);
    EXPECT_EQ(view.status, " ◎ 无法获取远程列表，下载已停止，下次启动软件将重试。");
}

} // namespace
} // namespace zorvast::update
