// Time to hand a 2,000-channel result to the transponder grid and paint it once, as a query
// of a crowded satellite does. Prints the median of seven runs.
#include "channels/ui/ResultGrid.h"

#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

using zorvast::channels::CellAlign;
using zorvast::channels::GridContent;
using zorvast::channels::ui::ResultGrid;

namespace {

constexpr int kChannels = 2000;
constexpr int kRuns = 7;
constexpr double kTargetMs = 50;

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

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    ResultGrid grid;
    grid.resize(700, 500);
    grid.show();
    QApplication::processEvents();

    const GridContent content = channelList(kChannels);
    std::vector<double> times;
    for (int run = 0; run < kRuns; ++run) {
        // Start each run from another content, as one query follows another.
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
    const double median = times[times.size() / 2];
    std::printf("grid fill, %d rows: %.1f ms (target <= %.0f ms)\n", kChannels, median, kTargetMs);
    std::printf("  runs: %.1f .. %.1f ms, %zu merges\n", times.front(), times.back(),
                content.merges().size());
    return 0;
}
