// The transponder grid's rendering of a GridContent, offscreen: model roles, merges, the zoom
// to the viewport's width, the current cell, selections and the small edits of the overview.
#include "channels/ui/ResultGrid.h"

#include <QFont>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QSignalSpy>
#include <QtTest>

#include <cmath>
#include <set>
#include <utility>

using zorvast::channels::CellAlign;
using zorvast::channels::CellBlock;
using zorvast::channels::GridContent;
using zorvast::channels::Rgb;
using zorvast::channels::ui::ResultGrid;

namespace {

constexpr int kColumnUnits[] = {120, 140, 130, 420, 100};
constexpr int kTotalColumnUnits = 910;
constexpr Rgb kFree{150, 255, 150};
constexpr Rgb kEncrypted{255, 50, 50};
constexpr Rgb kHint{255, 255, 150};
constexpr Rgb kHeadingBack{0, 0, 150};
constexpr Rgb kHeadingFore{255, 255, 0};

struct Channel {
    const char* frequency;
    const char* polarisation;
    const char* symbolRate;
    const char* name;
    bool free;
};

void writeHeader(GridContent& content) {
    const char* titles[] = {"频率", "极化", "符号率", "频 道 名", "权限"};
    for (int column = 1; column <= 5; ++column) {
        content.setText(1, column, titles[column - 1]);
        content.setColumnWidth(column, kColumnUnits[column - 1]);
    }
    content.setRowHeight(1, 48);
    content.setTextHeight({1, 1, 1, 5}, 33);
    content.setBold({1, 1, 1, 5}, true);
    content.setAlign({1, 1, 1, 5}, CellAlign::Centre);
}

void writeChannel(GridContent& content, int row, const Channel& channel) {
    content.setText(row, 1, channel.frequency);
    content.setText(row, 2, channel.polarisation);
    content.setText(row, 3, channel.symbolRate);
    content.setText(row, 4, channel.name);
    content.setText(row, 5, channel.free ? "免费" : "加密");
    content.setBackground({row, 5, 1, 1}, channel.free ? kFree : kEncrypted);
    const int heights[] = {38, 32, 38, 35, 35};
    for (int column = 1; column <= 5; ++column) {
        content.setTextHeight({row, column, 1, 1}, heights[column - 1]);
    }
    content.setAlign({row, 1, 1, 3}, CellAlign::Right);
    content.setAlign({row, 4, 1, 2}, CellAlign::Centre);
}

// Row 1 header, row 2 a merged hint, row 3 a merged satellite heading, rows 4 to 7 channels
// with the transponder of rows 4 and 5 merged in columns 1 to 3.
GridContent sampleContent() {
    GridContent content(7, 5);
    writeHeader(content);
    content.setText(2, 1, "提示：选卫星后点击[显示结果](也可在右边下拉表选)  →");
    content.merge({2, 1, 1, 5});
    content.setAlign({2, 1, 1, 5}, CellAlign::Centre);
    content.setTextHeight({2, 1, 1, 5}, 29);
    content.setBackground({2, 1, 1, 5}, kHint);
    content.setText(3, 1, "★ E115.5【中星6B】：");
    content.merge({3, 1, 1, 5});
    content.setBackground({3, 1, 1, 5}, kHeadingBack);
    content.setForeground({3, 1, 1, 5}, kHeadingFore);
    writeChannel(content, 4, {"3840", "水平(H)", "27500", "CCTV-1", true});
    writeChannel(content, 5, {"3840", "水平(H)", "27500", "CCTV-2(高清)", false});
    writeChannel(content, 6, {"3880", "垂直(V)", "27500", "广东卫视", true});
    writeChannel(content, 7, {"4000", "水平(H)", "6880", "测试", false});
    content.merge({4, 1, 2, 1});
    content.merge({4, 2, 2, 1});
    content.merge({4, 3, 2, 1});
    content.setCurrentCell(4, 4);
    return content;
}

// A channel list as a query leaves it: every other transponder of two or three rows merged
// and tinted.
GridContent largeContent(int channels) {
    GridContent content(channels + 1, 5);
    writeHeader(content);
    int row = 2;
    int transponder = 0;
    while (row <= channels + 1) {
        const int rows = std::min(2 + transponder % 2, channels + 2 - row);
        const std::string frequency = std::to_string(3700 + transponder * 10);
        for (int i = 0; i < rows; ++i) {
            const std::string name = "频道" + std::to_string(row + i);
            writeChannel(content, row + i,
                         {frequency.c_str(), "垂直(V)", "27500", name.c_str(), (row + i) % 3 != 0});
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

// A size in pixels is its grid units times the scale, give or take the rounding.
bool scaledFrom(int pixels, double units, double scale) {
    return std::abs(pixels - units * scale) <= 1.0;
}

void clickCell(ResultGrid& grid, int row, int column) {
    const QModelIndex index = grid.model()->index(row - 1, column - 1);
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, grid.visualRect(index).center());
}

QColor colourOf(const QVariant& brush) {
    return brush.value<QBrush>().color();
}

int sumOfColumnWidths(const ResultGrid& grid) {
    int sum = 0;
    for (int column = 0; column < grid.model()->columnCount(); ++column) {
        sum += grid.columnWidth(column);
    }
    return sum;
}

QString describe(const std::set<std::pair<int, int>>& cells) {
    QStringList parts;
    for (const auto& [row, column] : cells) {
        parts << QStringLiteral("(%1,%2)").arg(row).arg(column);
    }
    return parts.join(QLatin1Char(' '));
}

std::set<std::pair<int, int>> selectedCells(const ResultGrid& grid) {
    std::set<std::pair<int, int>> cells;
    for (const QModelIndex& index : grid.selectionModel()->selectedIndexes()) {
        cells.insert({index.row() + 1, index.column() + 1});
    }
    return cells;
}

} // namespace

class ResultGridTest : public QObject {
    Q_OBJECT

private slots:
    void modelRolesFollowTheContent() {
        ResultGrid grid;
        grid.resize(700, 500);
        grid.setContent(sampleContent());
        const QAbstractItemModel* model = grid.model();
        QCOMPARE(model->rowCount(), 7);
        QCOMPARE(model->columnCount(), 5);

        QCOMPARE(model->data(model->index(0, 0)).toString(), QStringLiteral("频率"));
        QCOMPARE(model->data(model->index(0, 3)).toString(), QStringLiteral("频 道 名"));
        QCOMPARE(model->data(model->index(2, 0)).toString(),
                 QStringLiteral("★ E115.5【中星6B】："));
        QCOMPARE(model->data(model->index(4, 3)).toString(), QStringLiteral("CCTV-2(高清)"));

        QCOMPARE(colourOf(model->data(model->index(1, 0), Qt::BackgroundRole)),
                 QColor(255, 255, 150));
        QCOMPARE(colourOf(model->data(model->index(2, 0), Qt::BackgroundRole)), QColor(0, 0, 150));
        QCOMPARE(colourOf(model->data(model->index(2, 0), Qt::ForegroundRole)),
                 QColor(255, 255, 0));
        QCOMPARE(colourOf(model->data(model->index(3, 4), Qt::BackgroundRole)),
                 QColor(150, 255, 150));
        QCOMPARE(colourOf(model->data(model->index(4, 4), Qt::BackgroundRole)),
                 QColor(255, 50, 50));
        // Unstyled cells keep the grid's own background and get black text.
        QVERIFY(!model->data(model->index(3, 3), Qt::BackgroundRole).isValid());
        QCOMPARE(colourOf(model->data(model->index(3, 3), Qt::ForegroundRole)), QColor(Qt::black));

        const auto alignment = [&](int row, int column) {
            return model->data(model->index(row, column), Qt::TextAlignmentRole)
                .value<Qt::Alignment>();
        };
        QCOMPARE(alignment(0, 1), Qt::AlignHCenter | Qt::AlignVCenter);
        QCOMPARE(alignment(3, 0), Qt::AlignRight | Qt::AlignVCenter);
        QCOMPARE(alignment(3, 3), Qt::AlignHCenter | Qt::AlignVCenter);
        QCOMPARE(alignment(2, 0), Qt::AlignLeft | Qt::AlignVCenter);

        const QFont header = model->data(model->index(0, 0), Qt::FontRole).value<QFont>();
        const QFont frequency = model->data(model->index(3, 0), Qt::FontRole).value<QFont>();
        const QFont polarisation = model->data(model->index(3, 1), Qt::FontRole).value<QFont>();
        QVERIFY(header.bold());
        QVERIFY(!frequency.bold());
        QVERIFY2(frequency.pixelSize() >= 9 && frequency.pixelSize() <= 24,
                 qPrintable(QString::number(frequency.pixelSize())));
        // Taller text heights give larger fonts (38 units against 32).
        QVERIFY2(frequency.pixelSize() > polarisation.pixelSize(),
                 qPrintable(QStringLiteral("%1 vs %2")
                                .arg(frequency.pixelSize())
                                .arg(polarisation.pixelSize())));
        // Even the smallest text stays readable.
        QVERIFY2(polarisation.pixelSize() >= 11 && header.pixelSize() >= 11,
                 qPrintable(QStringLiteral("%1 and %2 px")
                                .arg(polarisation.pixelSize())
                                .arg(header.pixelSize())));
        // Every font fits its row.
        QVERIFY2(frequency.pixelSize() < grid.rowHeight(3),
                 qPrintable(QStringLiteral("%1 px font in a %2 px row")
                                .arg(frequency.pixelSize())
                                .arg(grid.rowHeight(3))));

        QVERIFY(!(model->flags(model->index(3, 3)) & Qt::ItemIsEditable));
        QVERIFY(grid.horizontalHeader()->isHidden());
        QVERIFY(grid.verticalHeader()->isHidden());
        QCOMPARE(grid.content(), sampleContent());
    }

    void mergesBecomeSpans() {
        ResultGrid grid;
        grid.setContent(sampleContent());
        QCOMPARE(grid.rowSpan(1, 0), 1);
        QCOMPARE(grid.columnSpan(1, 0), 5);
        QCOMPARE(grid.columnSpan(2, 0), 5);
        for (int column = 0; column < 3; ++column) {
            QCOMPARE(grid.rowSpan(3, column), 2);
            QCOMPARE(grid.columnSpan(3, column), 1);
        }
        QCOMPARE(grid.rowSpan(3, 3), 1);
        QCOMPARE(grid.columnSpan(0, 0), 1);

        // A new content drops the old merges.
        GridContent plain(7, 5);
        grid.setContent(plain);
        QCOMPARE(grid.columnSpan(1, 0), 1);
        QCOMPARE(grid.rowSpan(3, 0), 1);
    }

    void columnsFillTheViewportWidth() {
        ResultGrid grid;
        grid.resize(700, 500);
        grid.setContent(sampleContent());
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        for (const QSize size : {QSize(700, 500), QSize(913, 400), QSize(431, 300)}) {
            grid.resize(size);
            QCoreApplication::processEvents();
            const int width = grid.viewport()->width();
            QVERIFY2(std::abs(sumOfColumnWidths(grid) - width) <= 1,
                     qPrintable(QStringLiteral("window %1: columns %2 px, viewport %3 px")
                                    .arg(size.width())
                                    .arg(sumOfColumnWidths(grid))
                                    .arg(width)));
            const double scale = static_cast<double>(width) / kTotalColumnUnits;
            QCOMPARE(grid.scale(), scale);
            for (int column = 0; column < 5; ++column) {
                QVERIFY2(scaledFrom(grid.columnWidth(column), kColumnUnits[column], scale),
                         qPrintable(QStringLiteral("column %1: %2 px at %3")
                                        .arg(column + 1)
                                        .arg(grid.columnWidth(column))
                                        .arg(scale)));
            }
            QVERIFY(scaledFrom(grid.rowHeight(0), 48, scale));
            QVERIFY(scaledFrom(grid.rowHeight(3), 50, scale));
        }
        QCOMPARE(grid.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QCOMPARE(grid.horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    }

    void rowsWithoutHeightGetTheDataRowHeight() {
        ResultGrid grid;
        grid.resize(700, 500);
        GridContent content(60, 5);
        for (int row = 1; row <= 60; ++row) {
            content.setRowHeight(row, row % 2 == 0 ? 48 : 0);
        }
        content.setRowHeight(7, 80);
        grid.setContent(content);
        const double scale = grid.scale();
        for (int row = 1; row <= 60; ++row) {
            const int units = row == 7 ? 80 : row % 2 == 0 ? 48 : 50;
            QVERIFY2(scaledFrom(grid.rowHeight(row - 1), units, scale),
                     qPrintable(QStringLiteral("row %1: %2 px, expected %3 units at %4")
                                    .arg(row)
                                    .arg(grid.rowHeight(row - 1))
                                    .arg(units)
                                    .arg(scale)));
        }
    }

    void theContentsCurrentCellAndEnabledStateApply() {
        ResultGrid grid;
        QSignalSpy changed(&grid, &ResultGrid::currentCellChanged);
        GridContent content = sampleContent();
        content.setCurrentCell(6, 4);
        content.setEnabled(false);
        grid.setContent(content);
        QVERIFY(!grid.isEnabled());
        QCOMPARE(grid.currentGridRow(), 6);
        QCOMPARE(grid.currentGridColumn(), 4);
        QCOMPARE(changed.size(), 1);
        QCOMPARE(changed.last(), (QVariantList{6, 4}));

        content.setEnabled(true);
        content.setCurrentCell(9, 4); // outside: no current cell
        grid.setContent(content);
        QVERIFY(grid.isEnabled());
        QCOMPARE(grid.currentGridRow(), 0);
        QCOMPARE(grid.currentGridColumn(), 0);
        QCOMPARE(changed.size(), 1);
    }

    void currentCellChangesAreSignalled() {
        ResultGrid grid;
        grid.resize(700, 500);
        grid.setContent(sampleContent());
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        QSignalSpy changed(&grid, &ResultGrid::currentCellChanged);

        clickCell(grid, 7, 2);
        QCOMPARE(changed.size(), 1);
        QCOMPARE(changed.last(), (QVariantList{7, 2}));
        QCOMPARE(grid.currentGridRow(), 7);
        QCOMPARE(grid.currentGridColumn(), 2);
        QCOMPARE(grid.content().currentRow(), 7);
        QCOMPARE(grid.content().currentColumn(), 2);

        // Below the last row: no cell, nothing changes.
        const QRect last = grid.visualRect(grid.model()->index(6, 0));
        QVERIFY(last.bottom() + 20 < grid.viewport()->height());
        QTest::mouseClick(grid.viewport(), Qt::LeftButton, {},
                          QPoint(last.center().x(), last.bottom() + 15));
        QCOMPARE(changed.size(), 1);
        QCOMPARE(grid.currentGridRow(), 7);
        // A plain click leaves the selection to the cell's handler: here there is none.
        QVERIFY2(!selectedCells(grid).contains({7, 2}), qPrintable(describe(selectedCells(grid))));

        const QAbstractItemModel* model = grid.model();
        QTest::mouseClick(grid.viewport(), Qt::LeftButton, {},
                          grid.visualRect(model->index(5, 4)).center());
        QCOMPARE(changed.size(), 2);
        QCOMPARE(changed.last(), (QVariantList{6, 5}));
        QCOMPARE(grid.content().currentRow(), 6);

        // A click into the lower half of a merged transponder lands on the merged cell.
        const QRect merged = grid.visualRect(model->index(3, 0));
        QVERIFY2(std::abs(merged.height() - (grid.rowHeight(3) + grid.rowHeight(4))) <= 1,
                 qPrintable(QStringLiteral("%1 px for rows of %2 and %3 px")
                                .arg(merged.height())
                                .arg(grid.rowHeight(3))
                                .arg(grid.rowHeight(4))));
        QTest::mouseClick(grid.viewport(), Qt::LeftButton, {},
                          QPoint(merged.center().x(), merged.bottom() - 3));
        QCOMPARE(changed.size(), 3);
        QCOMPARE(changed.last(), (QVariantList{4, 1}));
    }

    void selectBlockSelectsExactlyItsCells() {
        ResultGrid grid;
        grid.resize(700, 500);
        grid.setContent(sampleContent());
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        QSignalSpy changed(&grid, &ResultGrid::currentCellChanged);
        clickCell(grid, 6, 4);
        grid.selectBlock({6, 4, 1, 2});
        const std::set<std::pair<int, int>> expected{{6, 4}, {6, 5}};
        QVERIFY2(selectedCells(grid) == expected, qPrintable(describe(selectedCells(grid))));
        QCOMPARE(grid.currentGridRow(), 6);
        QCOMPARE(grid.currentGridColumn(), 4);
        QCOMPARE(changed.size(), 1);

        grid.selectBlock({7, 1, 1, 5});
        const std::set<std::pair<int, int>> row{{7, 1}, {7, 2}, {7, 3}, {7, 4}, {7, 5}};
        QVERIFY2(selectedCells(grid) == row, qPrintable(describe(selectedCells(grid))));

        grid.selectBlock({7, 4, 5, 9}); // clipped to the grid
        const std::set<std::pair<int, int>> clipped{{7, 4}, {7, 5}};
        QVERIFY2(selectedCells(grid) == clipped, qPrintable(describe(selectedCells(grid))));
        QCOMPARE(changed.size(), 1);
    }

    void smallEditsBuildTheOverview() {
        ResultGrid grid;
        grid.resize(700, 500);
        grid.setContent(sampleContent());
        grid.resizeGrid(5, 5);
        const QAbstractItemModel* model = grid.model();
        QCOMPARE(model->rowCount(), 5);
        QCOMPARE(model->columnCount(), 5);
        QCOMPARE(grid.columnSpan(1, 0), 1); // the old merges are gone
        QCOMPARE(model->data(model->index(0, 0)).toString(), QString());

        for (int column = 1; column <= 5; ++column) {
            grid.setColumnWidthUnits(column, kColumnUnits[column - 1]);
        }
        QCOMPARE(grid.scale(), static_cast<double>(grid.viewport()->width()) / kTotalColumnUnits);
        QVERIFY(std::abs(sumOfColumnWidths(grid) - grid.viewport()->width()) <= 1);

        grid.setCellText(1, 1, "频率");
        grid.setCellText(3, 1, "　　　　☆ E115.5【中星6B】");
        QCOMPARE(model->data(model->index(0, 0)).toString(), QStringLiteral("频率"));
        QCOMPARE(grid.content().text(3, 1), "　　　　☆ E115.5【中星6B】");

        grid.mergeBlock({2, 1, 1, 5});
        grid.mergeBlock({3, 1, 1, 5});
        grid.mergeBlock({4, 1, 1, 5});
        QCOMPARE(grid.columnSpan(1, 0), 5);
        QCOMPARE(grid.columnSpan(2, 0), 5);
        QCOMPARE(grid.columnSpan(3, 0), 5);
        // A block over earlier merges replaces them.
        grid.mergeBlock({3, 1, 2, 2});
        QCOMPARE(grid.columnSpan(1, 0), 5);
        QCOMPARE(grid.rowSpan(2, 0), 2);
        QCOMPARE(grid.columnSpan(2, 0), 2);
        QCOMPARE(grid.content().merges().size(), std::size_t{2});
        grid.mergeBlock({3, 1, 1, 1}); // a single cell only removes what it meets
        QCOMPARE(grid.rowSpan(2, 0), 1);
        QCOMPARE(grid.columnSpan(2, 0), 1);
        QCOMPARE(grid.content().merges().size(), std::size_t{1});

        grid.setBlockBackground({2, 1, 1, 5}, kHint);
        grid.setBlockBackground({4, 1, 1, 5}, {240, 240, 255});
        QCOMPARE(colourOf(model->data(model->index(1, 0), Qt::BackgroundRole)),
                 QColor(255, 255, 150));
        QCOMPARE(colourOf(model->data(model->index(3, 4), Qt::BackgroundRole)),
                 QColor(240, 240, 255));
        QVERIFY(!model->data(model->index(2, 0), Qt::BackgroundRole).isValid());

        grid.setBlockAlign({2, 1, 1, 5}, CellAlign::Centre);
        QCOMPARE(model->data(model->index(1, 0), Qt::TextAlignmentRole).value<Qt::Alignment>(),
                 Qt::AlignHCenter | Qt::AlignVCenter);
        grid.setBlockForeground({2, 1, 1, 1}, {10, 20, 30});
        QCOMPARE(colourOf(model->data(model->index(1, 0), Qt::ForegroundRole)), QColor(10, 20, 30));
        grid.setBlockBold({1, 1, 1, 5}, true);
        QVERIFY(model->data(model->index(0, 4), Qt::FontRole).value<QFont>().bold());

        grid.setBlockTextHeight({3, 1, 1, 1}, 20);
        grid.setBlockTextHeight({4, 1, 1, 1}, 45);
        const int small = model->data(model->index(2, 0), Qt::FontRole).value<QFont>().pixelSize();
        const int large = model->data(model->index(3, 0), Qt::FontRole).value<QFont>().pixelSize();
        QVERIFY2(small < large, qPrintable(QStringLiteral("%1 vs %2").arg(small).arg(large)));

        grid.setRowHeightUnits(3, 48);
        grid.setRowHeightUnits(4, 100);
        QVERIFY(scaledFrom(grid.rowHeight(2), 48, grid.scale()));
        QVERIFY(scaledFrom(grid.rowHeight(3), 100, grid.scale()));
        QVERIFY(scaledFrom(grid.rowHeight(4), 50, grid.scale()));
        QCOMPARE(grid.content().rowHeight(4), 100);

        // Wider columns in units keep filling the same width.
        grid.setColumnWidthUnits(4, 840);
        QCOMPARE(grid.scale(), static_cast<double>(grid.viewport()->width()) / 1330);
        QVERIFY(std::abs(sumOfColumnWidths(grid) - grid.viewport()->width()) <= 1);
    }

    void aLargeContentIsAccepted() {
        ResultGrid grid;
        grid.resize(700, 500);
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        const GridContent content = largeContent(3000);
        grid.setContent(content);
        QCoreApplication::processEvents();
        QCOMPARE(grid.model()->rowCount(), 3001);
        QCOMPARE(grid.content(), content);
        QCOMPARE(grid.rowSpan(1, 0), 2);
        QCOMPARE(grid.rowSpan(3, 2), 3);
        QCOMPARE(grid.currentGridRow(), 2);

        // A content whose current cell lies far down is shown scrolled to it.
        GridContent scrolled = content;
        scrolled.setCurrentCell(3000, 4);
        grid.setContent(scrolled);
        QCoreApplication::processEvents();
        QCOMPARE(grid.currentGridRow(), 3000);
        const QRect cell = grid.visualRect(grid.model()->index(2999, 3));
        QVERIFY2(grid.viewport()->rect().contains(cell),
                 qPrintable(QStringLiteral("cell at y %1, viewport height %2")
                                .arg(cell.y())
                                .arg(grid.viewport()->height())));

        const QString shot = qEnvironmentVariable("ZORVAST_SCREENSHOT");
        if (!shot.isEmpty()) {
            GridContent overview = sampleContent();
            grid.setContent(std::move(overview));
            grid.grab().save(shot + QStringLiteral("-sample.png"));
            grid.setContent(content);
            grid.selectBlock({2, 4, 1, 2});
            QCoreApplication::processEvents();
            grid.grab().save(shot + QStringLiteral("-channels.png"));
        }
    }
};

QTEST_MAIN(ResultGridTest)
#include "ResultGridTest.moc"
