#include "channels/grid/GridContent.h"

#include <algorithm>

namespace zorvast::channels {

namespace {

const std::string kNoText;
const CellStyle kNoStyle;

bool overlaps(const CellBlock& a, const CellBlock& b) {
    return a.row < b.row + b.rows && b.row < a.row + a.rows && a.column < b.column + b.columns &&
           b.column < a.column + a.columns;
}

} // namespace

void GridContent::resize(int rows, int columns) {
    rows_ = std::max(0, rows);
    columns_ = std::max(0, columns);
    const auto cells = static_cast<std::size_t>(rows_) * static_cast<std::size_t>(columns_);
    texts_.assign(cells, {});
    styles_.assign(cells, {});
    merges_.clear();
    mergeIds_.clear();
    mergesStartingAt_.assign(static_cast<std::size_t>(rows_), {});
    tallestMerge_ = 0;
    rowHeights_.assign(static_cast<std::size_t>(rows_), 0);
    columnWidths_.assign(static_cast<std::size_t>(columns_), 0);
}

bool GridContent::inside(int row, int column) const {
    return row >= 1 && row <= rows_ && column >= 1 && column <= columns_;
}

std::size_t GridContent::indexOf(int row, int column) const {
    return static_cast<std::size_t>(row - 1) * static_cast<std::size_t>(columns_) +
           static_cast<std::size_t>(column - 1);
}

const std::string& GridContent::text(int row, int column) const {
    return inside(row, column) ? texts_[indexOf(row, column)] : kNoText;
}

void GridContent::setText(int row, int column, std::string text) {
    if (inside(row, column)) {
        texts_[indexOf(row, column)] = std::move(text);
    }
}

const CellStyle& GridContent::style(int row, int column) const {
    return inside(row, column) ? styles_[indexOf(row, column)] : kNoStyle;
}

namespace {

template <typename Apply>
void forEachCell(const CellBlock& block, int rows, int columns, Apply apply) {
    const int lastRow = std::min(rows, block.row + block.rows - 1);
    const int lastColumn = std::min(columns, block.column + block.columns - 1);
    for (int r = std::max(1, block.row); r <= lastRow; ++r) {
        for (int c = std::max(1, block.column); c <= lastColumn; ++c) {
            apply(r, c);
        }
    }
}

} // namespace

void GridContent::setBackground(const CellBlock& block, Rgb colour) {
    forEachCell(block, rows_, columns_,
                [&](int r, int c) { styles_[indexOf(r, c)].background = colour; });
}

void GridContent::setForeground(const CellBlock& block, Rgb colour) {
    forEachCell(block, rows_, columns_,
                [&](int r, int c) { styles_[indexOf(r, c)].foreground = colour; });
}

void GridContent::setBold(const CellBlock& block, bool bold) {
    forEachCell(block, rows_, columns_, [&](int r, int c) { styles_[indexOf(r, c)].bold = bold; });
}

void GridContent::setTextHeight(const CellBlock& block, int height) {
    forEachCell(block, rows_, columns_,
                [&](int r, int c) { styles_[indexOf(r, c)].textHeight = height; });
}

void GridContent::setAlign(const CellBlock& block, CellAlign align) {
    forEachCell(block, rows_, columns_,
                [&](int r, int c) { styles_[indexOf(r, c)].align = align; });
}

void GridContent::merge(const CellBlock& block) {
    CellBlock clipped = block;
    clipped.row = std::max(1, block.row);
    clipped.column = std::max(1, block.column);
    clipped.rows = std::min(rows_, block.row + block.rows - 1) - clipped.row + 1;
    clipped.columns = std::min(columns_, block.column + block.columns - 1) - clipped.column + 1;
    if (clipped.rows < 1 || clipped.columns < 1) {
        return;
    }
    auto indexOf = [this](std::uint64_t id) {
        return static_cast<std::size_t>(std::lower_bound(mergeIds_.begin(), mergeIds_.end(), id) -
                                        mergeIds_.begin());
    };
    std::vector<std::uint64_t> met;
    const int lastRow = clipped.row + clipped.rows - 1;
    for (int r = std::max(1, clipped.row - tallestMerge_ + 1); r <= lastRow; ++r) {
        for (std::uint64_t id : mergesStartingAt_[static_cast<std::size_t>(r - 1)]) {
            if (overlaps(merges_[indexOf(id)], clipped)) {
                met.push_back(id);
            }
        }
    }
    if (!met.empty()) {
        std::sort(met.begin(), met.end());
        for (std::uint64_t id : met) {
            auto& starting =
                mergesStartingAt_[static_cast<std::size_t>(merges_[indexOf(id)].row - 1)];
            std::erase(starting, id);
        }
        std::size_t kept = 0;
        for (std::size_t i = 0; i < merges_.size(); ++i) {
            if (!std::binary_search(met.begin(), met.end(), mergeIds_[i])) {
                merges_[kept] = merges_[i];
                mergeIds_[kept] = mergeIds_[i];
                ++kept;
            }
        }
        merges_.resize(kept);
        mergeIds_.resize(kept);
    }
    if (clipped.rows > 1 || clipped.columns > 1) {
        const std::uint64_t id = nextMergeId_++;
        merges_.push_back(clipped);
        mergeIds_.push_back(id);
        mergesStartingAt_[static_cast<std::size_t>(clipped.row - 1)].push_back(id);
        tallestMerge_ = std::max(tallestMerge_, clipped.rows);
    }
}

std::optional<CellBlock> GridContent::mergeAt(int row, int column) const {
    for (const CellBlock& m : merges_) {
        if (overlaps(m, {row, column, 1, 1})) {
            return m;
        }
    }
    return std::nullopt;
}

void GridContent::setRowHeight(int row, int height) {
    if (row >= 1 && row <= rows_) {
        rowHeights_[static_cast<std::size_t>(row - 1)] = height;
    }
}

int GridContent::rowHeight(int row) const {
    return row >= 1 && row <= rows_ ? rowHeights_[static_cast<std::size_t>(row - 1)] : 0;
}

void GridContent::setColumnWidth(int column, int width) {
    if (column >= 1 && column <= columns_) {
        columnWidths_[static_cast<std::size_t>(column - 1)] = width;
    }
}

int GridContent::columnWidth(int column) const {
    return column >= 1 && column <= columns_ ? columnWidths_[static_cast<std::size_t>(column - 1)]
                                             : 0;
}

} // namespace zorvast::channels
