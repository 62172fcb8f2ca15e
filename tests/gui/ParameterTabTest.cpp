// The parameter tab's query, searches, exports and details with the real controls, offscreen,
// against a small channel database written for the test.
#include "channels/ui/ParameterTab.h"
#include "channels/query/Selection.h"
#include "channels/query/TableExport.h"
#include "channels/store/DatabaseStore.h"
#include "channels/ui/ParameterController.h"
#include "channels/ui/ResultGrid.h"
#include "common/Clock.h"
#include "common/Files.h"
#include "common/Text.h"
#include "support/ChannelFixture.h"
#include "support/SatTableSample.h"
#include "support/TempFolder.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <set>
#include <thread>
#include <vector>

using namespace zorvast;
using channels::ui::ParameterController;
using channels::ui::ParameterTab;

namespace {

struct Message {
    QString caption;
    QString text;
};

struct Bench {
    zorvast::testing::TempFolder temp;
    common::ManualClock clock;
    channels::store::StorePaths paths;
    std::unique_ptr<channels::store::DatabaseStore> store;
    ParameterTab tab;
    std::vector<Message> messages;
    std::string status;
    std::string progress;
    std::optional<std::filesystem::path> saveTo;
    bool ended = false;
    std::function<void(int)> onProgressMaximum;
    std::function<void(int)> onProgressValue;
    std::unique_ptr<ParameterController> controller;

    explicit Bench(const jetwriter::Table& channels = zorvast::testing::channelTable()) {
        paths = channels::store::storePathsFor(temp.path() / "tmp/", temp.path());
        std::filesystem::create_directories(paths.workFolder);
        common::writeFileBytes(paths.storedFile, zorvast::testing::storedDatabase({channels}));
        store = std::make_unique<channels::store::DatabaseStore>(paths, clock);
        tab.satelliteList()->addItems({QStringLiteral("E115.5（中星6B）"),
                                       QStringLiteral("E125（中星6A）"),
                                       QStringLiteral("E12（短）")});
        // As the start-up fills them.
        fill(tab.bandFilter(), channels::choiceItems<channels::Band>());
        fill(tab.polarisationFilter(), channels::choiceItems<channels::Polarisation>());
        fill(tab.accessFilter(), channels::choiceItems<channels::Access>());
        fill(tab.formatFilter(), channels::choiceItems<channels::ProgrammeKind>());
        tab.providerList()->addItems(
            {QStringLiteral("中央电视台"), QStringLiteral("X's"), QStringLiteral("没有节目")});
        channels::ui::ParameterDependencies deps;
        deps.store = store.get();
        deps.setStatusText = [this](const std::string& text) {
            status = text;
        };
        deps.statusText = [this] {
            return status;
        };
        deps.setProgressText = [this](const std::string& text) {
            progress = text;
        };
        deps.endProgram = [this] {
            ended = true;
        };
        deps.setProgressMaximum = [this](int maximum) {
            if (onProgressMaximum) {
                onProgressMaximum(maximum);
            }
        };
        deps.setProgressValue = [this](int value) {
            if (onProgressValue) {
                onProgressValue(value);
            }
        };
        deps.showMessage = [this](const std::string& caption, const std::string& text) {
            messages.push_back({QString::fromStdString(caption), QString::fromStdString(text)});
        };
        deps.askSaveFile = [this] {
            return saveTo;
        };
        controller = std::make_unique<ParameterController>(&tab, std::move(deps));
        tab.resize(900, 600);
        tab.show();
        exposed = QTest::qWaitForWindowExposed(&tab);
    }

    static void fill(QComboBox* list, const channels::ChoiceItems& items) {
        for (std::string_view label : items.labels) {
            list->addItem(QString::fromUtf8(label.data(), static_cast<qsizetype>(label.size())));
        }
        list->setCurrentIndex(items.initial);
    }

    QString cell(int row, int column) const {
        return QString::fromStdString(tab.resultGrid()->content().text(row, column));
    }
    int rows() const { return tab.resultGrid()->content().rowCount(); }
    // Column 4 of every channel row, top to bottom.
    QStringList channelNames() const {
        QStringList names;
        const channels::GridContent& grid = tab.resultGrid()->content();
        for (int row = 2; row <= grid.rowCount(); ++row) {
            if (channels::rowKindOf(grid.text(row, 1)) == channels::RowKind::Channel &&
                !grid.text(row, 4).empty()) {
                names << QString::fromStdString(grid.text(row, 4));
            }
        }
        return names;
    }
    QString lastCaption() const { return messages.empty() ? QString() : messages.back().caption; }

