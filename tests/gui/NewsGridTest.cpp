// The news tab's grid, offscreen: the header look from the start, loads from worker threads
// (and on the window thread) ending with the right texts, colours, bold headers and frames as
// the table shows and paints them, and the refresh links' countdown.
#include "info/ui/NewsGrid.h"
#include "info/ui/NewsTab.h"

#include "common/Clock.h"
#include "common/Text.h"
#include "info/lists/NewsLists.h"
#include "info/ui/LinkText.h"

#include <QBrush>
#include <QCoreApplication>
#include <QFont>
#include <QImage>
#include <QLabel>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <semaphore>
#include <string>
#include <thread>
#include <vector>

using zorvast::common::toGbk;
using zorvast::info::ListKind;
using zorvast::info::ListSources;
using zorvast::info::loadList;
using zorvast::info::ui::NewsGrid;
using zorvast::info::ui::NewsTab;

namespace {

const QColor kHeaderBack(255, 255, 180);
const QColor kHeaderText(50, 50, 200);
const QColor kBlueShade(240, 240, 255);
const QColor kRoseShade(255, 230, 230);

void writeGbk(const QTemporaryDir& dir, const char* name, const std::string& utf8) {
    const std::string bytes = toGbk(utf8).bytes;
    std::ofstream out(std::filesystem::path(dir.path().toStdString()) / name,
                      std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

QString q(const char* utf8) {
    return QString::fromUtf8(utf8);
}

// Both lists loaded on worker threads of their own, as start-up does; the posted updates are
// then delivered.
void loadOnWorkers(NewsGrid* grid, const ListSources& latest, const ListSources& sng) {
    auto latestSink = grid->makeSink();
    auto sngSink = grid->makeSink();
    std::thread a([&] { loadList(ListKind::LatestChannels, latest, *latestSink); });
    std::thread b([&] { loadList(ListKind::Sng, sng, *sngSink); });
    a.join();
    b.join();
    QCoreApplication::sendPostedEvents();
}

QColor pixelAt(const QImage& image, QPoint point) {
    return image.pixelColor(point);
}

// The text the table shows in a cell; rows and columns count from 1 as in the lists.
QString cellText(const NewsTab& tab, int row, int column) {
    const QTableWidgetItem* item = tab.newsGrid()->item(row - 1, column - 1);
    return item ? item->text() : QString();
}

// The table as it is painted: each row's background (in column 2, right of any short text) and
// whether a frame runs along its top and left edge.
class GridPicture {
public:
    explicit GridPicture(QTableWidget* table)
        : table_(table), image_(table->viewport()->grab().toImage()) {}

    const QImage& image() const { return image_; }
    QColor background(int row) const { return pixelAt(image_, back(row)); }
    bool framed(int row) const {
        const QColor frame = NewsGrid::frameColour();
        return pixelAt(image_, top(row)) == frame && pixelAt(image_, left(row)) == frame;
    }
    // Neither edge has the frame's colour.
    bool unframed(int row) const {
        const QColor frame = NewsGrid::frameColour();
        return pixelAt(image_, top(row)) != frame && pixelAt(image_, left(row)) != frame;
    }

private:
    QRect cell(int row, int column) const {
        return table_->visualRect(table_->model()->index(row - 1, column - 1));
    }
    QPoint back(int row) const {
        const QRect r = cell(row, 2);
        return QPoint(r.right() - 4, r.center().y());
    }
    QPoint top(int row) const {
        const QRect r = cell(row, 2);
        return QPoint(r.right() - 4, r.top());
    }
    QPoint left(int row) const {
        const QRect r = cell(row, 1);
        return QPoint(r.left(), r.center().y());
    }

    QTableWidget* table_;
    QImage image_;
};

// A shown tab, large enough for every row to be painted.
void showTab(NewsTab& tab) {
    tab.resize(1200, 760);
    tab.show();
}

// A clock whose every sleep waits for the test to let it go.
class GatedClock final : public zorvast::common::Clock {
public:
    void sleepFor(std::chrono::milliseconds duration) override {
        sleeps.push_back(duration);
        reached.release();
        proceed.acquire();
    }
    std::chrono::steady_clock::time_point now() const override { return {}; }

    std::vector<std::chrono::milliseconds> sleeps;
    std::binary_semaphore reached{0};
    std::binary_semaphore proceed{0};
};

} // namespace

class NewsGridTest : public QObject {
    Q_OBJECT

private slots:
    void headersHaveTheirLookFromTheStart() {
        NewsTab tab;
        NewsGrid* grid = tab.newsLists();
        QVERIFY(grid);
        QCOMPARE(grid->table(), tab.newsGrid());
        for (int column = 0; column < 2; ++column) {
            for (int row : {0, 11}) {
                const QTableWidgetItem* item = tab.newsGrid()->item(row, column);
                QVERIFY(item);
                QCOMPARE(item->background().color(), kHeaderBack);
                QCOMPARE(item->foreground().color(), kHeaderText);
                QVERIFY(item->font().bold());
            }
            const QTableWidgetItem* entry = tab.newsGrid()->item(2, column);
            QVERIFY(entry);
            QVERIFY(!entry->data(Qt::BackgroundRole).isValid());
            QVERIFY(!entry->font().bold());
        }
        // Painted before any list was loaded: the two header rows framed on their colour,
        // every other row plain.
        showTab(tab);
        QVERIFY(QTest::qWaitForWindowExposed(&tab));
        const GridPicture picture(tab.newsGrid());
        const QColor plain = picture.background(2);
        QVERIFY(plain != kHeaderBack);
        for (int row = 1; row <= 19; ++row) {
            const bool isHeader = row == 1 || row == 12;
            const QString where = QStringLiteral("row %1").arg(row);
            QVERIFY2(picture.background(row) == (isHeader ? kHeaderBack : plain),
                     qPrintable(where));
            QVERIFY2(isHeader ? picture.framed(row) : picture.unframed(row), qPrintable(where));
        }
    }

    void workersFillTheGrid() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        // Twelve cached lines with an empty second one; the SNG list comes from the server.
        std::string cache = "频道1\r\n\r\n";
        for (int i = 3; i <= 12; ++i) {
            cache += "频道" + std::to_string(i) + "\r\n";
        }
        writeGbk(dir, "nch.str", cache);
        writeGbk(dir, "sng.str", "缓存临传\r\n");
        const std::string sngPage = toGbk("临传一\r\n临传二\r\n临传三\r\n￣").bytes;

        NewsTab tab;
        showTab(tab);
        QVERIFY(QTest::qWaitForWindowExposed(&tab));
        NewsGrid* grid = tab.newsLists();
        const std::filesystem::path folder = dir.path().toStdString();
        const ListSources latest{.serverReached = false,
                                 .serverRoot = "http://server.test/",
                                 .fetch = nullptr,
                                 .workFolder = folder};
        const ListSources sng{.serverReached = true,
                              .serverRoot = "http://server.test/",
                              .fetch =
                                  [&](const std::string& url) {
                                      return url == "http://server.test/sng.htm" ? sngPage
                                                                                 : std::string();
                                  },
                              .workFolder = folder};
        loadOnWorkers(grid, latest, sng);

        QCOMPARE(cellText(tab, 1, 1), QString());
        QCOMPARE(cellText(tab, 1, 2), q("最新频道资讯："));
        for (int row = 2; row <= 11; ++row) {
            const QString expected =
                row == 3 ? q(" 无信息...") : QStringLiteral("频道%1").arg(row - 1);
            QCOMPARE(cellText(tab, row, 1), q("☆"));
            QCOMPARE(cellText(tab, row, 2), expected);
            QCOMPARE(tab.newsGrid()->item(row - 1, 1)->text(), expected);
        }
        QCOMPARE(cellText(tab, 12, 2), q("§最新临传(SNG)讯号：（随时出现或消失）"));
        const QStringList sngTexts = {q("临传一"), q("临传二"), q("临传三"), q("￣"),
                                      q("无信息...")};
        for (int row = 13; row <= 17; ++row) {
            QCOMPARE(cellText(tab, row, 1), q("◇"));
            QCOMPARE(cellText(tab, row, 2), sngTexts[row - 13]);
        }
        for (int row = 18; row <= 19; ++row) {
            QCOMPARE(cellText(tab, row, 1), QString());
            QCOMPARE(cellText(tab, row, 2), QString());
        }

        // Headers unchanged by the loads; every second entry row shaded and framed.
        const GridPicture picture(tab.newsGrid());
        const QColor plain = picture.background(2);
        for (int row : {1, 12}) {
            QCOMPARE(picture.background(row), kHeaderBack);
            QVERIFY(picture.framed(row));
            for (int column = 0; column < 2; ++column) {
                const QTableWidgetItem* item = tab.newsGrid()->item(row - 1, column);
                QCOMPARE(item->background().color(), kHeaderBack);
                QCOMPARE(item->foreground().color(), kHeaderText);
                QVERIFY(item->font().bold());
            }
        }
        for (int row = 2; row <= 19; ++row) {
            if (row == 12) {
                continue;
            }
            std::optional<QColor> shade;
            if (row <= 11 && row % 2 == 1) {
                shade = kBlueShade;
            } else if (row == 14 || row == 16) {
                shade = kRoseShade;
            }
            const QString where = QStringLiteral("row %1").arg(row);
            QVERIFY2(picture.background(row) == shade.value_or(plain), qPrintable(where));
            QVERIFY2(shade ? picture.framed(row) : picture.unframed(row), qPrintable(where));
            for (int column = 0; column < 2; ++column) {
                const QTableWidgetItem* item = tab.newsGrid()->item(row - 1, column);
                QVERIFY(item);
                if (shade) {
                    QCOMPARE(item->background().color(), *shade);
                } else {
                    QVERIFY(!item->data(Qt::BackgroundRole).isValid());
                }
                QVERIFY(!item->font().bold());
            }
        }
    }

    void missingCacheEndsWithFillers() {
        QTemporaryDir dir; // empty: neither list has a cache
        NewsTab tab;
        NewsGrid* grid = tab.newsLists();
        const ListSources sources{.serverReached = false,
                                  .serverRoot = "",
                                  .fetch = nullptr,
                                  .workFolder = dir.path().toStdString()};
        loadOnWorkers(grid, sources, sources);
        for (int row = 2; row <= 11; ++row) {
            QCOMPARE(cellText(tab, row, 2), q(" 无信息..."));
        }
        for (int row = 13; row <= 17; ++row) {
            QCOMPARE(cellText(tab, row, 2), q("无信息..."));
        }
    }

    // The deferred tick and the refresh link load on the window thread: no event loop needed.
    void windowThreadLoadAppliesAtOnce() {
        QTemporaryDir dir;
        writeGbk(dir, "nch.str", "本地\r\n");
        NewsTab tab;
        NewsGrid* grid = tab.newsLists();
        auto sink = grid->makeSink();
        loadList(ListKind::LatestChannels,
                 {.serverReached = false,
                  .serverRoot = "",
                  .fetch = nullptr,
                  .workFolder = dir.path().toStdString()},
                 *sink);
        QCOMPARE(cellText(tab, 2, 2), q("本地"));
        QCOMPARE(cellText(tab, 3, 2), q(" 无信息..."));
        QCOMPARE(tab.newsGrid()->item(2, 1)->background().color(), kBlueShade);
    }

    // Sized before it is first shown, the grid still spans its whole viewport once visible.
    void longEntriesKeepTheirWholeTextAsTip() {
        QTableWidget table(19, 2);
        auto* grid = new NewsGrid(&table);
        const QString text = q("本版数据按卫星整理转发器参数：频率、极化、符号率、频道名和权限");
        grid->setCell(2, 2, text);
        QVERIFY(table.item(1, 1));
        QCOMPARE(table.item(1, 1)->text(), text);
        QCOMPARE(table.item(1, 1)->toolTip(), text);
        grid->clear();
        QVERIFY(table.item(1, 1)->text().isEmpty());
        QVERIFY(table.item(1, 1)->toolTip().isEmpty());
    }

    void columnsFillTheViewportOnceShown() {
        NewsTab tab;
        tab.resize(1100, 700);
        tab.show();
        QVERIFY(QTest::qWaitForWindowExposed(&tab));
        QTableWidget* table = tab.newsGrid();
        QCOMPARE(table->columnWidth(0) + table->columnWidth(1), table->viewport()->width());
    }

    void paintsBackgroundsAndFrames() {
        QTemporaryDir dir;
        writeGbk(dir, "nch.str", "甲\r\n乙\r\n丙\r\n丁\r\n");
        writeGbk(dir, "sng.str", "一\r\n二\r\n");
        NewsTab tab;
        showTab(tab);
        QVERIFY(QTest::qWaitForWindowExposed(&tab));
        NewsGrid* grid = tab.newsLists();
        QTableWidget* table = tab.newsGrid();
        const ListSources sources{.serverReached = false,
                                  .serverRoot = "",
                                  .fetch = nullptr,
                                  .workFolder = dir.path().toStdString()};
        loadOnWorkers(grid, sources, sources);

        const GridPicture picture(table);
        QCOMPARE(picture.image().size(), table->viewport()->size()); // one pixel per point
        QCOMPARE(picture.background(1), kHeaderBack);
        QCOMPARE(picture.background(12), kHeaderBack);
        QCOMPARE(picture.background(3), kBlueShade);
        QCOMPARE(picture.background(11), kBlueShade);
        QCOMPARE(picture.background(14), kRoseShade);
        const QColor plain = picture.background(4);
        QVERIFY(plain != kBlueShade && plain != kHeaderBack && plain != kRoseShade);
        QCOMPARE(picture.background(13), plain);

        for (int row : {1, 3, 12, 14}) {
            QVERIFY2(picture.framed(row), qPrintable(QStringLiteral("row %1").arg(row)));
        }
        for (int row : {4, 13}) {
            QVERIFY2(picture.unframed(row), qPrintable(QStringLiteral("row %1").arg(row)));
        }

        // Start-up empties the table's items; the headers keep their look regardless.
        table->clearContents();
        const GridPicture cleared(table);
        QCOMPARE(cleared.background(1), kHeaderBack);
        QVERIFY(cleared.framed(1));
    }

    void countdownLocksBothLinks() {
        NewsTab tab;
        QLabel trade(zorvast::info::ui::linkText(q("刷新")));
        const zorvast::info::RefreshLinks links = tab.refreshLinks(&trade);
        QLabel* news = tab.refreshLink();

        links.setEnabled(false); // the click's first step, on the window thread
        QVERIFY(!news->isEnabled());
        QVERIFY(!trade.isEnabled());

        GatedClock clock;
        std::thread worker([&] { zorvast::info::refreshCountdown(clock, links); });
        for (int left = 9; left >= 0; --left) {
            clock.reached.acquire();
            QCoreApplication::sendPostedEvents();
            QCOMPARE(news->text(),
                     zorvast::info::ui::linkText(QStringLiteral("稍等...(%1)").arg(left)));
            QCOMPARE(trade.text(), zorvast::info::ui::linkText(QStringLiteral("稍等%1").arg(left)));
            QVERIFY(!news->isEnabled());
            QVERIFY(!trade.isEnabled());
            clock.proceed.release();
        }
        worker.join();
        QCoreApplication::sendPostedEvents();
        QCOMPARE(clock.sleeps, std::vector<std::chrono::milliseconds>(10, std::chrono::seconds(1)));
        QCOMPARE(news->text(), zorvast::info::ui::linkText(q("刷新数据")));
        QCOMPARE(trade.text(), zorvast::info::ui::linkText(q("刷新")));
        QVERIFY(news->isEnabled());
        QVERIFY(trade.isEnabled());
    }
};

QTEST_MAIN(NewsGridTest)
#include "NewsGridTest.moc"
