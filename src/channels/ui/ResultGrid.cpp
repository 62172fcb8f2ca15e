#include "channels/ui/ResultGrid.h"

#include <QAbstractTableModel>
#include <QBrush>
#include <QColor>
#include <QFont>
#include <QHash>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMouseEvent>
#include <QResizeEvent>

#include <algorithm>
#include <cmath>
#include <map>

namespace zorvast::channels::ui {

namespace {

// Text height of a cell that leaves it at 0, in grid units (that of the channel names).
constexpr int kDefaultTextUnits = 35;
// A text height in grid units is about twice the font's pixel size at the same scale, which
// leaves the text a comfortable margin inside its row.
constexpr double kFontPixelsPerTextUnit = 0.5;
// Smaller than this, CJK glyphs blur into each other on a normal screen.
constexpr int kMinimumFontPixels = 11;
constexpr int kMaximumFontPixels = 24;

QColor toColor(const Rgb& colour) {
    return QColor(colour.r, colour.g, colour.b);
}

Qt::Alignment toAlignment(CellAlign align) {
    switch (align) {
    case CellAlign::Centre:
        return Qt::AlignHCenter | Qt::AlignVCenter;
    case CellAlign::Right:
        return Qt::AlignRight | Qt::AlignVCenter;
    case CellAlign::Left:
        break;
    }
    return Qt::AlignLeft | Qt::AlignVCenter;
}

} // namespace

// The table model over one GridContent; rows and columns of the model count from 0.
class ResultGridModel final : public QAbstractTableModel {
public:
    ResultGridModel(const QFont& baseFont, QObject* parent)
        : QAbstractTableModel(parent), baseFont_(baseFont) {}

    GridContent& content() { return content_; }
    const GridContent& content() const { return content_; }

    void replace(GridContent content) {
        beginResetModel();
        content_ = std::move(content);
        endResetModel();
    }

    void resize(int rows, int columns) {
        beginResetModel();
        content_.resize(rows, columns);
        endResetModel();
    }

    void setScale(double scale) {
        if (scale != scale_) {
            scale_ = scale;
            fonts_.clear();
        }
    }

    // Sets one style of a block's cells and shows it.
    template <typename Value>
    void styleBlock(const CellBlock& block, void (GridContent::*set)(const CellBlock&, Value),
                    Value value) {
        (content_.*set)(block, value);
        blockChanged(block);
    }

    // Tells the view that the cells of a block (1-based, clipped) changed.
    void blockChanged(const CellBlock& block) {
        const int top = std::max(1, block.row);
        const int left = std::max(1, block.column);
        const int bottom = std::min(content_.rowCount(), block.row + block.rows - 1);
        const int right = std::min(content_.columnCount(), block.column + block.columns - 1);
        if (top <= bottom && left <= right) {
            emit dataChanged(index(top - 1, left - 1), index(bottom - 1, right - 1));
        }
    }

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : content_.rowCount();
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : content_.columnCount();
    }

    Qt::ItemFlags flags(const QModelIndex& index) const override {
        return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
    }

    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid()) {
            return {};
        }
        const int row = index.row() + 1;
        const int column = index.column() + 1;
        switch (role) {
        case Qt::DisplayRole:
            return QString::fromStdString(content_.text(row, column));
        case Qt::BackgroundRole: {
            const auto& background = content_.style(row, column).background;
            return background ? QVariant(QBrush(toColor(*background))) : QVariant();
        }
        case Qt::ForegroundRole: {
            const auto& foreground = content_.style(row, column).foreground;
            return QBrush(foreground ? toColor(*foreground) : QColor(Qt::black));
        }
        case Qt::FontRole:
            return font(content_.style(row, column));
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(toAlignment(content_.style(row, column).align));
        default:
            return {};
        }
    }

private:
    QFont font(const CellStyle& style) const {
        const int units = style.textHeight > 0 ? style.textHeight : kDefaultTextUnits;
        const int pixels =
            std::clamp(static_cast<int>(std::lround(units * scale_ * kFontPixelsPerTextUnit)),
                       kMinimumFontPixels, kMaximumFontPixels);
        const int key = pixels * 2 + (style.bold ? 1 : 0);
        auto found = fonts_.constFind(key);
        if (found == fonts_.constEnd()) {
            QFont font = baseFont_;
            font.setPixelSize(pixels);
            font.setBold(style.bold);
            found = fonts_.insert(key, font);
        }
        return *found;
    }

    GridContent content_;
    QFont baseFont_;
    double scale_ = 1.0;
    mutable QHash<int, QFont> fonts_;
};

