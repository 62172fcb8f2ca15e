// The news tab's grid, offscreen: the header look from the start, loads from worker threads
// (and on the window thread) ending with the right texts, colours, bold headers and frames,
// what is actually painted, and the refresh links' countdown.
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
#include <semaphore>
#include <string>
#include <thread>
#include <vector>

using zorvast::common::toGbk;
using zorvast::info::ListKind;
using zorvast::info::ListSources;
using zorvast::info::loadList;
using zorvast::info::ui::NewsGrid;
using zorvast::info::ui::NewsRowStyle;
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
        const NewsRowStyle header{kHeaderBack, kHeaderText, true, true};
        for (int row = 1; row <= 19; ++row) {
            const bool isHeader = row == 1 || row == 12;
            QVERIFY2(grid->rowStyle(row) == (isHeader ? header : NewsRowStyle{}),
                     qPrintable(QStringLiteral("row %1").arg(row)));
        }
        for (int column = 0; column < 2; ++column) {
            for (int row : {0, 11}) {
                const QTableWidgetItem* item = tab.newsGrid()->item(row, column);
                QVERIFY(item);
                QCOMPARE(item->background().color(), kHeaderBack);
                QCOMPARE(item->foreground().color(), kHeaderText);
                QVERIFY(item->font().bold());
                QVERIFY(item->data(NewsGrid::FramedRole).toBool());
            }
            const QTableWidgetItem* entry = tab.newsGrid()->item(2, column);
            QVERIFY(entry);
            QVERIFY(!entry->data(Qt::BackgroundRole).isValid());
            QVERIFY(!entry->font().bold());
            QVERIFY(!entry->data(NewsGrid::FramedRole).toBool());
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
        NewsGrid* grid = tab.newsLists();
        const std::filesystem::path folder = dir.path().toStdString();
        ListSources latest{false, "http://server.test/", nullptr, folder};
        ListSources sng{true, "http://server.test/",
                        [&](const std::string& url) {
                            return url == "http://server.test/sng.htm" ? sngPage : std::string();
                        },
                        folder};
        loadOnWorkers(grid, latest, sng);

        QCOMPARE(grid->cellText(1, 1), QString());
        QCOMPARE(grid->cellText(1, 2), q("最新频道资讯："));
        for (int row = 2; row <= 11; ++row) {
            const QString expected =
                row == 3 ? q(" 无信息...") : QStringLiteral("频道%1").arg(row - 1);
            QCOMPARE(grid->cellText(row, 1), q("☆"));
            QCOMPARE(grid->cellText(row, 2), expected);
            QCOMPARE(tab.newsGrid()->item(row - 1, 1)->text(), expected);
        }
        QCOMPARE(grid->cellText(12, 2), q("§最新临传(SNG)讯号：（随时出现或消失）"));
        const QStringList sngTexts = {q("临传一"), q("临传二"), q("临传三"), q("￣"),
                                      q("无信息...")};
        for (int row = 13; row <= 17; ++row) {
            QCOMPARE(grid->cellText(row, 1), q("◇"));
            QCOMPARE(grid->cellText(row, 2), sngTexts[row - 13]);
        }
        for (int row = 18; row <= 19; ++row) {
            QCOMPARE(grid->cellText(row, 1), QString());
            QCOMPARE(grid->cellText(row, 2), QString());
        }

        // Headers unchanged by the loads; every second entry row shaded and framed.
        const NewsRowStyle header{kHeaderBack, kHeaderText, true, true};
        QVERIFY(grid->rowStyle(1) == header);
        QVERIFY(grid->rowStyle(12) == header);
        for (int row = 2; row <= 19; ++row) {
            if (row == 12) {
                continue;
            }
            NewsRowStyle expected;
            if (row <= 11 && row % 2 == 1) {
                expected = {kBlueShade, std::nullopt, false, true};
            } else if (row == 14 || row == 16) {
                expected = {kRoseShade, std::nullopt, false, true};
            }
            QVERIFY2(grid->rowStyle(row) == expected,
                     qPrintable(QStringLiteral("row %1").arg(row)));
            for (int column = 0; column < 2; ++column) {
                const QTableWidgetItem* item = tab.newsGrid()->item(row - 1, column);
                QVERIFY(item);
                QCOMPARE(item->data(NewsGrid::FramedRole).toBool(), expected.framed);
                if (expected.background) {
                    QCOMPARE(item->background().color(), *expected.background);
                } else {
                    QVERIFY(!item->data(Qt::BackgroundRole).isValid());
                }
                QVERIFY(!item->font().bold());
            }
        }
        for (int row : {0, 11}) {
            QVERIFY(tab.newsGrid()->item(row, 1)->font().bold());
        }
    }

    void missingCacheEndsWithFillers() {
        QTemporaryDir dir; // empty: neither list has a cache
        NewsTab tab;
        NewsGrid* grid = tab.newsLists();
        const ListSources sources{false, "", nullptr, dir.path().toStdString()};
        loadOnWorkers(grid, sources, sources);
        for (int row = 2; row <= 11; ++row) {
            QCOMPARE(grid->cellText(row, 2), q(" 无信息..."));
        }
        for (int row = 13; row <= 17; ++row) {
            QCOMPARE(grid->cellText(row, 2), q("无信息..."));
        }
    }

    // The deferred tick and the refresh link load on the window thread: no event loop needed.
    void windowThreadLoadAppliesAtOnce() {
        QTemporaryDir dir;
        writeGbk(dir, "nch.str", "本地\r\n");
        NewsTab tab;
        NewsGrid* grid = tab.newsLists();
        auto sink = grid->makeSink();
        loadList(ListKind::LatestChannels, {false, "", nullptr, dir.path().toStdString()}, *sink);
        QCOMPARE(grid->cellText(2, 2), q("本地"));
        QCOMPARE(grid->cellText(3, 2), q(" 无信息..."));
        QVERIFY(grid->rowStyle(3).framed);
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
        tab.resize(1200, 760);
        tab.show();
        QVERIFY(QTest::qWaitForWindowExposed(&tab));
        NewsGrid* grid = tab.newsLists();
        QTableWidget* table = tab.newsGrid();
        const ListSources sources{false, "", nullptr, dir.path().toStdString()};
        loadOnWorkers(grid, sources, sources);

        auto snapshot = [table] {
            return table->viewport()->grab().toImage();
        };
        auto cell = [table](int row, int column) {
            return table->visualRect(table->model()->index(row - 1, column - 1));
        };
        // A point in column 2, right of any short text.
        auto back = [&](int row) {
            const QRect r = cell(row, 2);
            return QPoint(r.right() - 4, r.center().y());
        };
        auto top = [&](int row) {
            const QRect r = cell(row, 2);
            return QPoint(r.right() - 4, r.top());
        };
        auto left = [&](int row) {
            const QRect r = cell(row, 1);
            return QPoint(r.left(), r.center().y());
        };

        QImage image = snapshot();
        QCOMPARE(image.size(), table->viewport()->size()); // one pixel per point offscreen
        QCOMPARE(pixelAt(image, back(1)), kHeaderBack);
        QCOMPARE(pixelAt(image, back(12)), kHeaderBack);
        QCOMPARE(pixelAt(image, back(3)), kBlueShade);
        QCOMPARE(pixelAt(image, back(11)), kBlueShade);
        QCOMPARE(pixelAt(image, back(14)), kRoseShade);
        const QColor plain = pixelAt(image, back(4));
        QVERIFY(plain != kBlueShade && plain != kHeaderBack && plain != kRoseShade);
        QCOMPARE(pixelAt(image, back(13)), plain);

        const QColor frame = NewsGrid::frameColour();
        for (int row : {1, 3, 12, 14}) {
            QCOMPARE(pixelAt(image, top(row)), frame);
            QCOMPARE(pixelAt(image, left(row)), frame);
        }
        for (int row : {4, 13}) {
            QVERIFY(pixelAt(image, top(row)) != frame);
            QVERIFY(pixelAt(image, left(row)) != frame);
        }

        // Start-up empties the table's items; the headers keep their look regardless.
        table->clearContents();
        image = snapshot();
        QCOMPARE(pixelAt(image, back(1)), kHeaderBack);
        QCOMPARE(pixelAt(image, top(1)), frame);
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
