#include "shell/ui/MainWindow.h"
#include "channels/ui/ParameterTab.h"
#include "channels/ui/ResultGrid.h"
#include "info/ui/CommunityTab.h"
#include "info/ui/NewsTab.h"
#include "info/ui/PageTab.h"
#include "info/ui/TradeTab.h"
#include "info/ui/WebPageView.h"
#include "pointing/ui/PointingTab.h"
#include "update/ui/DownloadWindow.h"

#include <array>

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextDocument>
#include <QToolButton>
#include <QWebEngineSettings>
#include <QtTest>

using zorvast::shell::ui::MainWindow;

namespace {

// Every visible caption under a widget: labels (links as their plain text), buttons and
// group titles.
QStringList captionsUnder(const QWidget* root) {
    QStringList captions;
    for (const QLabel* label : root->findChildren<QLabel*>()) {
        const bool rich =
            label->textFormat() == Qt::RichText ||
            (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(label->text()));
        QTextDocument document;
        document.setHtml(label->text());
        captions << (rich ? document.toPlainText() : label->text());
    }
    for (const QAbstractButton* button : root->findChildren<QAbstractButton*>()) {
        captions << button->text();
    }
    for (const QGroupBox* group : root->findChildren<QGroupBox*>()) {
        captions << group->title();
    }
    return captions;
}

void expectCaptions(const QWidget* root, const QStringList& expected) {
    const QStringList found = captionsUnder(root);
    for (const QString& caption : expected) {
        if (!found.contains(caption)) {
            QFAIL(qPrintable(QStringLiteral("missing caption \"%1\" in %2")
                                 .arg(caption, root->metaObject()->className())));
        }
    }
}

// Switches tabs the way a user does: a click on the tab.
void clickTab(QTabWidget* tabs, int index) {
    QTabBar* bar = tabs->tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
}

void expectNonEditableLists(const QWidget* root) {
    for (const QComboBox* list : root->findChildren<QComboBox*>()) {
        QVERIFY(!list->isEditable());
    }
}

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void hasNineTabsWithTheirCaptionsAndHoverTexts() {
        const QStringList captions = {"资 讯",    "参数表",   "寻星计算", "模拟寻星", "DM500寻星",
                                      "新手教程", "技术资料", "器材交易", "交流社区"};
        const QStringList hovers = {
            "最新频道最新临传情报、业界综合资讯",
            "各卫星频率参数表、节目频道搜索",
            "方位角、仰角、极化角、信号强度、双头距离、天线口径和障碍等数值计算",
            "模拟寻星",
            "DM500寻星",
            "新手初学入门的资料、新手教程、基础知识等",
            "卫视技术资料库，含接收技术、多星技巧等",
            "器材交易交换，信息免费发布",
            "星友论坛：集星友交流讨论、星讯星闻播报、软件意见反馈等",
        };
        MainWindow window;
        QCOMPARE(window.tabs()->count(), 9);
        for (int index = 0; index < 9; ++index) {
            QCOMPARE(window.tabs()->tabText(index), captions[index]);
            QCOMPARE(window.tabs()->tabToolTip(index), hovers[index]);
        }
        QCOMPARE(window.tabs()->widget(MainWindow::NewsTabIndex), window.newsTab());
        QCOMPARE(window.tabs()->widget(MainWindow::ParameterTabIndex), window.parameterTab());
        QCOMPARE(window.tabs()->widget(MainWindow::PointingTabIndex), window.pointingTab());
        QCOMPARE(window.tabs()->widget(MainWindow::TyroTabIndex), window.tyroTab());
        QCOMPARE(window.tabs()->widget(MainWindow::DatumTabIndex), window.datumTab());
        QCOMPARE(window.tabs()->widget(MainWindow::TradeTabIndex), window.tradeTab());
        QCOMPARE(window.tabs()->widget(MainWindow::CommunityTabIndex), window.communityTab());
    }

