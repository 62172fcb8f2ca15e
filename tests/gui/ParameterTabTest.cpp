// The parameter tab's query, searches, exports and details with the real controls, offscreen,
// against a small channel database written for the test.
#include "channels/ui/ParameterTab.h"
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
        tab.bandFilter()->addItems({"全部", "Ku", "C"});
        tab.polarisationFilter()->addItems({"全部", "水平(H)", "垂直(V)"});
        tab.accessFilter()->addItems({"全部", "免费", "加密"});
        tab.formatFilter()->addItems(
            {"全部显示", "所有电视", "标清电视", "高清电视", "测试或临传", "广播", "数据"});
        tab.formatFilter()->setCurrentIndex(1);
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
    }

    QString cell(int row, int column) const {
        return QString::fromStdString(tab.resultGrid()->content().text(row, column));
    }
    int rows() const { return tab.resultGrid()->content().rowCount(); }
};

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
        b.tab.showResultsButton()->click();
        QCOMPARE(b.controller->lastOutcome(), channels::QueryOutcome::Shown);
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

        // A satellite without channels: the no-result state.
        b.tab.satelliteList()->setCurrentIndex(2);
        b.tab.showResultsButton()->click();
        QCOMPARE(b.cell(2, 1), QStringLiteral("（无记录）"));
        QCOMPARE(QString::fromStdString(b.status),
                 QStringLiteral(" ● 没有任何记录存在，也请重新检查组合条件是否有问题！"));
    }

    void aChannelSearchListsEverySatellite() {
        Bench b;
        b.tab.channelSearchEdit()->setText(QStringLiteral("CCTV"));
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
        b.tab.channelSearchEdit()->setText(QStringLiteral("O'Brien"));
        b.tab.channelSearchButton()->click();
        QVERIFY(b.messages.empty());
        QCOMPARE(b.cell(3, 4), QStringLiteral("O'Brien TV"));

        // "*" is no wildcard of the user's.
        b.tab.channelSearchEdit()->setText(QStringLiteral("C*V"));
        b.tab.channelSearchButton()->click();
        QCOMPARE(b.cell(2, 1), QStringLiteral("（没有找到任何记录）"));
    }

    // On a slow machine the rows come in slowly: the window still gets its events (a timer
    // fires, a pending repaint of the progress bar happens) on the way, not only once the whole
    // result is there.
    void theWindowKeepsItsEventsWhileALongResultIsRead() {
        Bench b(zorvast::testing::satTableSample(3000));
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
        timer.start();
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
        b.tab.channelSearchEdit()->setText(QStringLiteral("CCTV-"));
        b.tab.channelSearchButton()->click();
        timer.stop();
        QCOMPARE(b.controller->lastOutcome(), channels::QueryOutcome::Shown);
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
        const struct {
            const char* typed;
            const char* message;
        } cases[] = {
            {"", "输入的频道名不能为空！"},
            {"ab", "输入的频道名太短，请重新输入！\r\n（不能小于3个字母或2个汉字）"},
            {"卫", "输入的频道名太短，请重新输入！\r\n（不能小于3个字母或2个汉字）"},
        };
        for (const auto& c : cases) {
            b.messages.clear();
            b.tab.channelSearchEdit()->setText(QString::fromUtf8(c.typed));
            b.tab.channelSearchButton()->click();
            QCOMPARE(b.messages.size(), std::size_t{1});
            QCOMPARE(b.messages[0].caption, QStringLiteral("输入错误"));
            QCOMPARE(b.messages[0].text, QString::fromUtf8(c.message));
            QVERIFY(b.tab.channelSearchEdit()->text().isEmpty());
            QCOMPARE(b.controller->lastOutcome(), channels::QueryOutcome::InputRefused);
        }
    }

    void aProviderSearch() {
        Bench b;
        b.tab.providerShowResultsButton()->click();
        QCOMPARE(b.cell(2, 1), QStringLiteral("★ E115.5【中星6B】："));
        QVERIFY(QString::fromStdString(b.status).contains(QStringLiteral("叫【中央电视台】")));
        QCOMPARE(b.rows(), 4 + 2 + 1);

        b.tab.providerList()->setCurrentIndex(1); // a name with a quote
        b.tab.providerShowResultsButton()->click();
        QCOMPARE(b.cell(3, 4), QStringLiteral("O'Brien TV"));

        b.tab.providerList()->setCurrentIndex(2);
        b.tab.providerShowResultsButton()->click();
        QCOMPARE(b.cell(2, 1), QStringLiteral("（无记录）"));
    }

    void theTableIsExportedAndARowCopied() {
        Bench b;
        // The overview has nothing to give.
        b.tab.exportTableButton()->click();
        QCOMPARE(b.messages.back().caption, QStringLiteral("保存失败"));
        b.tab.copyTableButton()->click();
        QCOMPARE(b.messages.back().caption, QStringLiteral("复制失败"));
        b.tab.copyRowButton()->click();
        QCOMPARE(b.messages.back().caption, QStringLiteral("失败"));

        b.tab.showResultsButton()->click();
        b.saveTo = b.temp.path() / "table.txt";
        b.tab.exportTableButton()->click();
        QCOMPARE(b.messages.back().caption, QStringLiteral("保存成功"));
        const std::string expected =
            channels::finalTableText(b.tab.resultGrid()->content(), b.status);
        QCOMPARE(common::readFileBytes(*b.saveTo).value_or(""), common::toGbk(expected).bytes);
        QVERIFY(QString::fromStdString(expected).contains(
            QStringLiteral("┃03840┃水平(H)┃27500┃CCTV-1[免费]，CCTV-2[加密]")));

        b.saveTo = b.temp.path() / "missing" / "table.txt";
        b.tab.exportTableButton()->click();
        QCOMPARE(b.messages.back().caption, QStringLiteral("保存失败"));
        QVERIFY(b.messages.back().text.startsWith(QStringLiteral("无法写入文件：")));

        b.saveTo.reset();
        b.tab.exportTableButton()->click();
        QCOMPARE(b.messages.back().text, QStringLiteral("文件名不能为空，请重新填写。"));

        b.tab.copyTableButton()->click();
        QCOMPARE(b.messages.back().caption, QStringLiteral("复制成功"));
        QCOMPARE(QGuiApplication::clipboard()->text(), QString::fromStdString(expected));

        // After a search the copied row names the satellite of its heading.
        b.tab.channelSearchEdit()->setText(QStringLiteral("CCTV"));
        b.tab.channelSearchButton()->click();
        b.tab.resultGrid()->setCurrentGridCell(6, 4);
        b.tab.copyRowButton()->click();
        QCOMPARE(b.messages.back().caption, QStringLiteral("成功"));
        QVERIFY(QGuiApplication::clipboard()->text().contains(
            QStringLiteral("所在卫星：E125（中星6A）卫星")));
    }

    void aCellChoiceShowsDetailsOrPicksTheSatellite() {
        Bench b;
        b.tab.channelSearchEdit()->setText(QStringLiteral("CCTV"));
        b.tab.channelSearchButton()->click();
        b.tab.resultGrid()->setCurrentGridCell(3, 4);
        QVERIFY(b.tab.detailText()->text().startsWith(
            QStringLiteral("频率：3840(Mhz/兆赫),极化：水平(H)")));
        b.tab.resultGrid()->setCurrentGridCell(3, 1);
        QVERIFY(b.tab.detailText()->text().endsWith(QStringLiteral("  一组")));
        b.tab.resultGrid()->setCurrentGridCell(5, 1);
        QCOMPARE(b.tab.satelliteList()->currentText(), QStringLiteral("E125（中星6A）"));
        // The whole row, or only the name and access columns.
        b.tab.resultGrid()->setCurrentGridCell(6, 4);
        QCOMPARE(b.tab.resultGrid()->selectionModel()->selectedIndexes().size(), 2);
        b.tab.resultGrid()->setCurrentGridCell(6, 2);
        QCOMPARE(b.tab.resultGrid()->selectionModel()->selectedIndexes().size(), 5);
    }

    void aBusyDatabaseAbandonsTheQuery() {
        Bench b;
        b.store->databaseBusy() = true;
        b.tab.showResultsButton()->click();
        QCOMPARE(b.controller->lastOutcome(), channels::QueryOutcome::Busy);
        QCOMPARE(b.messages.back().caption, QStringLiteral("错误116"));
        QCOMPARE(b.messages.back().text, QStringLiteral("上一次数据访问未完成，稍候请再重试。"));
        b.tab.channelSearchEdit()->setText(QStringLiteral("CCTV"));
        b.tab.channelSearchButton()->click();
        QCOMPARE(b.messages.back().caption, QStringLiteral("错误106"));

        // No stored file: the fatal path cleans up and ends the program.
        b.store->databaseBusy() = false;
        std::filesystem::remove(b.paths.storedFile);
        b.tab.providerShowResultsButton()->click();
        QCOMPARE(b.messages.back().caption, QStringLiteral("错误104"));
        QVERIFY(b.ended);
        QCOMPARE(b.controller->lastOutcome(), channels::QueryOutcome::Fatal);
    }
};

QTEST_MAIN(ParameterTabTest)
#include "ParameterTabTest.moc"