ResultGrid::ResultGrid(QWidget* parent)
    : QTableView(parent), model_(new ResultGridModel(font(), this)) {
    setModel(model_);
    horizontalHeader()->hide();
    verticalHeader()->hide();
    // Thousands of rows: every size is set from the content, nothing is measured.
    for (QHeaderView* header : {horizontalHeader(), verticalHeader()}) {
        header->setSectionResizeMode(QHeaderView::Fixed);
        header->setMinimumSectionSize(1);
        header->setHighlightSections(false);
    }
    horizontalHeader()->setStretchLastSection(false);
    setCornerButtonEnabled(false);
    setWordWrap(false);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setSelectionMode(QAbstractItemView::ContiguousSelection);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current, const QModelIndex&) { onCurrentChanged(current); });
    applyZoom();
}

void ResultGrid::setContent(GridContent content) {
    model_->replace(std::move(content));
    applySpans();
    applyZoom();
    setEnabled(model_->content().enabled());
    applyCurrentCell();
}

const GridContent& ResultGrid::content() const {
    return model_->content();
}

void ResultGrid::resizeGrid(int rows, int columns) {
    model_->resize(rows, columns);
    clearSpans();
    applyZoom();
}

void ResultGrid::setCellText(int row, int column, const std::string& text) {
    model_->content().setText(row, column, text);
    model_->blockChanged({row, column, 1, 1});
}

// A merge drops the merges it meets and appends at most one, keeping the others in order, so
// only the difference has to reach the view.
void ResultGrid::mergeBlock(const CellBlock& block) {
    const std::vector<CellBlock> before = model_->content().merges();
    model_->content().merge(block);
    const std::vector<CellBlock>& after = model_->content().merges();
    std::size_t kept = 0;
    for (const CellBlock& old : before) {
        if (kept < after.size() && after[kept] == old) {
            ++kept;
        } else {
            setSpan(old.row - 1, old.column - 1, 1, 1);
        }
    }
    for (std::size_t i = kept; i < after.size(); ++i) {
        const CellBlock& added = after[i];
        setSpan(added.row - 1, added.column - 1, added.rows, added.columns);
    }
}

void ResultGrid::setBlockBackground(const CellBlock& block, Rgb colour) {
    model_->styleBlock(block, &GridContent::setBackground, colour);
}

void ResultGrid::setBlockForeground(const CellBlock& block, Rgb colour) {
    model_->styleBlock(block, &GridContent::setForeground, colour);
}

void ResultGrid::setBlockBold(const CellBlock& block, bool bold) {
    model_->styleBlock(block, &GridContent::setBold, bold);
}

void ResultGrid::setBlockAlign(const CellBlock& block, CellAlign align) {
    model_->styleBlock(block, &GridContent::setAlign, align);
}

void ResultGrid::setBlockTextHeight(const CellBlock& block, int height) {
    model_->styleBlock(block, &GridContent::setTextHeight, height);
}

void ResultGrid::setRowHeightUnits(int row, int units) {
    if (row < 1 || row > model_->content().rowCount()) {
        return;
    }
    model_->content().setRowHeight(row, units);
    verticalHeader()->resizeSection(row - 1, rowPixels(row));
}

void ResultGrid::setColumnWidthUnits(int column, int units) {
    if (column < 1 || column > model_->content().columnCount()) {
        return;
    }
    model_->content().setColumnWidth(column, units);
    applyZoom(); // the scale follows the sum of the widths
}

int ResultGrid::currentGridRow() const {
    const QModelIndex current = currentIndex();
    return current.isValid() ? current.row() + 1 : 0;
}

int ResultGrid::currentGridColumn() const {
    const QModelIndex current = currentIndex();
    return current.isValid() ? current.column() + 1 : 0;
}

void ResultGrid::setCurrentGridCell(int row, int column) {
    const QModelIndex index = model_->index(row - 1, column - 1);
    if (!index.isValid()) {
        return;
    }
    // Through the view, so that it keeps the cell as the anchor of the next shift-click and
    // does not move the current cell on its own when it gets the focus.
    setCurrentIndex(index);
    scrollTo(index);
}

