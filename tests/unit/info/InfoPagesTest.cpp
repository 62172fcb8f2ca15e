// The information pages without a window: the trade watchdog and its schedule, the forum
// loader, the community tab's opening and the deferred forum jobs, the forum window's sizing
// and title, and the addresses of the external pages.
#include "common/Clock.h"
#include "common/Text.h"
#include "info/forum/ForumLoader.h"
#include "info/forum/ForumWindowRules.h"
#include "info/pages/BrowserView.h"
#include "info/pages/ExternalPages.h"
#include "info/pages/InfoState.h"
#include "info/pages/LocalPages.h"
#include "info/pages/TradeWatch.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace zorvast::info {
namespace {

using namespace std::chrono_literals;
using zorvast::testing::TempFolder;

const std::string kServerRoot = "http://data.test/";
const std::string kForum = "http://forum.test/";

std::string joined(const std::vector<std::string>& items) {
    std::ostringstream out;
    out << "{";
    for (std::size_t i = 0; i < items.size(); ++i) {
        out << (i ? ", " : "") << "\"" << items[i] << "\"";
    }
    out << "}";
    return out.str();
}

std::string lookName(TradeLook look) {
    switch (look) {
    case TradeLook::LocalPage:
        return "LocalPage";
    case TradeLook::StillLoading:
        return "StillLoading";
    case TradeLook::OnlinePage:
        return "OnlinePage";
    case TradeLook::WrongPage:
        return "WrongPage";
    }
    return "?";
}

// A browser whose state the test sets, recording every command. `onLook` runs before each
// read of the address, which is the first thing a watchdog look reads.
class FakeBrowser final : public BrowserView {
public:
    void navigate(const std::string& address) override {
        navigations.push_back(address);
        if (onNavigate) {
            onNavigate();
        }
        if (followNavigations) {
            address_ = address.starts_with("/") ? "file://" + address : address;
            status_ = std::string(kFinishedStatus);
        }
    }
    std::string address() const override {
        if (onLook) {
            onLook();
        }
        return address_;
    }
    std::string statusText() const override { return status_; }
    std::string title() const override { return title_; }
    void back() override { commands.push_back("back"); }
    void forward() override { commands.push_back("forward"); }
    void refresh() override { commands.push_back("refresh"); }
    void stop() override { commands.push_back("stop"); }
    void subscribe(BrowserEvents) override {}

    void show(std::string address, std::string status, std::string title) {
        address_ = std::move(address);
        status_ = std::move(status);
        title_ = std::move(title);
    }

    bool followNavigations = false; // a navigation shows its target at once, finished
    std::function<void()> onLook;
    std::function<void()> onNavigate;
    std::vector<std::string> navigations;
    std::vector<std::string> commands;

private:
    std::string address_;
    std::string status_;
    std::string title_;
};

// The community tab as calls in order, with the browser apart.
class FakeCommunity final : public CommunityView {
public:
    BrowserView& browser() override { return browser_; }
    void setLoadingNoteVisible(bool visible) override {
        calls.push_back(visible ? "note shown" : "note hidden");
    }
    void setAddressText(const std::string& text) override {
        calls.push_back("address " + text);
        addressText = text;
    }
    void setQuickEntryEnabled(bool enabled) override {
        calls.push_back(enabled ? "list enabled" : "list disabled");
    }
    void setQuickEntries(const std::vector<std::string>& names) override {
        calls.push_back("entries " + joined(names));
        entries = names;
    }
    void selectQuickEntry(int index) override {
        calls.push_back("select " + std::to_string(index));
        selected = index;
    }

    FakeBrowser browser_;
    std::vector<std::string> calls;
    std::vector<std::string> entries;
    std::string addressText;
    int selected = -1;
};

// A ManualClock that runs a hook at each sleep of a given length, before the time moves on.
class HookClock final : public common::Clock {
public:
    void sleepFor(std::chrono::milliseconds duration) override {
        if (duration == hookOn && hook) {
            hook();
        }
        clock.sleepFor(duration);
    }
    std::chrono::steady_clock::time_point now() const override { return clock.now(); }

    common::ManualClock clock;
    std::chrono::milliseconds hookOn{0};
    std::function<void()> hook;
};

std::chrono::milliseconds elapsed(const common::Clock& clock) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
        clock.now() - std::chrono::steady_clock::time_point{});
}