    bool exposed = false;
};

// What the user does: click, type, pick with the keyboard.
void click(QAbstractButton* button) {
    QTest::mouseClick(button, Qt::LeftButton);
}

// Replaces the box's text by typing; characters beyond Latin-1 arrive as key events that carry
// their text, as an input method delivers them.
void typeInto(QLineEdit* edit, const QString& text) {
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(edit, Qt::Key_Backspace);
    for (const QChar c : text) {
        if (c.unicode() < 0x80) {
            QTest::keyClick(edit, c.toLatin1());
        } else {
            QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(c), Qt::NoModifier);
        }
    }
}

// Picks the item with the keyboard: to the top, then down to it.
bool choose(QComboBox* list, const QString& item) {
    const int index = list->findText(item);
    if (index < 0) {
        return false;
    }
    QTest::keyClick(list, Qt::Key_Home);
    for (int i = 0; i < index; ++i) {
        QTest::keyClick(list, Qt::Key_Down);
    }
    return list->currentText() == item;
}

void clickCell(channels::ui::ResultGrid* grid, int row, int column) {
    const QModelIndex index = grid->model()->index(row - 1, column - 1);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(index).center());
}

// The values a progress bar showed each time it painted.
class PaintedValues : public QObject {
public:
    explicit PaintedValues(QProgressBar* bar) : bar_(bar) { bar->installEventFilter(this); }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == bar_ && event->type() == QEvent::Paint) {
            values.push_back(bar_->value());
        }
        return false;
    }
    std::vector<int> values;

private:
    QProgressBar* bar_;
};

} // namespace

class ParameterTabTest : public QObject {
    Q_OBJECT
private slots:
    void aCombinedQueryFillsTheGrid() {
        Bench b;
        QVERIFY(b.exposed);
        click(b.tab.showResultsButton());
        // "所有电视" leaves the radio row out: three channels, header, no filler.
        QCOMPARE(b.rows(), 4);
        QCOMPARE(b.cell(1, 4), QStringLiteral("频 道 名"));
        QCOMPARE(b.cell(2, 4), QStringLiteral("CCTV-1"));
        QCOMPARE(b.cell(3, 4), QStringLiteral("CCTV-2"));
        QCOMPARE(b.cell(4, 4), QStringLiteral("凤凰卫视(高清)"));
        QCOMPARE(b.cell(2, 2), QStringLiteral("水平(H)"));
        QCOMPARE(b.cell(3, 5), QStringLiteral("加密"));
        QCOMPARE(b.tab.resultGrid()->rowSpan(1, 0), 2); // one transponder, two channels
        QCOMPARE(b.tab.resultGrid()->currentGridRow(), 2);
        QCOMPARE(b.tab.resultGrid()->currentGridColumn(), 4);
        QVERIFY(QString::fromStdString(b.status).startsWith(QStringLiteral(
            " ◎ 总计3个频道，是东经115.5度卫星，全部波段，全部极化，全部的所有电视节目。")));
        QCOMPARE(QString::fromStdString(b.progress), QStringLiteral("读数据完成！"));
        QVERIFY(b.tab.resultGrid()->isEnabled());
        QVERIFY(b.tab.showResultsButton()->isEnabled());
        QVERIFY(!b.store->databaseBusy());
        QVERIFY(!std::filesystem::exists(b.paths.workDatabasePath));
        QVERIFY(b.messages.empty());

        // A satellite without channels: the no-result state.
        QVERIFY(choose(b.tab.satelliteList(), QStringLiteral("E12（短）")));
        click(b.tab.showResultsButton());
        QCOMPARE(b.cell(2, 1), QStringLiteral("（无记录）"));
        QCOMPARE(QString::fromStdString(b.status),
                 QStringLiteral(" ● 没有任何记录存在，也请重新检查组合条件是否有问题！"));
    }

