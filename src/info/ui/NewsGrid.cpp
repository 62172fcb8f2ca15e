#include "info/ui/NewsGrid.h"

#include "common/ui/UiThread.h"

#include <QBrush>
#include <QFont>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTableWidget>

namespace zorvast::info::ui {

namespace {

bool isHeaderRow(int row) {
    return row == kLatestChannelLayout.headerRow || row == kSngLayout.headerRow;
}

NewsRowStyle headerStyle() {
    return {toQColor(kHeaderBackground), toQColor(kHeaderTextColour), true, true};
}

// The look of a row comes from the grid's own table rather than from the items, so it
// survives a clearContents() of the table; a QTableWidget has no per-cell borders, so the
// frames are painted here too.
class NewsGridDelegate final : public QStyledItemDelegate {
public:
    NewsGridDelegate(const NewsGrid* grid, QObject* parent)
        : QStyledItemDelegate(parent), grid_(grid) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyledItemDelegate::paint(painter, option, index);
        if (!grid_->rowStyle(index.row() + 1).framed) {
            return;
        }
        const QRect r = option.rect;
        painter->save();
        painter->setPen(QPen(NewsGrid::frameColour(), 1));
        painter->drawLine(r.topLeft(), r.topRight());
        painter->drawLine(r.bottomLeft(), r.bottomRight());
        if (index.column() == 0) {
            painter->drawLine(r.topLeft(), r.bottomLeft());
        }
        if (index.column() == kNewsGridColumns - 1) {
            painter->drawLine(r.topRight(), r.bottomRight());
        }
        painter->restore();
    }

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        const NewsRowStyle style = grid_->rowStyle(index.row() + 1);
        if (style.background) {
            option->backgroundBrush = QBrush(*style.background);
        }
        if (style.textColour) {
            option->palette.setColor(QPalette::Text, *style.textColour);
        }
        if (style.bold) {
            option->font.setBold(true);
        }
    }

private:
    const NewsGrid* grid_;
};

// The items carry their row's look as well (their colours and font), for readers of the table;
// the delegate paints from the grid's own table, frames included.
void styleItem(QTableWidgetItem* item, const NewsRowStyle& style, QFont font) {
    item->setData(Qt::BackgroundRole,
                  style.background ? QVariant(QBrush(*style.background)) : QVariant());
    item->setData(Qt::ForegroundRole,
                  style.textColour ? QVariant(QBrush(*style.textColour)) : QVariant());
    if (style.bold) {
        font.setBold(true);
        item->setData(Qt::FontRole, font);
    } else {
        item->setData(Qt::FontRole, QVariant());
    }
}

class GridSink final : public ListSink {
public:
    explicit GridSink(NewsGrid* grid) : grid_(grid) {}

    void setCell(int row, int column, const std::string& text) override {
        common::ui::postToUi(grid_,
                             [grid = grid_, row, column, text = QString::fromStdString(text)] {
                                 grid->setCell(row, column, text);
                             });
    }

    void shadeRow(int row, common::Rgb background) override {
        common::ui::postToUi(grid_,
                             [grid = grid_, row, background] { grid->shadeRow(row, background); });
    }

private:
    NewsGrid* grid_;
};

} // namespace

NewsGrid::NewsGrid(QTableWidget* table) : QObject(table), table_(table) {
    table_->setItemDelegate(new NewsGridDelegate(this, this));
    layOut();
}

QColor NewsGrid::frameColour() {
    return QColor(0, 0, 0);
}

void NewsGrid::layOut() {
    for (int row = 1; row <= kNewsGridRows; ++row) {
        styles_[row - 1] = isHeaderRow(row) ? headerStyle() : NewsRowStyle{};
        applyStyle(row);
    }
    table_->viewport()->update();
}

void NewsGrid::clear() {
    for (int row = 1; row <= kNewsGridRows; ++row) {
        if (!isHeaderRow(row)) {
            styles_[row - 1] = NewsRowStyle{};
        }
        for (int column = 1; column <= kNewsGridColumns; ++column) {
            QTableWidgetItem* item = ensureItem(row, column);
            item->setText(QString());
            item->setToolTip(QString());
        }
        applyStyle(row);
    }
    table_->viewport()->update();
}

void NewsGrid::setCell(int row, int column, const QString& text) {
    if (!validCell(row, column)) {
        return;
    }
    QTableWidgetItem* item = ensureItem(row, column);
    item->setText(text);
    // Long entries are shortened in the grid; the whole text shows on hovering.
    item->setToolTip(text);
}

void NewsGrid::shadeRow(int row, common::Rgb background) {
    if (!validCell(row, 1)) {
        return;
    }
    NewsRowStyle& style = styles_[row - 1];
    style.background = toQColor(background);
    style.framed = true;
    applyStyle(row);
    table_->viewport()->update();
}

NewsRowStyle NewsGrid::rowStyle(int row) const {
    if (row < 1 || row > kNewsGridRows) {
        return {};
    }
    return styles_[row - 1];
}

std::unique_ptr<ListSink> NewsGrid::makeSink() {
    return std::make_unique<GridSink>(this);
}

bool NewsGrid::validCell(int row, int column) const {
    return row >= 1 && row <= kNewsGridRows && row <= table_->rowCount() && column >= 1 &&
           column <= kNewsGridColumns && column <= table_->columnCount();
}

QTableWidgetItem* NewsGrid::ensureItem(int row, int column) {
    QTableWidgetItem* item = table_->item(row - 1, column - 1);
    if (!item) {
        item = new QTableWidgetItem;
        item->setFlags(Qt::ItemIsEnabled);
        table_->setItem(row - 1, column - 1, item);
        styleItem(item, styles_[row - 1], table_->font());
    }
    return item;
}

void NewsGrid::applyStyle(int row) {
    const NewsRowStyle& style = styles_[row - 1];
    for (int column = 1; column <= kNewsGridColumns; ++column) {
        if (!validCell(row, column)) {
            continue;
        }
        styleItem(ensureItem(row, column), style, table_->font());
    }
}

} // namespace zorvast::info::ui