StartWorker runInline() {
    return [](std::function<void()> job) {
        job();
    };
}

// --- trade watchdog

struct LookCase {
    std::string address;
    std::string status;
    std::string title;
    TradeLook expected;
};

TEST(TradeWatchdogTest, JudgesEachLook) {
    const std::vector<LookCase> cases = {
        {"file:///tmp/w/trade.htm", "完成", "本地交易", TradeLook::LocalPage},
        {"file:///tmp/w/trade.htm", "", "", TradeLook::LocalPage},
        {"http://data.test/trade.htm", "", "Zorvast-交易", TradeLook::StillLoading},
        {"http://data.test/trade.htm", "正在载入", "", TradeLook::StillLoading},
        {"http://data.test/trade.htm", "完成", "Zorvast-交易", TradeLook::OnlinePage},
        {"http://data.test/trade.htm", "完成", "404 Not Found", TradeLook::WrongPage},
        {"http://data.test/trade.htm", "完成", "Zorvast-交易 ", TradeLook::WrongPage},
        {"http://data.test/trade.htm", "完成", "", TradeLook::WrongPage},
        {"about:blank", "完成", "", TradeLook::WrongPage},
        {"", "完成", "", TradeLook::WrongPage},
        {"FILE:///tmp/w/trade.htm", "完成", "", TradeLook::WrongPage},
    };
    for (const LookCase& c : cases) {
        const TradeLook got = judgeTradeLook(c.address, c.status, c.title);
        EXPECT_EQ(got, c.expected)
            << "address \"" << c.address << "\", status \"" << c.status << "\", title \"" << c.title
            << "\": got " << lookName(got) << ", expected " << lookName(c.expected);
    }
}

TEST(TradeWatchdogTest, LooksTwentyTimesThenCoolsDownForAMinute) {
    common::ManualClock clock;
    FakeBrowser view;
    view.show("http://data.test/trade.htm", "完成", "Zorvast-交易");
    std::atomic<bool> busy{false};
    std::vector<bool> busyAtLooks;
    view.onLook = [&] {
        busyAtLooks.push_back(busy);
    };

    tradeWatchdog(busy, view, "/w/trade.htm", clock);

    std::vector<std::chrono::milliseconds> expected(20, 500ms);
    expected.push_back(60000ms);
    EXPECT_EQ(clock.sleeps(), expected);
    EXPECT_EQ(busyAtLooks, std::vector<bool>(20, true));
    EXPECT_FALSE(busy);
    EXPECT_TRUE(view.navigations.empty()) << joined(view.navigations);
}

TEST(TradeWatchdogTest, WrongTitleBringsBackTheLocalPageOnce) {
    common::ManualClock clock;
    FakeBrowser view;
    view.followNavigations = true;
    view.show("http://data.test/trade.htm", "完成", "无法显示网页");
    std::atomic<bool> busy{false};

    tradeWatchdog(busy, view, "/w/trade.htm", clock);

    EXPECT_EQ(view.navigations, std::vector<std::string>{"/w/trade.htm"});
    EXPECT_EQ(view.address(), "file:///w/trade.htm");
}

TEST(TradeWatchdogTest, FallsBackAtTheFirstLookThatSeesTheLoadFinished) {
    common::ManualClock clock;
    FakeBrowser view;
    view.followNavigations = true;
    view.show("http://data.test/trade.htm", "", "");
    std::atomic<bool> busy{false};
    std::vector<std::chrono::milliseconds> fellBackAt;
    int looks = 0;
    view.onLook = [&] {
        if (++looks == 7 && view.navigations.empty()) {
            view.show("http://data.test/trade.htm", "完成", "Error");
        }
    };
    view.onNavigate = [&] {
        fellBackAt.push_back(elapsed(clock));
    };

    tradeWatchdog(busy, view, "/w/trade.htm", clock);

    // The 7th look, 3.5 s in, was the first to see a finished page; the local page stayed.
    EXPECT_EQ(fellBackAt, std::vector<std::chrono::milliseconds>{3500ms});
    EXPECT_EQ(looks, 20);
    EXPECT_EQ(clock.totalSlept(), 20 * 500ms + 60000ms);
}

TEST(TradeWatchdogTest, PageThatNeverFinishesLoadingStays) {
    common::ManualClock clock;
    FakeBrowser view;
    view.show("http://data.test/trade.htm", "", "");
    std::atomic<bool> busy{false};

    tradeWatchdog(busy, view, "/w/trade.htm", clock);

    EXPECT_TRUE(view.navigations.empty()) << joined(view.navigations);
}

