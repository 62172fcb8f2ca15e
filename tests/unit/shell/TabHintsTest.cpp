#include "shell/startup/TabHints.h"

#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <sys/time.h>

namespace zorvast::shell {
namespace {

TEST(TabHints, EveryTabHasItsHint) {
    zorvast::testing::TempFolder temp;
    const std::filesystem::path stored = temp.path() / "satdata.str";
    temp.write("satdata.str", "x");
    // 2011-05-12 12:00 local time.
    std::tm when{};
    when.tm_year = 111;
    when.tm_mon = 4;
    when.tm_mday = 12;
    when.tm_hour = 12;
    when.tm_isdst = -1;
    const timeval times[2] = {{std::mktime(&when), 0}, {std::mktime(&when), 0}};
    ASSERT_EQ(utimes(stored.c_str(), times), 0);

    const struct {
        int tab;
        const char* hint;
    } cases[] = {
        {0, " ◎ 欢迎使用Zorvast。现有数据日期：2011年5月12日。"},
        {1, " ◎ 提示：选择卫星后，请点击【显示结果】按钮查看参数列表。"},
        {2, " ◎ 提示：选择地区并选择卫星后，立即会显示寻星数据和图表。"},
        {3, " ◎ 提示：无"},
        {4, " ◎ 提示：无"},
        {5, " ◎ 提示：请单击列表中的题目查看资料内容。"},
        {6, " ◎ 提示：请单击列表中的题目查看资料内容。"},
        {7, " ◎ 提示：请单击列表中题目查看详细交易内容。"},
        {8, " ◎ 提示：请单击列表中的题目查看详细内容。"},
        {9, ""},
        {-1, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(tabHintFor(c.tab, stored), c.hint) << "tab " << c.tab;
    }

    // The data file gone: the news tab says so.
    std::filesystem::remove(stored);
    EXPECT_EQ(tabHintFor(0, stored), " ◎ 错误，检测不到任何可用数据。");
    EXPECT_EQ(tabHintFor(1, stored), " ◎ 提示：选择卫星后，请点击【显示结果】按钮查看参数列表。");
}

} // namespace
} // namespace zorvast::shell
