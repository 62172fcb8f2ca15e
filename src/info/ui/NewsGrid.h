// The news tab's 19 x 2 grid as the list loads see it: cell texts, the header rows' fixed
// look, the shaded and framed entry rows, and a ListSink that workers can write through.
#pragma once

#include "common/Colour.h"
#include "info/lists/NewsLists.h"

#include <QColor>
#include <QObject>
#include <QString>

#include <array>
#include <memory>
#include <optional>
#include <utility>

class QTableWidget;
class QTableWidgetItem;

namespace zorvast::info::ui {

inline QColor toQColor(common::Rgb colour) {
    return QColor(colour.r, colour.g, colour.b);
}

struct NewsRowStyle {
    std::optional<QColor> background; // none: the grid's default
    std::optional<QColor> textColour;
    bool bold = false;
    bool framed = false; // a rectangle around the row's two cells

    friend bool operator==(const NewsRowStyle&, const NewsRowStyle&) = default;
};

class NewsGrid : public QObject {
    Q_OBJECT
public:
    // Takes over the table's painting (a delegate for the frames) and lays it out. The grid
    // is a child of the table and lives as long as it does.
    explicit NewsGrid(QTableWidget* table);

    QTableWidget* table() const { return table_; }
    static QColor frameColour();

    // The rest runs on the table's thread. Rows and columns count from 1, as in the lists.

    // Header rows 1 and 12 get their look; every other row the default. Texts stay.
    void layOut();
    // Every text emptied and the entry rows unshaded; the headers keep their look.
    void clear();
    void setCell(int row, int column, const QString& text);
    void shadeRow(int row, common::Rgb background);

    // The look the grid paints row `row` with.
    NewsRowStyle rowStyle(int row) const;

    // A sink for one load, usable from any thread: its updates reach the table on the
    // table's thread in the order the load made them (at once when the load runs there).
    // The grid must outlive the load; the window's grid lives as long as the process.
    std::unique_ptr<ListSink> makeSink();

private:
    bool validCell(int row, int column) const;
    QTableWidgetItem* ensureItem(int row, int column);
    void applyStyle(int row);

    QTableWidget* table_;
    std::array<NewsRowStyle, kNewsGridRows> styles_{};
};

} // namespace zorvast::info::ui