TEST(TradeWatchdogTest, EveryLookThatStillSeesTheWrongPageFallsBackAgain) {
    common::ManualClock clock;
    FakeBrowser view; // ignores navigations: the wrong page stays
    view.show("http://data.test/trade.htm", "完成", "Error");
    std::atomic<bool> busy{false};

    tradeWatchdog(busy, view, "/w/trade.htm", clock);

    EXPECT_EQ(view.navigations, std::vector<std::string>(20, "/w/trade.htm"));
}

TEST(OpenTradeTabTest, WithoutServerTheLocalPageStays) {
    InfoState state;
    FakeBrowser view;
    int workers = 0;
    TradeSources sources{.serverReached = [] { return false; },
                         .serverRoot = [] { return kServerRoot; },
                         .workFolder = "/w",
                         .startWorker = [&](std::function<void()>) { ++workers; },
                         .clock = nullptr};

    EXPECT_FALSE(openTradeTab(state, view, sources));
    EXPECT_TRUE(view.navigations.empty()) << joined(view.navigations);
    EXPECT_EQ(workers, 0);
    EXPECT_FALSE(state.tradeWatchBusy);
}

TEST(OpenTradeTabTest, WithServerLoadsTheOnlinePageAndStartsTheWatchdog) {
    InfoState state;
    FakeBrowser view;
    std::vector<std::function<void()>> started;
    common::ManualClock clock;
    TradeSources sources{
        .serverReached = [] { return true; },
        .serverRoot = [] { return kServerRoot; },
        .workFolder = "/w",
        .startWorker = [&](std::function<void()> job) { started.push_back(std::move(job)); },
        .clock = &clock};

    EXPECT_TRUE(openTradeTab(state, view, sources));
    EXPECT_EQ(view.navigations, std::vector<std::string>{"http://data.test/trade.htm"});
    ASSERT_EQ(started.size(), 1u);
    EXPECT_TRUE(state.tradeWatchBusy);

    // Selected again before the worker has even begun: taken.
    EXPECT_FALSE(openTradeTab(state, view, sources));
    EXPECT_EQ(view.navigations.size(), 1u);
}

TEST(OpenTradeTabTest, TwiceWithinSeventySecondsLoadsOnce) {
    InfoState state;
    FakeBrowser view;
    view.followNavigations = true;
    HookClock clock;
    TradeSources sources{.serverReached = [] { return true; },
                         .serverRoot = [] { return kServerRoot; },
                         .workFolder = "/w",
                         .startWorker = runInline(),
                         .clock = &clock};
    std::optional<bool> secondOpened;
    std::chrono::milliseconds secondAt{0};
    clock.hookOn = 60000ms;
    clock.hook = [&] {
        // Selected again when the looks are over and the cool-down begins.
        secondAt = elapsed(clock);
        secondOpened = openTradeTab(state, view, sources);
    };

    view.show("file:///w/trade.htm", "完成", "Zorvast-交易");
    ASSERT_TRUE(openTradeTab(state, view, sources));

    ASSERT_TRUE(secondOpened.has_value());
    EXPECT_FALSE(*secondOpened) << "second opening at " << secondAt.count() << " ms";
    EXPECT_LT(secondAt, 70000ms);
    EXPECT_EQ(view.navigations, std::vector<std::string>{"http://data.test/trade.htm"});
    EXPECT_FALSE(state.tradeWatchBusy);

    // After the cool-down (70 s on), the online page loads again.
    clock.hook = nullptr;
    EXPECT_EQ(elapsed(clock), 70000ms);
    EXPECT_TRUE(openTradeTab(state, view, sources));
    EXPECT_EQ(view.navigations.size(), 2u);
}

TEST(OpenTradeTabTest, FallbackIsTheTradePageOfTheWorkingFolder) {
    InfoState state;
    FakeBrowser view;
    common::ManualClock clock;
    view.onLook = [&] {
        view.show("http://data.test/trade.htm", "完成", "Error");
    };
    TradeSources sources{.serverReached = [] { return true; },
                         .serverRoot = [] { return kServerRoot; },
                         .workFolder = "/tmp/satdata_temp",
                         .startWorker = runInline(),
                         .clock = &clock};

    ASSERT_TRUE(openTradeTab(state, view, sources));
    ASSERT_GE(view.navigations.size(), 2u);
    EXPECT_EQ(view.navigations[1], "/tmp/satdata_temp/trade.htm");
}

