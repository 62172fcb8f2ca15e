#include "shell/startup/MainWindowInit.h"

#include "support/ChannelFixture.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <map>

namespace zorvast::shell {
namespace {

namespace fs = std::filesystem;
using channels::store::DatabaseStore;
using common::ManualClock;
using testing::TempFolder;

// Keeps the window's state as the calls leave it, so tests look at the outcome.
struct FakeWindow final : MainWindowInitView {
    std::map<InitControl, bool> enabled;
    std::map<InitList, std::vector<std::string>> items;
    std::map<InitList, int> selected;
    int rows = 0, columns = 0;
    std::vector<int> widths;
    std::map<std::pair<int, int>, std::string> cells;
    std::vector<int> merged;
    std::map<int, Rgb> backgrounds;
    std::string detail;
    bool feedDefaults = false;
    std::vector<std::string> messages;

    void setEnabled(InitControl c, bool e) override { enabled[c] = e; }
    void clearList(InitList l) override {
        items[l].clear();
        selected[l] = -1;
    }
    void addListItem(InitList l, const std::string& t) override { items[l].push_back(t); }
    void removeListItem(InitList l, int i) override { items[l].erase(items[l].begin() + i); }
    void selectListItem(InitList l, int i) override {
        selected[l] = i >= 0 && i < static_cast<int>(items[l].size()) ? i : -1;
    }
    void setGridShape(int r, int c) override {
        rows = r;
        columns = c;
    }
    void setGridColumnWidths(const std::vector<int>& w) override { widths = w; }
    void setGridText(int r, int c, const std::string& t) override { cells[{r, c}] = t; }
    void mergeGridRow(int r) override { merged.push_back(r); }
    void setGridRowBackground(int r, Rgb c) override { backgrounds[r] = c; }
    void setDetailText(const std::string& t) override { detail = t; }
    void checkFeedDefaults() override { feedDefaults = true; }
    void showMessage(const std::string& caption, const std::string& text) override {
        messages.push_back(caption + " " + text);
    }
    void processEvents() override {}

    std::string selectedText(InitList l) {
        const int i = selected[l];
        return i < 0 ? "" : items[l][static_cast<std::size_t>(i)];
    }
};

class InitTest : public ::testing::Test {
protected:
    InitTest()
        : paths(channels::store::storePathsFor(temp.path(), temp.path() / "program")), state(paths),
          store(paths, clock) {
        fs::create_directories(paths.workFolder);
    }

    void writeStored(const std::vector<testing::SatelliteRow>& satellites,
                     const std::vector<std::string>& providers = {"p1", "p2", "p3", "p4"}) {
        temp.write(
            "satdata_temp/satdata.str",
            testing::storedDatabase({testing::satlistTable(satellites),
                                     testing::supTable(providers), testing::sysTable("261209")}));
    }

    InitOutcome run() {
        hooks.extractCityDatabase = [this] {
            order.push_back("city");
            return cityOk;
        };
        hooks.fillLocationLists = [this] {
            order.push_back("locations");
        };
        hooks.lookupCityCoordinates = [this] {
            order.push_back("lookup");
        };
        hooks.fillAntennaList = [this] {
            order.push_back("antennas");
        };
        hooks.createDiagramSprites = [this] {
            order.push_back("sprites");
        };
        hooks.runPointingCalculation = [this] {
            order.push_back(window.enabled[InitControl::Calculate] ? "calculate(enabled)"
                                                                   : "calculate");
        };
        return initialiseMainWindow(state, store, window, hooks, clock, stop.get_token());
    }

