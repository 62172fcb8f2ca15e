#include "channels/grid/GridContent.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include <ostream>
#include <sstream>
#include <string>
#include <vector>

namespace zorvast::common {
std::ostream& operator<<(std::ostream& out, const Rgb& c) {
    return out << "(" << c.r << ", " << c.g << ", " << c.b << ")";
}
} // namespace zorvast::common

namespace zorvast::channels {

std::ostream& operator<<(std::ostream& out, const CellStyle& s) {
    out << "{background ";
    if (s.background) {
        out << *s.background;
    } else {
        out << "none";
    }
    out << ", foreground ";
    if (s.foreground) {
        out << *s.foreground;
    } else {
        out << "none";
    }
    return out << ", bold " << s.bold << ", height " << s.textHeight << ", align "
               << static_cast<int>(s.align) << "}";
}

std::ostream& operator<<(std::ostream& out, const CellBlock& b) {
    return out << "{row " << b.row << ", column " << b.column << ", " << b.rows << " x "
               << b.columns << "}";
}

namespace {

std::string describe(const std::vector<CellBlock>& blocks) {
    std::ostringstream out;
    out << "[";
    for (const CellBlock& b : blocks) {
        out << " " << b;
    }
    out << " ]";
    return out.str();
}

bool insideBlock(const CellBlock& b, int row, int column) {
    return row >= b.row && row < b.row + b.rows && column >= b.column &&
           column < b.column + b.columns;
}

TEST(GridContent, ResizeGivesEmptyCells) {
    const struct {
        int rows;
        int columns;
        int expectedRows;
        int expectedColumns;
    } cases[] = {{3, 5, 3, 5}, {1, 1, 1, 1}, {0, 5, 0, 5}, {-2, 4, 0, 4}, {2, -1, 2, 0}};
    for (const auto& c : cases) {
        GridContent grid;
        grid.resize(c.rows, c.columns);
        EXPECT_EQ(grid.rowCount(), c.expectedRows) << c.rows << " x " << c.columns;
        EXPECT_EQ(grid.columnCount(), c.expectedColumns) << c.rows << " x " << c.columns;
        for (int r = 1; r <= grid.rowCount(); ++r) {
            for (int k = 1; k <= grid.columnCount(); ++k) {
                EXPECT_EQ(grid.text(r, k), "") << "cell " << r << "," << k;
                EXPECT_EQ(grid.style(r, k), CellStyle{}) << "cell " << r << "," << k;
            }
        }
    }
}

TEST(GridContent, ResizeForgetsEverythingOfTheOldContent) {
    GridContent grid(3, 3);
    grid.setText(2, 2, "12000");
    grid.setBackground({1, 1, 3, 3}, {1, 2, 3});
    grid.merge({1, 1, 2, 2});
    grid.setRowHeight(1, 48);
    grid.setColumnWidth(3, 130);
    grid.resize(3, 3);
    EXPECT_TRUE(grid == GridContent(3, 3));
    EXPECT_TRUE(grid.merges().empty());
    EXPECT_EQ(grid.rowHeight(1), 0);
    EXPECT_EQ(grid.columnWidth(3), 0);
}

TEST(GridContent, TextsOutsideTheGridAreEmptyAndIgnored) {
    GridContent grid(2, 5);
    grid.setText(1, 1, "频率");
    grid.setText(2, 5, "免费");
    const GridContent before = grid;
    const struct {
        int row;
        int column;
    } outside[] = {{0, 1}, {1, 0}, {3, 1}, {1, 6}, {-1, -1}, {3, 6}};
    for (const auto& c : outside) {
        EXPECT_EQ(grid.text(c.row, c.column), "") << "cell " << c.row << "," << c.column;
        EXPECT_EQ(grid.style(c.row, c.column), CellStyle{}) << "cell " << c.row << "," << c.column;
        grid.setText(c.row, c.column, "x");
        grid.setBackground({c.row, c.column, 1, 1}, {9, 9, 9});
        EXPECT_TRUE(grid == before) << "writing cell " << c.row << "," << c.column;
    }
    EXPECT_EQ(grid.text(1, 1), "频率");
    EXPECT_EQ(grid.text(2, 5), "免费");
}

TEST(GridContent, BlockSettersAreClippedToTheGrid) {
    const struct {
        CellBlock block;
        std::vector<std::pair<int, int>> touched; // on a 3 x 3 grid
    } cases[] = {
        {{1, 1, 1, 1}, {{1, 1}}}, {{2, 2, 5, 5}, {{2, 2}, {2, 3}, {3, 2}, {3, 3}}},
        {{0, 0, 2, 2}, {{1, 1}}}, {{3, 1, 1, 3}, {{3, 1}, {3, 2}, {3, 3}}},
        {{4, 1, 1, 1}, {}},       {{1, 4, 3, 1}, {}},
        {{1, 1, 0, 3}, {}},       {{1, 1, -2, 3}, {}},
    };
    for (const auto& c : cases) {
        GridContent grid(3, 3);
        grid.setBackground(c.block, {245, 245, 255});
        grid.setForeground(c.block, {255, 255, 0});
        grid.setBold(c.block, true);
        grid.setTextHeight(c.block, 36);
        grid.setAlign(c.block, CellAlign::Right);
        CellStyle expectedStyle;
        expectedStyle.background = Rgb{245, 245, 255};
        expectedStyle.foreground = Rgb{255, 255, 0};
        expectedStyle.bold = true;
        expectedStyle.textHeight = 36;
        expectedStyle.align = CellAlign::Right;
        for (int r = 1; r <= 3; ++r) {
            for (int k = 1; k <= 3; ++k) {
                bool hit = false;
                for (const auto& [tr, tk] : c.touched) {
                    hit = hit || (tr == r && tk == k);
                }
                EXPECT_EQ(grid.style(r, k), hit ? expectedStyle : CellStyle{})
                    << "block " << c.block << ", cell " << r << "," << k;
            }
        }
    }
}

TEST(GridContent, EachSetterChangesOnlyItsOwnAttribute) {
    GridContent grid(1, 1);
    grid.setBackground({1, 1, 1, 1}, {150, 255, 150});
    CellStyle expected;
    expected.background = Rgb{150, 255, 150};
    EXPECT_EQ(grid.style(1, 1), expected);
    grid.setForeground({1, 1, 1, 1}, {0, 0, 0});
    expected.foreground = Rgb{0, 0, 0};
    EXPECT_EQ(grid.style(1, 1), expected);
    grid.setBold({1, 1, 1, 1}, true);
    expected.bold = true;
    EXPECT_EQ(grid.style(1, 1), expected);
    grid.setTextHeight({1, 1, 1, 1}, 33);
    expected.textHeight = 33;
    EXPECT_EQ(grid.style(1, 1), expected);
    grid.setAlign({1, 1, 1, 1}, CellAlign::Centre);
    expected.align = CellAlign::Centre;
    EXPECT_EQ(grid.style(1, 1), expected);
    grid.setBold({1, 1, 1, 1}, false);
    expected.bold = false;
    EXPECT_EQ(grid.style(1, 1), expected);
}

TEST(GridContent, MergesAreClippedAndNeverOverlap) {
    const struct {
        const char* name;
        std::vector<CellBlock> merged; // in order, on a 4 x 4 grid
        std::vector<CellBlock> expected;
    } cases[] = {
        {"one block", {{1, 1, 2, 2}}, {{1, 1, 2, 2}}},
        {"clipped at the far edges", {{2, 2, 5, 5}}, {{2, 2, 3, 3}}},
        {"clipped at the near edges", {{0, 0, 3, 3}}, {{1, 1, 2, 2}}},
        {"clipped to one row", {{4, 1, 3, 4}}, {{4, 1, 1, 4}}},
        {"a single cell is no block", {{3, 3, 1, 1}}, {}},
        {"clipped to a single cell", {{0, 0, 2, 2}}, {}},
        {"outside the grid", {{5, 1, 2, 2}}, {}},
        {"empty block", {{1, 1, 0, 4}}, {}},
        {"neighbours stay", {{1, 1, 1, 2}, {2, 1, 1, 2}}, {{1, 1, 1, 2}, {2, 1, 1, 2}}},
        {"a new block removes the one it meets", {{1, 1, 2, 2}, {2, 2, 2, 2}}, {{2, 2, 2, 2}}},
        {"it removes every block it meets",
         {{1, 1, 1, 4}, {3, 1, 1, 4}, {4, 4, 1, 1}, {1, 2, 3, 1}},
         {{1, 2, 3, 1}}},
        {"a single cell unmerges its block", {{1, 1, 3, 1}, {2, 1, 1, 1}}, {}},
        {"the same block twice", {{2, 1, 2, 4}, {2, 1, 2, 4}}, {{2, 1, 2, 4}}},
    };
    for (const auto& c : cases) {
        GridContent grid(4, 4);
        for (const CellBlock& b : c.merged) {
            grid.merge(b);
        }
        EXPECT_EQ(grid.merges(), c.expected) << c.name << ": got " << describe(grid.merges())
                                             << ", expected " << describe(c.expected);
        for (int r = 0; r <= 5; ++r) {
            for (int k = 0; k <= 5; ++k) {
                std::optional<CellBlock> expectedAt;
                for (const CellBlock& b : c.expected) {
                    if (insideBlock(b, r, k)) {
                        expectedAt = b;
                    }
                }
                EXPECT_EQ(grid.mergeAt(r, k), expectedAt)
                    << c.name << ": mergeAt " << r << "," << k;
            }
        }
    }
}

// Many merges, in row order and out of it, against a plain list that drops every block a new
// one meets: the same blocks in the same order.
TEST(GridContent, ManyMergesMatchAPlainList) {
    for (const bool inRowOrder : {true, false}) {
        GridContent grid(400, 5);
        std::vector<CellBlock> expected;
        std::uint32_t state = inRowOrder ? 3 : 11;
        auto next = [&state](std::uint32_t below) {
            state = state * 1664525u + 1013904223u;
            return static_cast<int>((state >> 8) % below);
        };
        int row = 1;
        for (int i = 0; i < 1500; ++i) {
            if (inRowOrder) {
                row = std::min(400, row + next(3));
            } else {
                row = 1 + next(400);
            }
            const CellBlock block{row - next(4), 1 + next(5), 1 + next(6), 1 + next(3)};
            grid.merge(block);
            CellBlock clipped = block;
            clipped.row = std::max(1, block.row);
            clipped.rows = std::min(400, block.row + block.rows - 1) - clipped.row + 1;
            clipped.columns = std::min(5, block.column + block.columns - 1) - clipped.column + 1;
            if (clipped.rows < 1) {
                continue; // wholly above the grid: nothing changes
            }
            std::erase_if(expected, [&](const CellBlock& m) {
                return m.row < clipped.row + clipped.rows && clipped.row < m.row + m.rows &&
                       m.column < clipped.column + clipped.columns &&
                       clipped.column < m.column + m.columns;
            });
            if (clipped.rows > 1 || clipped.columns > 1) {
                expected.push_back(clipped);
            }
            ASSERT_EQ(grid.merges(), expected) << i << (inRowOrder ? " in row order" : "");
        }
    }
}

TEST(GridContent, MergingKeepsEveryCellsOwnText) {
    GridContent grid(3, 2);
    grid.setText(2, 1, "12000");
    grid.setText(3, 1, "12000");
    grid.merge({2, 1, 2, 1});
    EXPECT_EQ(grid.text(2, 1), "12000");
    EXPECT_EQ(grid.text(3, 1), "12000");
}

TEST(GridContent, RowHeightsAndColumnWidths) {
    GridContent grid(3, 5);
    grid.setRowHeight(1, 48);
    grid.setRowHeight(3, 50);
    grid.setRowHeight(0, 10);
    grid.setRowHeight(4, 10);
    grid.setColumnWidth(4, 420);
    grid.setColumnWidth(0, 10);
    grid.setColumnWidth(6, 10);
    const int heights[] = {0, 48, 0, 50, 0};
    for (int r = 0; r <= 4; ++r) {
        EXPECT_EQ(grid.rowHeight(r), heights[r]) << "row " << r;
    }
    const int widths[] = {0, 0, 0, 0, 420, 0, 0};
    for (int k = 0; k <= 6; ++k) {
        EXPECT_EQ(grid.columnWidth(k), widths[k]) << "column " << k;
    }
}

TEST(GridContent, CurrentCellEnabledAndEquality) {
    GridContent grid(2, 5);
    EXPECT_EQ(grid.currentRow(), 0) << "no current cell until one is set";
    EXPECT_EQ(grid.currentColumn(), 0) << "no current cell until one is set";
    EXPECT_TRUE(grid.enabled());
    grid.setCurrentCell(3, 4); // a search may name a row the grid does not have
    EXPECT_EQ(grid.currentRow(), 3);
    EXPECT_EQ(grid.currentColumn(), 4);
    grid.setEnabled(false);
    EXPECT_FALSE(grid.enabled());

    GridContent a(2, 5);
    GridContent b(2, 5);
    EXPECT_TRUE(a == b);
    b.setCurrentCell(2, 4);
    EXPECT_FALSE(a == b) << "current cell";
    b = a;
    b.setTextHeight({2, 1, 1, 1}, 38);
    EXPECT_FALSE(a == b) << "text height";
    b = a;
    b.merge({2, 1, 1, 5});
    EXPECT_FALSE(a == b) << "merge";
    b = a;
    b.setEnabled(false);
    EXPECT_FALSE(a == b) << "enabled";
    b = a;
    b.setText(2, 3, "27500");
    EXPECT_FALSE(a == b) << "text";
}

} // namespace
} // namespace zorvast::channels