// --- roots and the probe

TEST(ForumRootTest, OverrideOrBuiltIn) {
    EXPECT_EQ(forumRootFrom(nullptr), std::string(kForumRoot));
    EXPECT_EQ(forumRootFrom(""), std::string(kForumRoot));
    EXPECT_EQ(forumRootFrom("http://127.0.0.1:8080/bbs/"), "http://127.0.0.1:8080/bbs/");
    EXPECT_EQ(forumRootFrom("http://127.0.0.1:8080/bbs"), "http://127.0.0.1:8080/bbs/");
    EXPECT_TRUE(forumRootFrom(nullptr).ends_with("/"));
}

TEST(ParamSiteTest, OverrideOrBuiltIn) {
    EXPECT_EQ(paramSiteRootFrom(nullptr), std::string(kParamSiteRoot));
    EXPECT_EQ(paramSiteRootFrom(""), std::string(kParamSiteRoot));
    EXPECT_EQ(paramSiteRootFrom("http://127.0.0.1:9000/p"), "http://127.0.0.1:9000/p");
    EXPECT_EQ(paramSiteRootFrom("http://127.0.0.1:9000/p/"), "http://127.0.0.1:9000/p");
    EXPECT_FALSE(paramSiteRootFrom(nullptr).ends_with("/"));
}

TEST(ForumProbeTest, OnlyTheExactAnswerCounts) {
    const std::vector<std::pair<std::string, bool>> cases = {
        {"bbs_plumo", true},
        {"bbs_plumo\r\n", false},
        {"bbs_plumo\n", false},
        {"bbs_plumo ", false},
        {" bbs_plumo", false},
        {"BBS_PLUMO", false},
        {"bbs_plum", false},
        {"", false},
        {"<html>bbs_plumo</html>", false},
        {std::string("bbs_plumo\0", 10), false},
    };
    for (const auto& [body, expected] : cases) {
        EXPECT_EQ(isForumAvailable(body), expected)
            << "probe body \"" << body << "\" (" << body.size() << " bytes)";
    }
}

// --- quick-entry list

TEST(QuickEntryTest, TheFiveSectionsInOrder) {
    EXPECT_EQ(quickEntryNames(),
              (std::vector<std::string>{"交流论坛主页", "星友交流讨论", "星讯星闻播报",
                                        "软件意见反馈", "交易免费发布"}));
}