    // Each list picked with the keyboard narrows the rows and is named in the summary.
    void everyListNarrowsTheCombinedQuery() {
        const struct {
            const char* satellite;
            const char* band;
            const char* polarisation;
            const char* access;
            const char* format;
            QStringList names;
        } cases[] = {
            {"E115.5（中星6B）", "Ku", "全部", "全部", "全部显示", {"广播A"}},
            {"E115.5（中星6B）",
             "C",
             "全部",
             "全部",
             "全部显示",
             {"CCTV-1", "CCTV-2", "凤凰卫视(高清)"}},
            {"E115.5（中星6B）",
             "全部",
             "垂直(V)",
             "全部",
             "全部显示",
             {"凤凰卫视(高清)", "广播A"}},
            {"E115.5（中星6B）", "全部", "水平(H)", "加密", "所有电视", {"CCTV-2"}},
            {"E115.5（中星6B）", "全部", "全部", "免费", "高清电视", {"凤凰卫视(高清)"}},
            {"E115.5（中星6B）", "全部", "全部", "全部", "广播", {"广播A"}},
            {"E125（中星6A）", "全部", "全部", "全部", "高清电视", {"CCTV-1 HD(高清)"}},
            {"E125（中星6A）", "C", "水平(H)", "免费", "标清电视", {"O'Brien TV"}},
            {"E115.5（中星6B）", "Ku", "全部", "全部", "所有电视", {}},
        };
        Bench b;
        QVERIFY(b.exposed);
        for (const auto& c : cases) {
            const QString what = QStringLiteral("%1 %2 %3 %4 %5")
                                     .arg(c.satellite, c.band, c.polarisation, c.access, c.format);
            QVERIFY2(choose(b.tab.satelliteList(), c.satellite), qPrintable(what));
            QVERIFY2(choose(b.tab.bandFilter(), c.band), qPrintable(what));
            QVERIFY2(choose(b.tab.polarisationFilter(), c.polarisation), qPrintable(what));
            QVERIFY2(choose(b.tab.accessFilter(), c.access), qPrintable(what));
            QVERIFY2(choose(b.tab.formatFilter(), c.format), qPrintable(what));
            click(b.tab.showResultsButton());
            QVERIFY2(b.messages.empty(), qPrintable(what));
            QCOMPARE(b.channelNames(), c.names);
            const QString status = QString::fromStdString(b.status);
            if (c.names.isEmpty()) {
                QCOMPARE(b.cell(2, 1), QStringLiteral("（无记录）"));
                continue;
            }
            const QString said = QStringLiteral("度卫星，%1波段，%2极化，%3的%4节目。")
                                     .arg(c.band, c.polarisation, c.access, c.format);
            QVERIFY2(status.contains(said), qPrintable(what + QStringLiteral(": ") + status));
        }
    }

    void aChannelSearchListsEverySatellite() {
        Bench b;
        QVERIFY(b.exposed);
        typeInto(b.tab.channelSearchEdit(), QStringLiteral("CCTV"));
        QTest::keyClick(b.tab.channelSearchEdit(), Qt::Key_Return); // Enter searches too
        // Three channels on two satellites: header, two headings.
        QCOMPARE(b.rows(), 3 + 1 + 2);
        QCOMPARE(b.cell(2, 1), QStringLiteral("★ E115.5【中星6B】："));
        QCOMPARE(b.cell(5, 1), QStringLiteral("★ E125【中星6A】："));
        QCOMPARE(b.cell(6, 4), QStringLiteral("CCTV-1 HD(高清)"));
        QCOMPARE(b.tab.resultGrid()->currentGridRow(), 3);
        QVERIFY(QString::fromStdString(b.status).contains(QStringLiteral("搜索【CCTV】")));
        QCOMPARE(QString::fromStdString(b.progress), QStringLiteral("搜索完成！"));

        // A quote typed into the box is matched as a character.
        typeInto(b.tab.channelSearchEdit(), QStringLiteral("O'Brien"));
        click(b.tab.channelSearchButton());
        QVERIFY(b.messages.empty());
        QCOMPARE(b.cell(3, 4), QStringLiteral("O'Brien TV"));

        // "*" is no wildcard of the user's.
        typeInto(b.tab.channelSearchEdit(), QStringLiteral("C*V"));
        click(b.tab.channelSearchButton());
        QCOMPARE(b.cell(2, 1), QStringLiteral("（没有找到任何记录）"));

        // Chinese text, typed.
        typeInto(b.tab.channelSearchEdit(), QStringLiteral("凤凰"));
        click(b.tab.channelSearchButton());
        QCOMPARE(b.channelNames(), QStringList{QStringLiteral("凤凰卫视(高清)")});
    }