    TempFolder temp;
    ManualClock clock;
    channels::store::StorePaths paths;
    AppState state;
    DatabaseStore store;
    FakeWindow window;
    InitHooks hooks;
    std::stop_source stop;
    bool cityOk = true;
    std::vector<std::string> order;
};

TEST_F(InitTest, OverviewListsAndDefaults) {
    writeStored(testing::satellitesWith(40, 30, 35));
    ASSERT_EQ(run(), InitOutcome::Ready);

    // Grid: title row, hint row, then the satellites bottom-up.
    EXPECT_EQ(window.rows, 42);
    EXPECT_EQ(window.columns, 5);
    EXPECT_EQ(window.widths, (std::vector<int>{120, 140, 130, 420, 100}));
    EXPECT_EQ(window.cells[std::make_pair(1, 4)], "频 道 名");
    EXPECT_EQ(window.cells[std::make_pair(2, 1)],
              "提示：选卫星后点击[显示结果](也可在右边下拉表选)  →");
    EXPECT_EQ(window.backgrounds[2], (Rgb{255, 255, 150}));
    EXPECT_EQ(window.cells[std::make_pair(42, 1)], "　　　　☆ E60【卫星0】");
    EXPECT_EQ(window.cells[std::make_pair(3, 1)], "　　　　☆ E99【卫星39】");
    std::vector<int> expectedMerged = {2};
    for (int j = 3; j <= 42; ++j) {
        expectedMerged.push_back(j);
        EXPECT_EQ(window.backgrounds.count(j), j % 2 == 0 ? 1u : 0u) << j;
    }
    EXPECT_EQ(window.merged, expectedMerged);

    // The three text forms, placeholders gone.
    ASSERT_EQ(window.items[InitList::ParameterSatellites].size(), 40u);
    EXPECT_EQ(window.items[InitList::ParameterSatellites][0], "E60（卫星0）");
    EXPECT_EQ(window.items[InitList::PointingSatellites][0], "E60(卫星0)");
    EXPECT_EQ(window.items[InitList::OffsetSatellites][0], "E60");
    EXPECT_EQ(window.selectedText(InitList::ParameterSatellites), "E115.5（卫星30）");
    EXPECT_EQ(window.selectedText(InitList::PointingSatellites), "E115.5(卫星30)");
    EXPECT_EQ(window.selectedText(InitList::OffsetSatellites), "E125");

    EXPECT_EQ(window.selectedText(InitList::BandFilter), "全部");
    EXPECT_EQ(window.selectedText(InitList::FormatFilter), "所有电视");
    EXPECT_EQ(window.items[InitList::FormatFilter].size(), 7u);
    EXPECT_EQ(window.selectedText(InitList::Providers), "p2"); // third from the end
    EXPECT_EQ(window.detail, "\r\n此位置，选择卫星后将显示卫星资料，选择频道后将显示频道资料。");
    EXPECT_TRUE(window.feedDefaults);
    EXPECT_FALSE(window.enabled[InitControl::UprightButton]);
    EXPECT_FALSE(window.enabled[InitControl::InvertedButton]);
    for (InitControl c :
         {InitControl::ShowResults, InitControl::ProviderShowResults, InitControl::ChannelSearch,
          InitControl::Calculate, InitControl::ProvinceList, InitControl::CityList,
          InitControl::TransponderGrid}) {
        EXPECT_TRUE(window.enabled[c]);
    }
    EXPECT_EQ(order, (std::vector<std::string>{"city", "locations", "lookup", "antennas", "sprites",
                                               "calculate(enabled)"}));
    ASSERT_EQ(state.satellites().size(), 40u);
    EXPECT_EQ(state.satellites()[30].s_rema, "备注 卫星30");
    EXPECT_FALSE(fs::exists(paths.workDatabasePath));
    EXPECT_FALSE(store.databaseBusy());
    EXPECT_TRUE(window.messages.empty());
}

TEST_F(InitTest, DefaultSatelliteSearches) {
    auto codes = [](int n) {
        std::vector<std::string> c;
        for (int i = 0; i < n; ++i) {
            c.push_back("E" + std::to_string(60 + i));
        }
        return c;
    };
    auto a = codes(40);
    a[25] = "E115.5";
    EXPECT_EQ(defaultSelectionsFor(a).parameterIndex, 25);
    auto b = codes(40);
    b[24] = "E115.5";
    EXPECT_EQ(defaultSelectionsFor(b).parameterIndex, 40); // one past the last: no selection
    auto c = codes(40);
    c[30] = "E125";
    EXPECT_EQ(defaultSelectionsFor(c).offsetIndex, 40);
    auto d = codes(40);
    d[27] = "E115.5(x)";
    d[29] = "E115.5";
    d[33] = "E125";
    d[36] = "E125";
    EXPECT_EQ(defaultSelectionsFor(d).parameterIndex, 27);
    EXPECT_EQ(defaultSelectionsFor(d).offsetIndex, 33);
    auto e = codes(40);
    e[31] = "E1250"; // the whole text must be E125
    e[32] = "E125";
    EXPECT_EQ(defaultSelectionsFor(e).offsetIndex, 32);
    EXPECT_EQ(defaultSelectionsFor({}).parameterIndex, 25); // beyond an empty list: none
}

TEST_F(InitTest, NoE115Point5AfterPosition25LeavesNoSelection) {
    writeStored(testing::satellitesWith(30, 10, -1));
    ASSERT_EQ(run(), InitOutcome::Ready);
    EXPECT_EQ(window.selected[InitList::ParameterSatellites], -1);
    EXPECT_EQ(window.selected[InitList::PointingSatellites], -1);
    EXPECT_EQ(window.selected[InitList::OffsetSatellites], -1);
}

TEST_F(InitTest, FewerThanThreeProvidersLeaveNoSelection) {
    writeStored(testing::satellitesWith(5, -1, -1), {"", "only", "two"});
    ASSERT_EQ(run(), InitOutcome::Ready);
    EXPECT_EQ(window.items[InitList::Providers], (std::vector<std::string>{"only", "two"}));
    EXPECT_EQ(window.selected[InitList::Providers], -1);
}

TEST_F(InitTest, RowsWithoutAPositionAreSkipped) {
    auto rows = testing::satellitesWith(4, -1, -1);
    rows[1].loca = "";
    writeStored(rows);
    ASSERT_EQ(run(), InitOutcome::Ready);
    EXPECT_EQ(window.rows, 6); // R + 2 counts every row
    EXPECT_EQ(window.items[InitList::OffsetSatellites],
              (std::vector<std::string>{"E60", "E62", "E63"}));
    EXPECT_EQ(state.satellites().size(), 3u);
}

TEST_F(InitTest, MissingStoredFileWaitsThenFails) {
    EXPECT_EQ(run(), InitOutcome::Fatal);
    EXPECT_EQ(clock.sleeps(),
              (std::vector<std::chrono::milliseconds>{std::chrono::milliseconds(6000)}));
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0], "错误105 读数据发生错误，软件将退出！请重新下载后再重试。");
    EXPECT_FALSE(window.enabled[InitControl::ShowResults]);
}

