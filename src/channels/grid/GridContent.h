// What the transponder grid shows, as plain data: cell texts, merged blocks, per-cell colours,
// bold and text heights, row heights and column widths in grid units, the current cell and
// whether the grid is enabled. Rows and columns count from 1, row 1 being the header; the
// queries, the searches and the exports work on this, the window only renders it.
#pragma once

#include "common/Colour.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zorvast::channels {

using common::Rgb;

enum class CellAlign { Left, Centre, Right };

struct CellStyle {
    std::optional<Rgb> background; // the grid's own when unset
    std::optional<Rgb> foreground; // black when unset
    bool bold = false;
    int textHeight = 0; // grid units; the grid's default when 0
    CellAlign align = CellAlign::Left;
    friend bool operator==(const CellStyle&, const CellStyle&) = default;
};

struct CellBlock {
    int row = 1;
    int column = 1;
    int rows = 1;
    int columns = 1;
    friend bool operator==(const CellBlock&, const CellBlock&) = default;
};

class GridContent {
public:
    GridContent() = default;
    GridContent(int rows, int columns) { resize(rows, columns); }

    // Empties every cell, merge and style.
    void resize(int rows, int columns);
    int rowCount() const { return rows_; }
    int columnCount() const { return columns_; }

    // Reading outside the grid gives "".
    const std::string& text(int row, int column) const;
    void setText(int row, int column, std::string text);

    const CellStyle& style(int row, int column) const;
    // Block setters, clipped to the grid.
    void setBackground(const CellBlock& block, Rgb colour);
    void setForeground(const CellBlock& block, Rgb colour);
    void setBold(const CellBlock& block, bool bold);
    void setTextHeight(const CellBlock& block, int height);
    void setAlign(const CellBlock& block, CellAlign align);

    // A merged block shows its top-left cell's text and style across the block. Blocks never
    // overlap: a new one removes those it meets. Clipped to the grid; a 1 x 1 block is none.
    void merge(const CellBlock& block);
    const std::vector<CellBlock>& merges() const { return merges_; }
    // The merged block holding a cell, if any.
    std::optional<CellBlock> mergeAt(int row, int column) const;

    // Grid units; 0 keeps the grid's default.
    void setRowHeight(int row, int height);
    int rowHeight(int row) const;
    void setColumnWidth(int column, int width);
    int columnWidth(int column) const;

    void setCurrentCell(int row, int column) { current_ = {row, column, 1, 1}; }
    int currentRow() const { return current_.row; }
    int currentColumn() const { return current_.column; }

    void setEnabled(bool enabled) { enabled_ = enabled; }
    bool enabled() const { return enabled_; }

    friend bool operator==(const GridContent& a, const GridContent& b) {
        return a.rows_ == b.rows_ && a.columns_ == b.columns_ && a.texts_ == b.texts_ &&
               a.styles_ == b.styles_ && a.merges_ == b.merges_ && a.rowHeights_ == b.rowHeights_ &&
               a.columnWidths_ == b.columnWidths_ && a.current_ == b.current_ &&
               a.enabled_ == b.enabled_;
    }

private:
    bool inside(int row, int column) const;
    std::size_t indexOf(int row, int column) const;

    int rows_ = 0;
    int columns_ = 0;
    std::vector<std::string> texts_;
    std::vector<CellStyle> styles_;
    std::vector<CellBlock> merges_;
    std::vector<int> rowHeights_;
    std::vector<int> columnWidths_;
    CellBlock current_{0, 0, 1, 1}; // none until set
    bool enabled_ = true;
    // The merges a new block can meet are found through their top rows: none starts more
    // than the tallest one's height above the block. Ids grow with every merge, so mergeIds_
    // (one per entry of merges_) stays sorted.
    std::vector<std::uint64_t> mergeIds_;
    std::vector<std::vector<std::uint64_t>> mergesStartingAt_; // per row
    std::uint64_t nextMergeId_ = 0;
    int tallestMerge_ = 0;
};

} // namespace zorvast::channels