    // On a slow machine the rows come in slowly: the window still gets its events (a timer
    // fires, a pending repaint of the progress bar happens) on the way, not only once the whole
    // result is there.
    void theWindowKeepsItsEventsWhileALongResultIsRead() {
        Bench b(zorvast::testing::satTableSample(3000));
        QVERIFY(b.exposed);
        QProgressBar bar;
        bar.resize(300, 24);
        bar.show();
        QVERIFY(QTest::qWaitForWindowExposed(&bar));
        PaintedValues painted(&bar);
        int maximum = -1;
        int current = 0;
        std::vector<int> ticksAt; // the progress value each time the timer fired
        QTimer timer;
        timer.setInterval(5);
        QObject::connect(&timer, &QTimer::timeout, [&] { ticksAt.push_back(current); });
        b.onProgressMaximum = [&](int value) {
            maximum = value;
            bar.setMaximum(value);
        };
        b.onProgressValue = [&](int value) {
            current = value;
            bar.setValue(value);
            bar.update(); // a repaint that only happens when events run
            if (value % 50 == 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(4));
            }
        };
        typeInto(b.tab.channelSearchEdit(), QStringLiteral("CCTV-"));
        timer.start();
        click(b.tab.channelSearchButton());
        timer.stop();
        QVERIFY(QString::fromStdString(b.status).startsWith(QStringLiteral(" ◎ 共找到")));
        QVERIFY(maximum > 300);
        QCOMPARE(bar.value(), maximum);
        auto during = [maximum](const std::vector<int>& values) {
            return std::count_if(values.begin(), values.end(),
                                 [maximum](int v) { return v > 0 && v < maximum; });
        };
        QVERIFY2(
            during(ticksAt) >= 2,
            qPrintable(QStringLiteral("%1 timer events during the read").arg(during(ticksAt))));
        QVERIFY(during(painted.values) >= 2);
    }

    void aShortSearchTextIsRefused() {
        Bench b;
        QVERIFY(b.exposed);
        const struct {
            const char* typed;
            const char* message;
        } cases[] = {
            {"", "输入的频道名不能为空！"},
            {"ab", "输入的频道名太短，请重新输入！\r\n（不能小于3个字母或2个汉字）"},
            {"卫", "输入的频道名太短，请重新输入！\r\n（不能小于3个字母或2个汉字）"},
            {"abcdefghijklmnopqrstuvwxyzabcdefghijklmnopqrstuvwxyz",
             "输入的频道名太长，请重新输入！\r\n（不能大于50个字母或25个汉字）"},
        };
        const int overviewRows = b.rows();
        for (const auto& c : cases) {
            b.messages.clear();
            typeInto(b.tab.channelSearchEdit(), QString::fromUtf8(c.typed));
            click(b.tab.channelSearchButton());
            QCOMPARE(b.messages.size(), std::size_t{1});
            QCOMPARE(b.messages[0].caption, QStringLiteral("输入错误"));
            QCOMPARE(b.messages[0].text, QString::fromUtf8(c.message));
            QVERIFY(b.tab.channelSearchEdit()->text().isEmpty());
            QVERIFY(b.tab.channelSearchButton()->isEnabled());
            // Nothing was read: the grid and the status line stay as they were.
            QCOMPARE(b.rows(), overviewRows);
            QVERIFY(b.status.empty());
        }
    }

    void aProviderSearch() {
        Bench b;
        QVERIFY(b.exposed);
        click(b.tab.providerShowResultsButton());
        QCOMPARE(b.cell(2, 1), QStringLiteral("★ E115.5【中星6B】："));
        QVERIFY(QString::fromStdString(b.status).contains(QStringLiteral("叫【中央电视台】")));
        QCOMPARE(b.rows(), 4 + 2 + 1);

        QVERIFY(choose(b.tab.providerList(), QStringLiteral("X's"))); // a name with a quote
        click(b.tab.providerShowResultsButton());
        QCOMPARE(b.cell(3, 4), QStringLiteral("O'Brien TV"));

        QVERIFY(choose(b.tab.providerList(), QStringLiteral("没有节目")));
        click(b.tab.providerShowResultsButton());
        QCOMPARE(b.cell(2, 1), QStringLiteral("（无记录）"));
    }

    void theTableIsExportedAndARowCopied() {
        Bench b;
        QVERIFY(b.exposed);
        // The overview has nothing to give.
        click(b.tab.exportTableButton());
        QCOMPARE(b.lastCaption(), QStringLiteral("保存失败"));
        click(b.tab.copyTableButton());
        QCOMPARE(b.lastCaption(), QStringLiteral("复制失败"));
        click(b.tab.copyRowButton());
        QCOMPARE(b.lastCaption(), QStringLiteral("失败"));

        click(b.tab.showResultsButton());
        b.saveTo = b.temp.path() / "table.txt";
        click(b.tab.exportTableButton());
        QCOMPARE(b.lastCaption(), QStringLiteral("保存成功"));
        const std::string expected =
            channels::finalTableText(b.tab.resultGrid()->content(), b.status);
        QCOMPARE(common::readFileBytes(*b.saveTo).value_or(""), common::toGbk(expected).bytes);
        QVERIFY(QString::fromStdString(expected).contains(
            QStringLiteral("┃03840┃水平(H)┃27500┃CCTV-1[免费]，CCTV-2[加密]")));

        b.saveTo = b.temp.path() / "missing" / "table.txt";
        click(b.tab.exportTableButton());
        QCOMPARE(b.lastCaption(), QStringLiteral("保存失败"));
        QVERIFY(b.messages.back().text.startsWith(QStringLiteral("无法写入文件：")));

        b.saveTo.reset();
        click(b.tab.exportTableButton());
        QCOMPARE(b.messages.back().text, QStringLiteral("文件名不能为空，请重新填写。"));

        click(b.tab.copyTableButton());
        QCOMPARE(b.lastCaption(), QStringLiteral("复制成功"));
        QCOMPARE(QGuiApplication::clipboard()->text(), QString::fromStdString(expected));

        // After a search the copied row names the satellite of its heading.
        typeInto(b.tab.channelSearchEdit(), QStringLiteral("CCTV"));
        click(b.tab.channelSearchButton());
        clickCell(b.tab.resultGrid(), 6, 4);
        click(b.tab.copyRowButton());
        QCOMPARE(b.lastCaption(), QStringLiteral("成功"));
        QVERIFY(QGuiApplication::clipboard()->text().contains(
            QStringLiteral("所在卫星：E125（中星6A）卫星")));
    }

    void aCellChoiceShowsDetailsOrPicksTheSatellite() {
        Bench b;
        QVERIFY(b.exposed);
        typeInto(b.tab.channelSearchEdit(), QStringLiteral("CCTV"));
        click(b.tab.channelSearchButton());
        clickCell(b.tab.resultGrid(), 3, 4);
        QVERIFY(b.tab.detailText()->text().startsWith(
            QStringLiteral("频率：3840(Mhz/兆赫),极化：水平(H)")));
        clickCell(b.tab.resultGrid(), 3, 1);
        QVERIFY(b.tab.detailText()->text().endsWith(QStringLiteral("  一组")));
        clickCell(b.tab.resultGrid(), 5, 1);
        QCOMPARE(b.tab.satelliteList()->currentText(), QStringLiteral("E125（中星6A）"));
        // The whole row, or only the name and access columns.
        clickCell(b.tab.resultGrid(), 6, 4);
        QCOMPARE(b.tab.resultGrid()->selectionModel()->selectedIndexes().size(), 2);
        clickCell(b.tab.resultGrid(), 6, 2);
        QCOMPARE(b.tab.resultGrid()->selectionModel()->selectedIndexes().size(), 5);
    }

    void aBusyDatabaseAbandonsTheQuery() {
        Bench b;
        QVERIFY(b.exposed);
        const int overviewRows = b.rows();
        b.store->databaseBusy() = true;
        click(b.tab.showResultsButton());
        QCOMPARE(b.lastCaption(), QStringLiteral("错误116"));
        QCOMPARE(b.messages.back().text, QStringLiteral("上一次数据访问未完成，稍候请再重试。"));
        QCOMPARE(b.rows(), overviewRows);
        typeInto(b.tab.channelSearchEdit(), QStringLiteral("CCTV"));
        click(b.tab.channelSearchButton());
        QCOMPARE(b.lastCaption(), QStringLiteral("错误106"));
        QCOMPARE(b.rows(), overviewRows);
        QVERIFY(!b.ended);

        // No stored file: the fatal path cleans up and ends the program.
        b.store->databaseBusy() = false;
        std::filesystem::remove(b.paths.storedFile);
        click(b.tab.providerShowResultsButton());
        QCOMPARE(b.lastCaption(), QStringLiteral("错误104"));
        QCOMPARE(b.messages.back().text,
                 QStringLiteral("读数据发生错误，软件将退出！请重新下载后再重试。"));
        QVERIFY(b.ended);
    }
};

QTEST_MAIN(ParameterTabTest)
#include "ParameterTabTest.moc"
