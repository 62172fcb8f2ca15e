#include "shell/startup/LocalPagesStep.h"

#include "common/Text.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <utime.h>

#include <ctime>

namespace zorvast::shell {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using common::ManualClock;
using common::platform::shortcutTarget;
using testing::readAll;
using testing::TempFolder;

struct FakePages final : LocalPagesView {
    std::vector<std::pair<info::PageView, fs::path>> shown;
    std::vector<std::string> status;
    std::vector<std::string> sections;
    int eventRuns = 0;
    void showPage(info::PageView v, const fs::path& f) override { shown.emplace_back(v, f); }
    void setStatusText(const std::string& t) override { status.push_back(t); }
    void setForumSections(const std::vector<std::string>& n) override { sections = n; }
    void processEvents() override { ++eventRuns; }
};

void setDate(const fs::path& file, int year, int month, int day) {
    std::tm parts{};
    parts.tm_year = year - 1900;
    parts.tm_mon = month - 1;
    parts.tm_mday = day;
    parts.tm_hour = 12;
    parts.tm_isdst = -1;
    const std::time_t when = std::mktime(&parts);
    const struct utimbuf times { when, when };
    ASSERT_EQ(::utime(file.c_str(), &times), 0);
}

class PagesTest : public ::testing::Test {
protected:
    PagesTest() : state(channels::store::storePathsFor(temp.path(), temp.path() / "program")) {
        launcher.places = {.startMenu = temp.path() / "apps",
                           .programs = temp.path() / "apps",
                           .desktop = temp.path() / "Desktop"};
        launcher.target = (temp.path() / "program" / "zorvast").string();
        launcher.currentFolder = temp.path() / "program";
        program(launcher.target);
    }
    // Launchers are written only for a program in a folder nobody else can write.
    void program(const std::string& file) {
        fs::create_directories(fs::path(file).parent_path());
        fs::permissions(fs::path(file).parent_path(), fs::perms(0755));
        temp.write(fs::relative(file, temp.path()).string(), "#!/bin/sh\n");
    }
    TempFolder temp;
    AppState state;
    LauncherSetup launcher;
    ManualClock clock;
    FakePages view;
};

TEST_F(PagesTest, PagesInOrderWithFallbacksForMissingOrEmptyFiles) {
    temp.write("satdata_temp/home.htm", "<p>home</p>");
    temp.write("satdata_temp/news.htm", ""); // empty counts as missing
    temp.write("satdata_temp/datum.htm", "<p>datum</p>");
    checkLocalPages(state, view, launcher, clock);
    const fs::path folder = state.paths.workFolder;
    ASSERT_EQ(view.shown.size(), 5u);
    const info::PageView order[] = {info::PageView::Home, info::PageView::NewsBanner,
                                    info::PageView::Tyro, info::PageView::Datum,
                                    info::PageView::Trade};
    const char* files[] = {"home.htm", "news.htm", "tyro.htm", "datum.htm", "trade.htm"};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(view.shown[i].first, order[i]);
        EXPECT_EQ(view.shown[i].second, folder / files[i]);
    }
    EXPECT_EQ(readAll((folder / "home.htm").string()), "<p>home</p>");
    EXPECT_EQ(readAll((folder / "news.htm").string()),
              common::toGbk("<p align=\"center\">读取资讯错误，此功能无法正常显示。</p>").bytes);
    EXPECT_EQ(
        readAll((folder / "tyro.htm").string()),
        common::toGbk("<br><br>\r\n<p align=\"center\">读取信息错误，此功能无法正常显示。</p>")
            .bytes);
    EXPECT_EQ(common::fromGbk({readAll((folder / "trade.htm").string())}),
              "<br><br>\r\n<p align=\"center\">读取资讯错误，此功能无法正常显示。</p>");
}

TEST_F(PagesTest, FallbacksRecreateAMissingWorkFolder) {
    checkLocalPages(state, view, launcher, clock);
    EXPECT_TRUE(fs::is_directory(state.paths.workFolder));
    EXPECT_TRUE(fs::exists(state.paths.workFolder / "home.htm"));
}

TEST_F(PagesTest, DataDateFromTheStoredFile) {
    temp.write("satdata_temp/satdata.str", "x");
    setDate(state.paths.storedFile, 2011, 5, 3);
    checkLocalPages(state, view, launcher, clock);
    EXPECT_EQ(state.dataDate(), "2011年5月3日");
    EXPECT_EQ(view.status, (std::vector<std::string>{" ◎ 现有数据日期：2011年5月3日。"}));
}

TEST_F(PagesTest, NoStoredFileNoDate) {
    checkLocalPages(state, view, launcher, clock);
    EXPECT_EQ(state.dataDate(), "错误，检测不到可用数据。");
    EXPECT_TRUE(view.status.empty());
}

TEST_F(PagesTest, ForumSectionsInOrder) {
    checkLocalPages(state, view, launcher, clock);
    EXPECT_EQ(view.sections,
              (std::vector<std::string>{"交流论坛主页", "星友交流讨论", "星讯星闻播报",
                                        "软件意见反馈", "交易免费发布"}));
}

TEST_F(PagesTest, LaunchersAreWrittenAndRenewed) {
    checkLocalPages(state, view, launcher, clock);
    const fs::path menu = temp.path() / "apps" / "Zorvast.desktop";
    const fs::path desk = temp.path() / "Desktop" / "Zorvast.desktop";
    EXPECT_EQ(shortcutTarget(menu), launcher.target);
    EXPECT_EQ(shortcutTarget(desk), launcher.target);
    const std::string text = readAll(menu.string());
    EXPECT_NE(text.find("Comment=最棒的卫视寻星资讯软件\n"), std::string::npos);
    EXPECT_NE(text.find("Path=" + launcher.currentFolder.string() + "\n"), std::string::npos);
    EXPECT_EQ(clock.sleeps(), (std::vector<std::chrono::milliseconds>{3000ms}));

    // Pointing at the program already: left alone, no wait.
    clock.clearSleeps();
    const auto before = fs::last_write_time(desk);
    checkLocalPages(state, view, launcher, clock);
    EXPECT_EQ(fs::last_write_time(desk), before);
    EXPECT_TRUE(clock.sleeps().empty());

    // Pointing elsewhere: replaced.
    temp.write("Desktop/Zorvast.desktop", "[Desktop Entry]\nExec=/old/zorvast\n");
    checkLocalPages(state, view, launcher, clock);
    EXPECT_EQ(shortcutTarget(desk), launcher.target);
    EXPECT_EQ(clock.sleepCount(), 1u);
}

TEST_F(PagesTest, NoDesktopLauncherWhenRunningFromTheDesktop) {
    launcher.currentFolder = temp.path() / "Desktop";
    launcher.target = (temp.path() / "Desktop" / "zorvast").string();
    program(launcher.target);
    checkLocalPages(state, view, launcher, clock);
    EXPECT_FALSE(fs::exists(temp.path() / "Desktop" / "Zorvast.desktop"));
    EXPECT_EQ(shortcutTarget(temp.path() / "apps" / "Zorvast.desktop"), launcher.target);
    EXPECT_TRUE(clock.sleeps().empty());
}

} // namespace
} // namespace zorvast::shell