TEST_F(InitTest, BusyDatabaseLeavesTheDataControlsDisabled) {
    writeStored(testing::satellitesWith(3, -1, -1));
    store.databaseBusy() = true;
    EXPECT_EQ(run(), InitOutcome::Busy);
    EXPECT_EQ(window.messages,
              (std::vector<std::string>{"错误106 上一次数据访问未完成，稍候请再重试。"}));
    EXPECT_FALSE(window.enabled[InitControl::Calculate]);
    EXPECT_FALSE(window.enabled[InitControl::TransponderGrid]);
}

TEST_F(InitTest, CityDatabaseFailureIsFatal) {
    writeStored(testing::satellitesWith(3, -1, -1));
    cityOk = false;
    EXPECT_EQ(run(), InitOutcome::Fatal);
    EXPECT_EQ(window.messages,
              (std::vector<std::string>{"错误106 失败，写临时数据发生错误，软件将被迫退出。"}));
}

TEST_F(InitTest, StopsWhenTheProgramCloses) {
    writeStored(testing::satellitesWith(3, -1, -1));
    stop.request_stop();
    EXPECT_EQ(run(), InitOutcome::Stopped);
    EXPECT_FALSE(fs::exists(paths.workDatabasePath));
    EXPECT_TRUE(order.empty());
}

} // namespace
} // namespace zorvast::shell