    void simulationTabsAreHiddenAndDisabled() {
        MainWindow window;
        window.show();
        for (int index : {3, 4}) {
            QVERIFY(!window.tabs()->isTabVisible(index));
            QVERIFY(!window.tabs()->isTabEnabled(index));
        }
        for (int index : {0, 1, 2, 5, 6, 7, 8}) {
            QVERIFY(window.tabs()->isTabVisible(index));
            QVERIFY(window.tabs()->isTabEnabled(index));
        }
    }

    void fixedSizesAndTitle() {
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.size(), QSize(800, 588));
        QCOMPARE(window.minimumSize(), window.maximumSize());
        QCOMPARE(window.windowTitle(), QStringLiteral("Zorvast   [Marobi家族]"));
        QCOMPARE(window.newsBanner()->size(), QSize(642, 65));
        QCOMPARE(window.newsBanner()->pos(), QPoint(0, 0));
        QCOMPARE(window.logoButton()->size(), QSize(182, 58));
        QCOMPARE(window.logoButton()->geometry().topRight(), QPoint(799, 0));
        QVERIFY(window.logoButton()->autoRaise());
        QCOMPARE(window.tabs()->size(), QSize(796, 510));
        QCOMPARE(window.statusText()->width(), 516);
        QCOMPARE(window.versionText()->width(), 85);
        QCOMPARE(window.pageProgress()->width(), 196);
        // The status line ends at the window's bottom edge, under the tabs.
        QVERIFY(window.tabs()->geometry().bottom() < window.statusText()->geometry().top());
        QCOMPARE(window.statusText()->geometry().bottom(), 587);
        QVERIFY(window.pageProgress()->geometry().right() <= 799);
    }

    void downloadBarLiesOverThePageBarAndIsHidden() {
        MainWindow window;
        window.show();
        QVERIFY(!window.downloadProgress()->isVisible());
        QVERIFY(window.pageProgress()->isVisible());
        QVERIFY(window.pageProgress()->geometry().contains(window.downloadProgress()->geometry()));
        QVERIFY(window.downloadProgress()->height() < window.pageProgress()->height());
        QCOMPARE(window.downloadProgress()->width(), window.pageProgress()->width());
        QCOMPARE(window.pageProgress()->minimum(), 0);
        QCOMPARE(window.downloadProgress()->minimum(), 0);
    }

    void everyPartLiesInsideTheWindow() {
        MainWindow window;
        const QList<QWidget*> parts = {
            window.newsBanner(),   window.logoButton(),       window.tabs(),
            window.newsTab(),      window.parameterTab(),     window.pointingTab(),
            window.tyroTab(),      window.datumTab(),         window.tradeTab(),
            window.communityTab(), window.statusText(),       window.versionText(),
            window.pageProgress(), window.downloadProgress(),
        };
        for (const QWidget* part : parts) {
            QVERIFY(part);
            QVERIFY2(window.isAncestorOf(part), part->metaObject()->className());
        }
        // The two page tabs show their pages in views of their own.
        QVERIFY(window.tyroTab()->view());
        QVERIFY(window.datumTab()->view());
        QVERIFY(window.tyroTab()->isAncestorOf(window.tyroTab()->view()));
        QVERIFY(window.datumTab()->isAncestorOf(window.datumTab()->view()));
        QVERIFY(window.tyroTab()->view() != window.datumTab()->view());
    }

    void webViewsReadGbkByDefault() {
        MainWindow window;
        for (auto* view : window.findChildren<zorvast::info::ui::WebPageView*>()) {
            QCOMPARE(view->settings()->defaultTextEncoding(), QStringLiteral("GBK"));
        }
        QCOMPARE(window.findChildren<zorvast::info::ui::WebPageView*>().size(), 6);
    }

    // Every browser view has its render widget before the window is first shown: one that
    // came with the first page would make the shown window be re-created (it flickers and
    // falls under the splash and the other windows it owns).
    void browserViewsAreReadyBeforeTheWindowShows() {
        MainWindow window;
        const auto views = window.findChildren<zorvast::info::ui::WebPageView*>();
        QVERIFY(views.size() >= 6);
        for (const auto* view : views) {
            QVERIFY2(view->focusProxy() != nullptr,
                     qPrintable(view->parentWidget()->metaObject()->className()));
        }
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const WId before = window.winId();
        QSignalSpy loaded(window.newsBanner(), &QWebEngineView::loadFinished);
        window.newsBanner()->setHtml(QStringLiteral("<p>news</p>"));
        QVERIFY(loaded.wait(20000));
        QCOMPARE(window.winId(), before);
    }

    void newsTab() {
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        clickTab(window.tabs(), MainWindow::NewsTabIndex);
        QCOMPARE(window.tabs()->currentWidget(), window.newsTab());
        const auto* tab = window.newsTab();
        QVERIFY(tab->newsGrid());
        QVERIFY(tab->refreshLink());
        QVERIFY(tab->homeView());
        QTableWidget* grid = tab->newsGrid();
        QCOMPARE(grid->rowCount(), 19);
        QCOMPARE(grid->columnCount(), 2);
        QVERIFY(grid->horizontalHeader()->isHidden());
        QVERIFY(grid->verticalHeader()->isHidden());
        QCOMPARE(grid->editTriggers(), QAbstractItemView::NoEditTriggers);
        // Widths 47 : 984 across the whole viewport; heights 60, 84, 60, 47 in the same scale.
        QCOMPARE(grid->columnWidth(0) + grid->columnWidth(1), grid->viewport()->width());
        const double scale = grid->viewport()->width() / (47.0 + 984.0);
        QVERIFY(scale > 0.2);
        QVERIFY(qAbs(grid->columnWidth(0) - 47 * scale) <= 1.0);
        QVERIFY(qAbs(grid->rowHeight(0) - 60 * scale) <= 1.0);
        QVERIFY(qAbs(grid->rowHeight(1) - 84 * scale) <= 1.0);
        QVERIFY(qAbs(grid->rowHeight(11) - 60 * scale) <= 1.0);
        QVERIFY(qAbs(grid->rowHeight(12) - 47 * scale) <= 1.0);
        int height = 0;
        for (int row = 0; row < 19; ++row) {
            height += grid->rowHeight(row);
        }
        QVERIFY(height <= grid->viewport()->height());
        // One line per entry, shortened at the right, so no line is cut by a row's edge.
        QVERIFY(!grid->wordWrap());
        QCOMPARE(grid->textElideMode(), Qt::ElideRight);
        QVERIFY(grid->rowHeight(1) >= grid->fontMetrics().height());
        expectCaptions(tab, {"刷新数据"});
        QVERIFY(tab->refreshLink()->text().contains(QStringLiteral("<a ")));
        QVERIFY(!tab->homeView()->geometry().intersects(grid->geometry()));
    }

    void parameterTab() {
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        clickTab(window.tabs(), MainWindow::ParameterTabIndex);
        QCOMPARE(window.tabs()->currentWidget(), window.parameterTab());
        const auto* tab = window.parameterTab();
        QVERIFY(tab->satelliteList());
        QVERIFY(tab->bandFilter());
        QVERIFY(tab->polarisationFilter());
        QVERIFY(tab->accessFilter());
        QVERIFY(tab->formatFilter());
        QVERIFY(tab->showResultsButton());
        QVERIFY(tab->findSatelliteButton());
        QVERIFY(tab->moreParametersButton());
        QVERIFY(tab->providerList());
        QVERIFY(tab->providerShowResultsButton());
        QVERIFY(tab->channelSearchEdit());
        QVERIFY(tab->channelSearchButton());
        QVERIFY(tab->detailText());
        QVERIFY(tab->exportTableButton());
        QVERIFY(tab->copyTableButton());
        QVERIFY(tab->copyRowButton());
        QVERIFY(tab->resultGrid());
        expectCaptions(tab, {"组合条件：", "单项条件：", "频道搜寻：", "详细信息：", "特别功能：",
                             "卫星：", "波段：", "极化：", "权限：", "格式：", "显示结果", "寻星",
                             "更多参数", "节目提供商：", "频道名：", "搜 索", "全表到【文本文件】",
                             "全表到【剪贴板】", "所选到【剪贴板】"});
        QCOMPARE(tab->showResultsButton()->text(), QStringLiteral("显示结果"));
        QCOMPARE(tab->providerShowResultsButton()->text(), QStringLiteral("显示结果"));
        QCOMPARE(tab->channelSearchButton()->text(), QStringLiteral("搜 索"));
        QCOMPARE(tab->findSatelliteButton()->text(), QStringLiteral("寻星"));
        QCOMPARE(tab->moreParametersButton()->text(), QStringLiteral("更多参数"));
        QVERIFY(tab->detailText()->wordWrap());
        expectNonEditableLists(tab);

        zorvast::channels::ui::ResultGrid* grid = tab->resultGrid();
        grid->resizeGrid(3, 5);
        for (int column = 1; column <= 5; ++column) {
            grid->setColumnWidthUnits(column, std::array{120, 140, 130, 420, 100}[column - 1]);
        }
        QVERIFY(grid->horizontalHeader()->isHidden());
        int width = 0;
        for (int column = 0; column < 5; ++column) {
            width += grid->columnWidth(column);
        }
        QCOMPARE(width, grid->viewport()->width());
        QVERIFY(qAbs(grid->columnWidth(3) - 420 * grid->scale()) <= 1.0);
        // Merged cells are what the fills rely on.
        grid->mergeBlock({2, 1, 1, 5});
        QCOMPARE(grid->columnSpan(1, 0), 5);
    }

    void pointingTab() {
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        clickTab(window.tabs(), MainWindow::PointingTabIndex);
        QCOMPARE(window.tabs()->currentWidget(), window.pointingTab());
        const auto* tab = window.pointingTab();
        const QList<const QObject*> controls = {
            tab->satelliteList(),
            tab->provinceList(),
            tab->cityList(),
            tab->longitudeEdit(),
            tab->latitudeEdit(),
            tab->primeFeedButton(),
            tab->offsetFeedButton(),
            tab->uprightButton(),
            tab->invertedButton(),
            tab->antennaModelList(),
            tab->calculateButton(),
            tab->azimuthLabel(),
            tab->elevationLabel(),
            tab->polarisationLabel(),
            tab->strengthEdit(),
            tab->dishSizeButton(),
            tab->thresholdSizeLabel(),
            tab->recommendedSizeLabel(),
            tab->offsetSatelliteList(),
            tab->feedSpacingButton(),
            tab->horizontalCaption(),
            tab->horizontalValue(),
            tab->verticalCaption(),
            tab->verticalValue(),
            tab->spacingPolarisationValue(),
            tab->obstacleDistanceEdit(),
            tab->obstacleHeightEdit(),
            tab->antennaHeightEdit(),
            tab->clearanceButton(),
            tab->clearanceValue(),
            tab->declinationCheck(),
            tab->saveReportButton(),
            tab->copyReportButton(),
            tab->satelliteMapButton(),
            tab->strengthMapButton(),
            tab->diagramArea(),
        };
        for (const QObject* control : controls) {
            QVERIFY(control);
        }
        expectCaptions(tab, {"卫星/地区选择",
                             "角度显示",
                             "双头距离估算",
                             "天线选择",
                             "障碍测算",
                             "卫 星",
                             "省/区",
                             "市/县",
                             "天 线",
                             "正馈",
                             "偏馈",
                             "正装",
                             "倒装",
                             "型 号",
                             "计算",
                             "方位角",
                             "仰 角",
                             "极化角",
                             "强度(dBW)：",
                             "天线口径建议",
                             "门限(cm)",
                             "推荐(cm)",
                             "偏收：",
                             "偏和主焦距离估算",
                             "极化角：",
                             "障碍距离\n（米）",
                             "障碍高度\n（米）",
                             "天线高度\n（米）",
                             "可收最\n小仰角",
                             "磁偏角矫正",
                             "保存文件",
                             "复制文本",
                             "卫星图定位",
                             "场强图"});
        QCOMPARE(tab->primeFeedButton()->text(), QStringLiteral("正馈"));
        QCOMPARE(tab->offsetFeedButton()->text(), QStringLiteral("偏馈"));
        QCOMPARE(tab->uprightButton()->text(), QStringLiteral("正装"));
        QCOMPARE(tab->invertedButton()->text(), QStringLiteral("倒装"));
        QCOMPARE(tab->calculateButton()->text(), QStringLiteral("计算"));
        QCOMPARE(tab->declinationCheck()->text(), QStringLiteral("磁偏角矫正"));
        QCOMPARE(tab->obstacleDistanceEdit()->text(), QStringLiteral("40"));
        QCOMPARE(tab->obstacleHeightEdit()->text(), QStringLiteral("20"));
        QCOMPARE(tab->antennaHeightEdit()->text(), QStringLiteral("0"));
        expectNonEditableLists(tab);

        // Feed type and mounting are two separate choices.
        QTest::mouseClick(tab->primeFeedButton(), Qt::LeftButton);
        QTest::mouseClick(tab->uprightButton(), Qt::LeftButton);
        QVERIFY(tab->primeFeedButton()->isChecked());
        QVERIFY(tab->uprightButton()->isChecked());
        QTest::mouseClick(tab->offsetFeedButton(), Qt::LeftButton);
        QVERIFY(tab->offsetFeedButton()->isChecked());
        QVERIFY(!tab->primeFeedButton()->isChecked());
        QVERIFY(tab->uprightButton()->isChecked());
        QTest::mouseClick(tab->invertedButton(), Qt::LeftButton);
        QVERIFY(tab->invertedButton()->isChecked());
        QVERIFY(!tab->uprightButton()->isChecked());
        QVERIFY(tab->offsetFeedButton()->isChecked());

        // The diagram sits at (9, 215) of the tab control, wholly inside it and under the
        // groups.
        QWidget* diagram = tab->diagramArea();
        QCOMPARE(diagram->size(), QSize(777, 288));
        QCOMPARE(diagram->mapTo(window.tabs(), QPoint(0, 0)), QPoint(9, 215));
        QVERIFY(diagram->isVisible());
        const QRect inTab(diagram->mapTo(window.tabs(), QPoint(0, 0)), diagram->size());
        QVERIFY(window.tabs()->rect().contains(inTab));
        QVERIFY(tab->rect().contains(diagram->geometry()));
        for (const QWidget* child : tab->findChildren<QGroupBox*>()) {
            const QRect group(child->mapTo(tab, QPoint(0, 0)), child->size());
            QVERIFY(!group.intersects(diagram->geometry()));
        }
        const QRect row(tab->saveReportButton()->mapTo(tab, QPoint(0, 0)),
                        tab->saveReportButton()->size());
        QVERIFY(!row.intersects(diagram->geometry()));
    }

    void pageTradeAndCommunityTabs() {
        MainWindow window;
        window.show();
        QVERIFY(window.tradeTab()->view());
        QVERIFY(window.tradeTab()->refreshLink());
        QVERIFY(window.tradeTab()->postLink());
        expectCaptions(window.tradeTab(), {"刷新", "免费发布"});

        const auto* community = window.communityTab();
        QVERIFY(community->view());
        QVERIFY(community->loadingLabel());
        QVERIFY(community->quickEntryList());
        QVERIFY(community->addressEdit());
        QVERIFY(community->goButton());
        QVERIFY(community->backButton());
        QVERIFY(community->forwardButton());
        QVERIFY(community->refreshButton());
        QVERIFY(community->stopButton());
        QVERIFY(community->enlargeButton());
        expectCaptions(community, {"请稍候，正在载入...", "快速进入", "网址", "←后退", "前进→",
                                   "刷新", "停止", "放大浏览窗口"});
        QCOMPARE(community->backButton()->text(), QStringLiteral("←后退"));
        QCOMPARE(community->forwardButton()->text(), QStringLiteral("前进→"));
        QCOMPARE(community->refreshButton()->text(), QStringLiteral("刷新"));
        QCOMPARE(community->stopButton()->text(), QStringLiteral("停止"));
        QCOMPARE(community->enlargeButton()->text(), QStringLiteral("放大浏览窗口"));
        QCOMPARE(community->loadingLabel()->text(), QStringLiteral("请稍候，正在载入..."));
        expectNonEditableLists(community);
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        clickTab(window.tabs(), MainWindow::CommunityTabIndex);
        QCOMPARE(window.tabs()->currentWidget(), window.communityTab());
        QVERIFY(!community->loadingLabel()->isVisible());
    }

    void downloadWindow() {
        zorvast::update::ui::DownloadWindow window;
        window.show();
        QCOMPARE(window.size(), QSize(280, 75));
        QVERIFY(window.windowTitle().isEmpty());
        QCOMPARE(window.label()->text(), QStringLiteral("正在下载数据，请稍等..."));
        QCOMPARE(window.progressBar()->minimum(), 0);
        QCOMPARE(window.progressBar()->maximum(), 100);
        QCOMPARE(window.cancelButton()->text(), QStringLiteral("取消并退出"));
        QVERIFY(window.progressBar()->geometry().top() > window.label()->geometry().top());
        // The longest text the window shows wraps inside it, above the bar and the button.
        window.label()->setText(QStringLiteral(
            "下载失败！无法运行，请退出稍后再试，或进入www.zorvast.cn下载最新版本。"));
        QCoreApplication::processEvents();
        QVERIFY(window.label()->wordWrap());
        QVERIFY2(window.label()->heightForWidth(window.label()->width()) <=
                     window.label()->height(),
                 qPrintable(QStringLiteral("text needs %1 pixels, label has %2")
                                .arg(window.label()->heightForWidth(window.label()->width()))
                                .arg(window.label()->height())));
        QVERIFY(window.label()->geometry().bottom() < window.progressBar()->geometry().top());
        QVERIFY(window.rect().contains(window.cancelButton()->geometry()));
        QVERIFY(window.rect().contains(window.label()->geometry()));
        QSignalSpy cancelled(&window, &zorvast::update::ui::DownloadWindow::cancelRequested);
        QTest::mouseClick(window.cancelButton(), Qt::LeftButton);
        QCOMPARE(cancelled.count(), 1);
        // Closing the window asks the same; it stays until its owner acts.
        window.close();
        QCOMPARE(cancelled.count(), 2);
        QVERIFY(window.isVisible());
    }

    // With ZORVAST_GUI_SHOTS set to a folder, every visible tab and the download window are
    // saved there as PNG pictures for a look by eye.
    void screenshots() {
        const QString folder = qEnvironmentVariable("ZORVAST_GUI_SHOTS");
        if (folder.isEmpty()) {
            QSKIP("ZORVAST_GUI_SHOTS not set");
        }
        QDir().mkpath(folder);
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const char* const names[] = {"news", "parameter", "pointing", "",         "",
                                     "tyro", "datum",     "trade",    "community"};
        for (int index : {0, 1, 2, 5, 6, 7, 8}) {
            window.tabs()->setCurrentIndex(index);
            QTest::qWait(150);
            QVERIFY(window.grab().save(
                folder +
                QStringLiteral("/tab%1-%2.png").arg(index).arg(QString::fromLatin1(names[index]))));
        }
        window.communityTab()->loadingLabel()->show();
        window.downloadProgress()->setValue(40);
        window.downloadProgress()->show();
        window.pageProgress()->setValue(70);
        window.statusText()->setText(QStringLiteral(" ◎ 现有数据日期：2011年5月3日。"));
        window.versionText()->setText(QStringLiteral("§版号: 1.02 "));
        QTest::qWait(50);
        QVERIFY(window.grab().save(folder + QStringLiteral("/tab8-community-loading.png")));

        zorvast::update::ui::DownloadWindow download;
        download.progressBar()->setValue(35);
        download.show();
        QVERIFY(QTest::qWaitForWindowExposed(&download));
        QVERIFY(download.grab().save(folder + QStringLiteral("/download-window.png")));
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