void ResultGrid::selectBlock(const CellBlock& block) {
    const int top = std::max(1, block.row);
    const int left = std::max(1, block.column);
    const int bottom = std::min(model_->content().rowCount(), block.row + block.rows - 1);
    const int right = std::min(model_->content().columnCount(), block.column + block.columns - 1);
    if (top > bottom || left > right) {
        selectionModel()->clearSelection();
        return;
    }
    const QItemSelection cells(model_->index(top - 1, left - 1),
                               model_->index(bottom - 1, right - 1));
    selectionModel()->select(cells, QItemSelectionModel::ClearAndSelect);
}

void ResultGrid::resizeEvent(QResizeEvent* event) {
    QTableView::resizeEvent(event);
    if (viewport()->width() != zoomedWidth_) {
        applyZoom();
    }
}

void ResultGrid::applySpans() {
    clearSpans();
    for (const CellBlock& block : model_->content().merges()) {
        setSpan(block.row - 1, block.column - 1, block.rows, block.columns);
    }
}

void ResultGrid::applyZoom() {
    const GridContent& content = model_->content();
    int totalUnits = 0;
    for (int column = 1; column <= content.columnCount(); ++column) {
        const int units = content.columnWidth(column);
        totalUnits += units > 0 ? units : kDefaultColumnUnits;
    }
    const int width = viewport()->width();
    zoomedWidth_ = width;
    if (totalUnits > 0 && width > 0) {
        scale_ = static_cast<double>(width) / totalUnits;
    }
    model_->setScale(scale_);
    applyColumnWidths();
    applyRowHeights();
    viewport()->update();
}

// Each column edge is rounded from the running total, so the last one ends exactly at the
// viewport's border whatever the rounding of the others.
void ResultGrid::applyColumnWidths() {
    const GridContent& content = model_->content();
    int units = 0;
    int edge = 0;
    for (int column = 1; column <= content.columnCount(); ++column) {
        const int width = content.columnWidth(column);
        units += width > 0 ? width : kDefaultColumnUnits;
        const int next = static_cast<int>(std::lround(units * scale_));
        horizontalHeader()->resizeSection(column - 1, std::max(1, next - edge));
        edge = next;
    }
}

// Resizing thousands of sections one by one is slow, so the commonest height becomes the
// header's default and only the rows that differ are set.
void ResultGrid::applyRowHeights() {
    const GridContent& content = model_->content();
    std::map<int, int> rowsOfHeight;
    for (int row = 1; row <= content.rowCount(); ++row) {
        ++rowsOfHeight[rowPixels(row)];
    }
    defaultRowPixels_ = std::max(1, static_cast<int>(std::lround(kDefaultRowUnits * scale_)));
    int most = 0;
    for (const auto& [pixels, rows] : rowsOfHeight) {
        if (rows > most) {
            most = rows;
            defaultRowPixels_ = pixels;
        }
    }
    QHeaderView* header = verticalHeader();
    header->setDefaultSectionSize(defaultRowPixels_);
    // Without updates the header skips locating each resized section on screen.
    header->setUpdatesEnabled(false);
    for (int row = 1; row <= content.rowCount(); ++row) {
        const int pixels = rowPixels(row);
        if (pixels != defaultRowPixels_) {
            header->resizeSection(row - 1, pixels);
        }
    }
    header->setUpdatesEnabled(true);
}

int ResultGrid::rowPixels(int row) const {
    const int units = model_->content().rowHeight(row);
    return std::max(1,
                    static_cast<int>(std::lround((units > 0 ? units : kDefaultRowUnits) * scale_)));
}

QItemSelectionModel::SelectionFlags ResultGrid::selectionCommand(const QModelIndex& index,
                                                                 const QEvent* event) const {
    const bool click = event && (event->type() == QEvent::MouseButtonPress ||
                                 event->type() == QEvent::MouseButtonRelease);
    if (click && static_cast<const QMouseEvent*>(event)->modifiers() == Qt::NoModifier) {
        return QItemSelectionModel::NoUpdate;
    }
    return QTableView::selectionCommand(index, event);
}

void ResultGrid::applyCurrentCell() {
    const GridContent& content = model_->content();
    const int row = content.currentRow();
    const int column = content.currentColumn();
    if (row >= 1 && row <= content.rowCount() && column >= 1 && column <= content.columnCount()) {
        setCurrentGridCell(row, column);
    }
}

void ResultGrid::onCurrentChanged(const QModelIndex& current) {
    if (!current.isValid()) {
        return;
    }
    const int row = current.row() + 1;
    const int column = current.column() + 1;
    model_->content().setCurrentCell(row, column);
    emit currentCellChanged(row, column);
}

} // namespace zorvast::channels::ui
