#include "shell/ui/MainWindow.h"

#include <QTabWidget>
#include <QtTest>

using zorvast::shell::ui::MainWindow;

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void hasNineTabsWithTheirCaptions() {
        MainWindow window;
        QCOMPARE(window.tabs()->count(), 9);
        QCOMPARE(window.tabs()->tabText(1), QStringLiteral("参数表"));
        QCOMPARE(window.tabs()->tabToolTip(7), QStringLiteral("器材交易交换，信息免费发布"));
    }
    void simulationTabsAreHiddenAndDisabled() {
        MainWindow window;
        window.show();
        for (int index : {3, 4}) {
            QVERIFY(!window.tabs()->isTabVisible(index));
            QVERIFY(!window.tabs()->isTabEnabled(index));
        }
        QVERIFY(window.tabs()->isTabEnabled(2));
    }
    void fixedSizeAndTitle() {
        MainWindow window;
        QCOMPARE(window.size(), QSize(800, 588));
        QCOMPARE(window.windowTitle(), QStringLiteral("Zorvast   [Marobi家族]"));
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