TEST(QuickEntryTest, NamesAndPathsOfDifferentCountGiveTheErrorEntry) {
    const std::vector<std::string_view> names = {"a", "b", "c"};
    const std::vector<std::string_view> twoPaths = {"", "x.html"};
    const std::vector<std::string_view> threePaths = {"", "x.html", "y.html"};
    EXPECT_EQ(quickEntryNames(names, twoPaths), std::vector<std::string>{"读取错误，无列表"});
    EXPECT_EQ(quickEntryNames(names, threePaths), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(quickEntryNames({}, threePaths), std::vector<std::string>{"读取错误，无列表"});
}

TEST(QuickEntryTest, SelectionLeadsToTheSectionPage) {
    struct Case {
        int count;
        int selected;
        std::optional<std::string> expected;
    };
    const std::vector<Case> cases = {
        {5, 0, kForum},
        {5, 1, kForum + "forum-7-1.html"},
        {5, 2, kForum + "forum-6-1.html"},
        {5, 3, kForum + "forum-8-1.html"},
        {5, 4, kForum + "forum-9-1.html"},
        {5, -1, std::nullopt},
        {5, 5, std::nullopt},
        {1, 0, std::nullopt}, // the error entry
        {0, 0, std::nullopt},
        {2, 1, kForum + "forum-7-1.html"},
    };
    for (const Case& c : cases) {
        const auto got = quickEntryAddress(kForum, c.count, c.selected);
        EXPECT_EQ(got, c.expected)
            << c.count << " entries, entry " << c.selected << " selected: got "
            << got.value_or("(nothing)") << ", expected " << c.expected.value_or("(nothing)");
    }
}

TEST(QuickEntryTest, TradePostingLeadsToTheFifthEntryAndItsSection) {
    const std::optional<int> index = sectionIndex(kTradePostingSection);
    ASSERT_EQ(index, 4);
    EXPECT_EQ(quickEntryNames().at(4), "交易免费发布");
    EXPECT_EQ(quickEntryAddress(kForum, 5, *index), kForum + "forum-9-1.html");
    EXPECT_EQ(sectionIndex("没有这个"), std::nullopt);
}

// --- forum loader

struct LoaderRun {
    InfoState state;
    FakeCommunity view;
    common::ManualClock clock;
    std::vector<std::string> fetched;
    std::vector<int> intervals;
    std::string probeAnswer;
    TempFolder folder;

    ForumSources sources() {
        ForumSources s;
        s.root = kForum;
        s.fetch = [this](const std::string& url) {
            fetched.push_back(url);
            return probeAnswer;
        };
        s.workFolder = folder.path() / "satdata_temp";
        s.setDeferredTimerInterval = [this](int ms) {
            intervals.push_back(ms);
        };
        s.startWorker = runInline();
        s.clock = &clock;
        return s;
    }
    std::string bbsFile() const { return (folder.path() / "satdata_temp" / "bbs.htm").string(); }
};

TEST(ForumLoaderTest, ForumUpPreparesTheTabAndAsksForTheForumHome) {
    LoaderRun run;
    run.probeAnswer = "bbs_plumo";

    forumLoader(run.state, run.view, run.sources());

    EXPECT_EQ(run.fetched, std::vector<std::string>{kForum + "ready1.htm"});
    const std::vector<std::string> expected = {
        "note shown",
        "address " + kForum,
        "list enabled",
        "entries {\"交流论坛主页\", \"星友交流讨论\", \"星讯星闻播报\", \"软件意见反馈\", "
        "\"交易免费发布\"}",
        "select 0",
        "note hidden",
    };
    EXPECT_EQ(run.view.calls, expected) << joined(run.view.calls);
    EXPECT_EQ(run.view.browser_.navigations, std::vector<std::string>{run.bbsFile()});
    EXPECT_TRUE(run.state.forumHomePending);
    EXPECT_EQ(run.intervals, std::vector<int>{50});
    EXPECT_EQ(run.clock.sleeps(), std::vector<std::chrono::milliseconds>{4000ms});
    // The missing placeholder page was written with the community fallback.
    EXPECT_EQ(zorvast::testing::readAll(run.bbsFile()), common::toGbk(kCommunityFallback).bytes);
}

TEST(ForumLoaderTest, ProbeWithALineBreakMeansTheForumIsDown) {
    for (const std::string answer : {"bbs_plumo\r\n", "", "<html>404</html>"}) {
        LoaderRun run;
        run.probeAnswer = answer;

        forumLoader(run.state, run.view, run.sources());

        const std::vector<std::string> expected = {
            "note shown",
            "list disabled",
            "entries {\"交流论坛主页\", \"星友交流讨论\", \"星讯星闻播报\", \"软件意见反馈\", "
            "\"交易免费发布\"}",
            "select 0",
            "note hidden",
        };
        EXPECT_EQ(run.view.calls, expected)
            << "probe \"" << answer << "\": " << joined(run.view.calls);
        EXPECT_FALSE(run.state.forumHomePending) << "probe \"" << answer << "\"";
        EXPECT_TRUE(run.intervals.empty()) << "probe \"" << answer << "\"";
        EXPECT_EQ(run.view.browser_.navigations, std::vector<std::string>{run.bbsFile()});
    }
}

TEST(ForumLoaderTest, ExistingPlaceholderPageIsKept) {
    LoaderRun run;
    run.folder.write("satdata_temp/bbs.htm", "x");

    forumLoader(run.state, run.view, run.sources());

    EXPECT_EQ(zorvast::testing::readAll(run.bbsFile()), "x");
    EXPECT_EQ(run.view.browser_.navigations, std::vector<std::string>{run.bbsFile()});
}

// --- opening the community tab and the forum jobs

TEST(OpenCommunityTabTest, FirstOpeningStartsTheLoaderOnce) {
    LoaderRun run;
    ForumSources sources = run.sources();
    std::vector<std::function<void()>> started;
    sources.startWorker = [&](std::function<void()> job) {
        started.push_back(std::move(job));
    };

    EXPECT_TRUE(openCommunityTab(run.state, run.view, sources));
    // Again before the loader's first navigation has reached the view.
    EXPECT_FALSE(openCommunityTab(run.state, run.view, sources));
    EXPECT_EQ(started.size(), 1u);
    EXPECT_TRUE(run.view.calls.empty()) << joined(run.view.calls);
}

TEST(OpenCommunityTabTest, LaterOpeningsOnlyServeATradePostingRequest) {
    LoaderRun run;
    ForumSources sources = run.sources();
    int workers = 0;
    sources.startWorker = [&](std::function<void()>) {
        ++workers;
    };
    run.view.browser_.show("file:///w/bbs.htm", "完成", "");

    EXPECT_FALSE(openCommunityTab(run.state, run.view, sources));
    EXPECT_TRUE(run.intervals.empty());

    run.state.tradePostingPending = true;
    EXPECT_FALSE(openCommunityTab(run.state, run.view, sources));
    EXPECT_EQ(run.intervals, std::vector<int>{200});
    EXPECT_EQ(workers, 0);
}

TEST(ForumJobsTest, ForumHomeThenTradePosting) {
    InfoState state;
    FakeCommunity view;
    state.forumHomePending = true;
    state.tradePostingPending = true;

    runForumJobs(state, view, kForum);

    EXPECT_EQ(view.browser_.navigations,
              (std::vector<std::string>{kForum, kForum + "forum-9-1.html"}));
    EXPECT_EQ(view.calls, std::vector<std::string>{"select 4"});
    EXPECT_FALSE(state.forumHomePending);
    EXPECT_FALSE(state.tradePostingPending);
}

TEST(ForumJobsTest, NothingPendingDoesNothing) {
    InfoState state;
    FakeCommunity view;

    runForumJobs(state, view, kForum);

    EXPECT_TRUE(view.browser_.navigations.empty()) << joined(view.browser_.navigations);
    EXPECT_TRUE(view.calls.empty()) << joined(view.calls);
}

TEST(ForumJobsTest, TradePostingBeforeTheCommunityTabWasEverOpened) {
    // "免费发布": the request is marked, the tab opens, the loader runs and finds the forum up,
    // and the deferred tick it asks for opens the forum home and then the posting section.
    LoaderRun run;
    run.probeAnswer = "bbs_plumo";
    run.state.tradePostingPending = true;

    ASSERT_TRUE(openCommunityTab(run.state, run.view, run.sources()));
    ASSERT_EQ(run.intervals, std::vector<int>{50});
    runForumJobs(run.state, run.view, kForum);

    ASSERT_FALSE(run.view.browser_.navigations.empty());
    EXPECT_EQ(run.view.browser_.navigations.back(), kForum + "forum-9-1.html")
        << joined(run.view.browser_.navigations);
    EXPECT_EQ(run.view.selected, 4);
    EXPECT_EQ(run.view.entries.at(4), "交易免费发布");
}

// --- address box

TEST(AddressBoxTest, OnlyOnlineAddressesAreShown) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"http://forum.test/forum-7-1.html", "http://forum.test/forum-7-1.html"},
        {"https://forum.test/", "https://forum.test/"},
        {"file:///tmp/satdata_temp/bbs.htm", ""},
        {"about:blank", ""},
        {"", ""},
        {"HTTP://forum.test/", ""},
    };
    for (const auto& [address, expected] : cases) {
        EXPECT_EQ(addressBoxText(address), expected) << "address \"" << address << "\"";
    }
}

