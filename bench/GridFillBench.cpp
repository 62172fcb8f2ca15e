// Time to hand a 2,000-channel result to the transponder grid and paint it once, as a query
// of a crowded satellite does; then the same for the largest search result of a channel
// database about ten times the shipped one. Prints the medians of seven runs with the targets.
#include "channels/query/ChannelQuery.h"
#include "channels/query/QueryRun.h"
#include "channels/store/StoredFile.h"
#include "channels/ui/ResultGrid.h"
#include "common/Files.h"
#include "common/Zip.h"

#include "ScaledChannelData.h"

#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

using zorvast::channels::CellAlign;
using zorvast::channels::GridContent;
using zorvast::channels::ui::ResultGrid;
namespace common = zorvast::common;

namespace {

constexpr int kChannels = 2000;
constexpr int kRuns = 7;
constexpr double kTargetMs = 50;
constexpr double kLargestTargetMs = 100;

// Header, channel rows with their access colours, transponders of one to three channels of
// which the multi-channel ones are merged in columns 1 to 3, every other one tinted.
GridContent channelList(int channels) {
    GridContent content(channels + 1, 5);
    const char* titles[] = {"频率", "极化", "符号率", "频 道 名", "权限"};
    const int widths[] = {120, 140, 130, 420, 100};
    for (int column = 1; column <= 5; ++column) {
        content.setText(1, column, titles[column - 1]);
        content.setColumnWidth(column, widths[column - 1]);
    }
    content.setRowHeight(1, 48);
    content.setTextHeight({1, 1, 1, 5}, 33);
    content.setBold({1, 1, 1, 5}, true);
    content.setAlign({1, 1, 1, 5}, CellAlign::Centre);

    const char* polarisations[] = {"水平(H)", "垂直(V)"};
    const char* names[] = {"CCTV-", "凤凰卫视", "广东卫视", "Sports HD ", "测试频道"};
    const int heights[] = {38, 32, 38, 35, 35};
    int row = 2;
    int transponder = 0;
    while (row <= channels + 1) {
        // Single-channel transponders alternate with groups of two or three.
        const int wanted = transponder % 2 == 0 ? 1 : 2 + (transponder / 2) % 2;
        const int rows = std::min(wanted, channels + 2 - row);
        const std::string frequency = std::to_string(3700 + transponder * 7);
        const std::string symbolRate = std::to_string(27500 - (transponder % 5) * 1000);
        for (int i = 0; i < rows; ++i) {
            const int r = row + i;
            const bool free = r % 3 != 0;
            content.setText(r, 1, frequency);
            content.setText(r, 2, polarisations[transponder % 2]);
            content.setText(r, 3, symbolRate);
            content.setText(r, 4, names[r % 5] + std::to_string(r) + (r % 7 == 0 ? "(高清)" : ""));
            content.setText(r, 5, free ? "免费" : "加密");
            content.setBackground({r, 5, 1, 1}, free ? zorvast::channels::Rgb{150, 255, 150}
                                                     : zorvast::channels::Rgb{255, 50, 50});
            for (int column = 1; column <= 5; ++column) {
                content.setTextHeight({r, column, 1, 1}, heights[column - 1]);
            }
            content.setAlign({r, 1, 1, 3}, CellAlign::Right);
            content.setAlign({r, 4, 1, 2}, CellAlign::Centre);
        }
        if (rows > 1) {
            for (int column = 1; column <= 3; ++column) {
                content.merge({row, column, rows, 1});
            }
        }
        if (transponder % 2 == 1) {
            content.setBackground({row, 1, rows, 4}, {245, 245, 255});
        }
        row += rows;
        ++transponder;
    }
    content.setCurrentCell(2, 4);
    return content;
}

// Medians of runs that each start from another content, as one query follows another.
std::pair<double, std::pair<double, double>> timeFill(ResultGrid& grid,
                                                      const GridContent& content) {
    std::vector<double> times;
    for (int run = 0; run < kRuns; ++run) {
        grid.setContent(GridContent(2, 5));
        QApplication::processEvents();
        GridContent copy = content; // built by the query before it reaches the window
        QElapsedTimer timer;
        timer.start();
        grid.setContent(std::move(copy));
        QApplication::processEvents();
        grid.repaint();
        times.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return {times[times.size() / 2], {times.front(), times.back()}};
}

// The grid of the channel search for the most common 4-character name start in a database
// about ten times the shipped one; nothing when the package cannot be read.
std::optional<GridContent> largestSearchGrid(const std::filesystem::path& package) {
    namespace fs = std::filesystem;
    std::string pattern = (fs::temp_directory_path() / "zorvast-bench-grid-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        return std::nullopt;
    }
    const fs::path folder = pattern;
    std::optional<GridContent> grid;
    const common::ExtractResult unpacked =
        common::extractArchive(package.string(), folder.string());
    const std::optional<std::string> stored =
        unpacked.ok ? common::readFileBytes(folder / "satdata.str") : std::nullopt;
    if (stored) {
        const auto copy = zorvast::channels::store::workingCopyFromStored(
            {reinterpret_cast<const std::uint8_t*>(stored->data()), stored->size()});
        const fs::path shipped = folder / "shipped.mdb";
        common::writeFileBytes(shipped, {reinterpret_cast<const char*>(copy.data()), copy.size()});
        const auto scaled = zorvast::bench::scaledChannelDatabase(shipped.string(), 20000, 60);
        const fs::path database = folder / "scaled.mdb";
        if (scaled && common::writeFileBytes(database, scaled->bytes)) {
            const auto all = zorvast::channels::readChannelRows(database.string(), {});
            std::map<std::string, int> perPrefix;
            for (const auto& record :
                 all.value_or(std::vector<zorvast::channels::ChannelRecord>{})) {
                const std::string prefix = zorvast::bench::leadingCharacters(record.ch, 4);
                if (!prefix.empty()) {
                    ++perPrefix[prefix];
                }
            }
            const std::string prefix = zorvast::bench::mostCommon(perPrefix).first;
            const auto rows = zorvast::channels::readChannelRows(
                database.string(), zorvast::channels::channelFilterOf(prefix));
            if (rows) {
                grid = zorvast::channels::searchGrid(*rows, [&prefix](int n) {
                           return zorvast::channels::channelSearchTexts(prefix, n);
                       }).grid;
            }
        }
    }
    common::removeTree(folder);
    return grid;
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    ResultGrid grid;
    grid.resize(700, 500);
    grid.show();
    QApplication::processEvents();

    const GridContent content = channelList(kChannels);
    const auto [median, range] = timeFill(grid, content);
    std::printf("grid fill, %d rows: %.1f ms (target <= %.0f ms)\n", kChannels, median, kTargetMs);
    std::printf("  runs: %.1f .. %.1f ms, %zu merges\n", range.first, range.second,
                content.merges().size());

    const std::filesystem::path package =
        argc > 1 ? std::filesystem::path(argv[1])
                 : std::filesystem::path(ZORVAST_BINARY_DIR) / "data" / "satdata.sta";
    const std::optional<GridContent> largest = largestSearchGrid(package);
    if (!largest) {
        std::fprintf(stderr, "the largest result of the larger database cannot be built\n");
        return 1;
    }
    const auto [largestMedian, largestRange] = timeFill(grid, *largest);
    std::printf("grid fill, largest result of about ten times the data (%d rows): %.1f ms "
                "(target <= %.0f ms)\n",
                largest->rowCount(), largestMedian, kLargestTargetMs);
    std::printf("  runs: %.1f .. %.1f ms, %zu merges\n", largestRange.first, largestRange.second,
                largest->merges().size());
    return 0;
}