// --- forum window

struct LayoutCase {
    int screenWidth;
    int screenHeight;
    ForumWindowLayout expected;
};

std::string describe(const ForumWindowLayout& l) {
    std::ostringstream out;
    out << "left " << l.left << ", top " << l.top << ", " << l.width << " x " << l.height
        << ", browser " << l.browserWidth << " x " << l.browserHeight << ", status top "
        << l.statusTop;
    return out.str();
}

TEST(ForumWindowLayoutTest, FitsTheScreen) {
    const std::vector<LayoutCase> cases = {
        {1280, 800, {130, -2, 1024, 773, 1020, 703, 726}},
        {1024, 768, {0, -2, 1024, 741, 1020, 671, 694}},
        {1025, 768, {2, -2, 1024, 741, 1020, 671, 694}},
        {1920, 1080, {450, -2, 1024, 1053, 1020, 983, 1006}},
        {1281, 800, {130, -2, 1024, 773, 1020, 703, 726}},
        {800, 600, {0, -2, 800, 573, 796, 503, 526}},
    };
    for (const LayoutCase& c : cases) {
        const ForumWindowLayout got = forumWindowLayout(c.screenWidth, c.screenHeight);
        const bool same = got.left == c.expected.left && got.top == c.expected.top &&
                          got.width == c.expected.width && got.height == c.expected.height &&
                          got.browserWidth == c.expected.browserWidth &&
                          got.browserHeight == c.expected.browserHeight &&
                          got.statusTop == c.expected.statusTop;
        EXPECT_TRUE(same) << "screen " << c.screenWidth << " x " << c.screenHeight << ": got "
                          << describe(got) << ", expected " << describe(c.expected);
    }
}

struct TitleCase {
    std::string page;
    std::string expected;
};

TEST(ForumWindowTitleTest, SuffixAndCutAt80GbkBytes) {
    const std::string suffix = " - [Zorvast内置浏览器]";
    const std::string a80(80, 'a');
    const std::string a79(79, 'a');
    std::string chinese40;
    for (int i = 0; i < 40; ++i) {
        chinese40 += "论";
    }
    const std::vector<TitleCase> cases = {
        {"星友交流讨论 - Marobi交流论坛", "星友交流讨论 - Marobi交流论坛" + suffix},
        {"", suffix},
        {a80, a80 + suffix},                  // exactly 80 bytes: whole
        {a80 + "b", a80 + " ……" + suffix},    // 81 bytes: the first 80
        {a79 + "中文", a79 + " ……" + suffix}, // byte 80 is half of "中": 79 kept
        {a79 + "中", a79 + " ……" + suffix},   // 81 bytes, byte 80 half of "中"
        {chinese40, chinese40 + suffix},      // 40 characters, 80 bytes
        {chinese40 + "坛", chinese40 + " ……" + suffix},
        {"a" + chinese40, "a" + chinese40.substr(0, 39 * 3) + " ……" + suffix},
    };
    for (const TitleCase& c : cases) {
        const std::string got = forumWindowTitle(c.page);
        EXPECT_EQ(got, c.expected) << "page title \"" << c.page << "\" ("
                                   << common::gbkByteLength(c.page) << " GBK bytes)";
        // Whatever was cut, the GBK form has only whole characters.
        EXPECT_EQ(common::fromGbk(common::toGbk(got)), got) << "page title \"" << c.page << "\"";
    }
    // Before any page has loaded the window is titled as for the forum's own name.
    EXPECT_EQ(std::string(kForumWindowInitialTitle), forumWindowTitle("Marobi交流论坛"));
}

TEST(ForumWindowTitleTest, PrefixNeverCutsACharacter) {
    const std::string text = "a中b文c";
    const std::vector<std::pair<std::size_t, std::string>> cases = {
        {0, ""},     {1, "a"},      {2, "a"},       {3, "a中"},       {4, "a中b"},
        {5, "a中b"}, {6, "a中b文"}, {7, "a中b文c"}, {100, "a中b文c"},
    };
    for (const auto& [limit, expected] : cases) {
        EXPECT_EQ(gbkBytePrefix(text, limit), expected)
            << "\"" << text << "\" within " << limit << " GBK bytes";
    }
}

// --- external pages

TEST(ExternalPagesTest, StrengthMapKey) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"E115.5(中星6B)", "E115_5"},
        {"E87.5(中星12号 (ChinaSat 12))", "E87_5"},
        {"E125(中星6A)", "E125"},
        {"W1.0.5(x)", "W1_0.5"},
        {"E115.5", "E115_5"},
        {"E100.5(a.b)", "E100_5"},
        {"", ""},
        {"(x.y)", ""},
    };
    for (const auto& [entry, expected] : cases) {
        EXPECT_EQ(strengthMapKey(entry), expected) << "satellite entry \"" << entry << "\"";
    }
}

TEST(ExternalPagesTest, Addresses) {
    const std::string root = "http://param.test/site";
    EXPECT_EQ(satelliteMapAddress(root), "http://param.test/site/ge/");
    EXPECT_EQ(strengthMapAddress(root, "E115.5(中星6B)"), "http://param.test/site/cqt/E115_5.htm");
    EXPECT_EQ(moreParametersAddress(root), root);
}

} // namespace
} // namespace zorvast::info
