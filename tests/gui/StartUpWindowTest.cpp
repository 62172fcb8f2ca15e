// The program's start-up against fixture packages, with the real main window, offscreen.
#include "channels/ui/ParameterTab.h"
#include "channels/ui/ResultGrid.h"
#include "common/Files.h"
#include "common/WorkerPool.h"
#include "common/platform/Platform.h"
#include "common/ui/UiThread.h"
#include "info/ui/CommunityTab.h"
#include "pointing/ui/PointingTab.h"
#include "shell/ui/AppController.h"
#include "shell/ui/AppEnvironment.h"
#include "shell/ui/MainWindow.h"
#include "shell/ui/WorkerWait.h"
#include "support/AlteredPackages.h"
#include "support/ChannelFixture.h"
#include "support/ScopedEnvironment.h"
#include "support/TempFolder.h"
#include "update/ui/DownloadWindow.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <thread>

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using namespace zorvast;
using shell::StartUpResult;
using shell::ui::AppController;

namespace {

struct Fixture {
    testing::TempFolder temp;
    common::ManualClock clock;

    Fixture() {
        fs::create_directories(temp.path() / "tmp");
        fs::create_directories(temp.path() / "program");
    }

    // The ManualClock makes every fixed wait instant; `realClock` keeps them (the order of the
    // workers' texts rests on them).
    shell::ui::AppEnvironment environment(bool realClock = false) {
        shell::ui::AppEnvironment env;
        env.temporaryFolder = temp.path() / "tmp";
        env.programFolder = temp.path() / "program";
        env.executableName = "zorvast";
        env.shortcuts = {.startMenu = temp.path() / "apps",
                         .programs = temp.path() / "apps",
                         .desktop = temp.path() / "Desktop"};
        env.clock = realClock ? nullptr : &clock;
        return env;
    }

    fs::path workFolder() const { return temp.path() / "tmp" / "satdata_temp"; }

    void writePackage(int satellites, std::vector<std::string> providers) {
        testing::writePackage(
            (temp.path() / "program" / "satdata.sta").string(),
            testing::storedDatabase(
                {testing::satlistTable(testing::satellitesWith(satellites, 30, 35)),
                 testing::supTable(providers), testing::sysTable("261209")}),
            {{"home.htm", "<p>home</p>"}});
    }
};

// Rows count from 0 here, as the view's.
QColor background(channels::ui::ResultGrid* grid, int row) {
    return grid->model()->index(row, 0).data(Qt::BackgroundRole).value<QColor>();
}

QString cellText(channels::ui::ResultGrid* grid, int row, int column) {
    return grid->model()->index(row, column).data(Qt::DisplayRole).toString();
}

// Picks an item the way a user does from the keyboard: Home, then Down to it. Each move
// activates the item it lands on.
void chooseItem(QComboBox* list, int index) {
    QTest::keyClick(list, Qt::Key_Home);
    for (int i = 0; i < index; ++i) {
        QTest::keyClick(list, Qt::Key_Down);
    }
}

void clickTab(QTabWidget* tabs, int index) {
    QTabBar* bar = tabs->tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
}

// Calls `act` with the download window once it is shown (start-up shows it modally, so the
// test looks for it from a timer).
void whenTheDownloadWindowShows(QObject* context,
                                const std::function<void(update::ui::DownloadWindow*)>& act) {
    auto* timer = new QTimer(context);
    QObject::connect(timer, &QTimer::timeout, context, [timer, act] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* d = qobject_cast<update::ui::DownloadWindow*>(w); d && d->isVisible()) {
                timer->stop();
                act(d);
                return;
            }
        }
    });
    timer->start(50);
}

} // namespace

class StartUpWindowTest : public QObject {
    Q_OBJECT
private slots:
    void fillsTheWindowFromThePackage() {
        Fixture f;
        f.writePackage(40, {"p1", "p2", "p3", "p4"});
        // Real waits: the data check's text follows the data date the local pages step writes.
        AppController controller(f.environment(true));
        QCOMPARE(controller.startUp(), StartUpResult::Running);
        QTRY_VERIFY_WITH_TIMEOUT(controller.initialisationDone(), 10000);
        QCOMPARE(controller.initialisationOutcome(), shell::InitOutcome::Ready);
        auto* window = controller.window();
        QTRY_VERIFY_WITH_TIMEOUT(window->isEnabled(), 5000);

        channels::ui::ResultGrid* grid = window->parameterTab()->resultGrid();
        QTRY_COMPARE(grid->model()->rowCount(), 42);
        QCOMPARE(cellText(grid, 0, 3), QStringLiteral("频 道 名"));
        QCOMPARE(grid->columnSpan(1, 0), 5);
        QCOMPARE(background(grid, 1), QColor(255, 255, 150));
        QCOMPARE(cellText(grid, 41, 0), QStringLiteral("　　　　☆ E60【卫星0】"));
        for (int row = 2; row < 42; ++row) {
            QCOMPARE(grid->columnSpan(row, 0), 5);
            // Grid rows 4, 6, 8 ... (counted from 1) are shaded.
            const bool shaded = (row + 1) % 2 == 0;
            QCOMPARE(background(grid, row) == QColor(240, 240, 255), shaded);
        }

        auto* parameters = window->parameterTab();
        auto* pointing = window->pointingTab();
        QCOMPARE(parameters->satelliteList()->count(), 40);
        QCOMPARE(parameters->satelliteList()->currentText(), QStringLiteral("E115.5（卫星30）"));
        QCOMPARE(pointing->satelliteList()->currentText(), QStringLiteral("E115.5(卫星30)"));
        QCOMPARE(pointing->offsetSatelliteList()->currentText(), QStringLiteral("E125"));
        QCOMPARE(parameters->formatFilter()->currentText(), QStringLiteral("所有电视"));
        QCOMPARE(parameters->providerList()->currentText(), QStringLiteral("p2"));
        QVERIFY(parameters->detailText()->text().contains(QStringLiteral("选择卫星后")));

        // The shipped city database, through the archive compiled into the program.
        QCOMPARE(pointing->provinceList()->currentText(), QStringLiteral("北京市"));
        QCOMPARE(pointing->cityList()->currentText(), QStringLiteral("北京"));
        QCOMPARE(pointing->longitudeEdit()->text(), QStringLiteral("116.46"));
        QCOMPARE(pointing->latitudeEdit()->text(), QStringLiteral("39.92"));
        QVERIFY(pointing->primeFeedButton()->isChecked());
        QVERIFY(!pointing->uprightButton()->isEnabled());
        QVERIFY(parameters->showResultsButton()->isEnabled());

        // No server answers in tests: the data check ends with the date of the local data.
        QTRY_VERIFY2(window->statusText()->text().startsWith(
                         QStringLiteral("◎ 无法连接服务器，更新数据失败。现有数据：")),
                     qPrintable(window->statusText()->text()));
        QTRY_COMPARE(window->communityTab()->quickEntryList()->count(), 5);
        QVERIFY(fs::exists(f.workFolder() / "city.dat"));
        QVERIFY(fs::exists(f.temp.path() / "apps" / "Zorvast.desktop"));

        // Picking a province lists its places and looks up the first.
        chooseItem(pointing->provinceList(), 26); // 天津市
        QCOMPARE(pointing->provinceList()->currentText(), QStringLiteral("天津市"));
        QCOMPARE(pointing->cityList()->count(), 6);
        QCOMPARE(pointing->cityList()->currentText(), QStringLiteral("天津"));
        QCOMPARE(pointing->longitudeEdit()->text(), QStringLiteral("117.2"));

        controller.shutDown();
        QVERIFY(!fs::exists(f.workFolder()));
    }

    void theFirstRunAndTheSatelliteDetails() {
        Fixture f;
        f.writePackage(40, {"p1", "p2", "p3", "p4"});
        AppController controller(f.environment());
        QCOMPARE(controller.startUp(), StartUpResult::Running);
        QTRY_VERIFY_WITH_TIMEOUT(controller.initialisationDone(), 10000);
        auto* window = controller.window();
        auto* pointing = window->pointingTab();
        auto* parameters = window->parameterTab();

        // The run at the end of start-up: Beijing, E115.5, prime focus, 38 dBW in C band.
        QCOMPARE(pointing->azimuthLabel()->text(), QStringLiteral("181.5"));
        QCOMPARE(pointing->elevationLabel()->text(), QStringLiteral("43.8"));
        QCOMPARE(pointing->polarisationLabel()->text(), QStringLiteral("-1.1"));
        QCOMPARE(pointing->antennaModelList()->currentText(), QStringLiteral("中卫[150cm]"));
        QCOMPARE(pointing->strengthEdit()->text(), QStringLiteral("38"));
        QCOMPARE(pointing->thresholdSizeLabel()->text(), QStringLiteral("135"));
        QCOMPARE(pointing->recommendedSizeLabel()->text(), QStringLiteral("150"));

        // A satellite chosen on the parameter tab shows its remark and strengths only there.
        chooseItem(parameters->satelliteList(), 5);
        QCOMPARE(parameters->detailText()->text(),
                 QStringLiteral("E65（卫星5）卫星：备注 卫星5，C最强：40dB，C最弱：36dB"));
        QCOMPARE(pointing->satelliteList()->currentIndex(), 30);

        // "寻星" carries the choice over and computes.
        QTest::mouseClick(parameters->findSatelliteButton(), Qt::LeftButton);
        QCOMPARE(pointing->satelliteList()->currentIndex(), 5);
        QCOMPARE(window->tabs()->currentIndex(), 2);
        QVERIFY(pointing->azimuthLabel()->text() != QStringLiteral("181.5"));
        // The tab switch wrote its hint and the version text.
        QCOMPARE(window->statusText()->text(),
                 QStringLiteral(" ◎ 提示：选择地区并选择卫星后，立即会显示寻星数据和图表。"));
        QCOMPARE(window->versionText()->text(), QStringLiteral("§版号: 1.02 "));
        clickTab(window->tabs(), 0);
        QCOMPARE(window->tabs()->currentIndex(), 0);
        QVERIFY(window->statusText()->text().startsWith(
            QStringLiteral(" ◎ 欢迎使用Zorvast。现有数据日期：")));
        // "寻星" with no satellite chosen leaves the pointing list without one and still runs.
        parameters->satelliteList()->setCurrentIndex(-1);
        QTest::mouseClick(parameters->findSatelliteButton(), Qt::LeftButton);
        QCOMPARE(pointing->satelliteList()->currentIndex(), -1);
        QCOMPARE(window->tabs()->currentIndex(), 2);
        controller.shutDown();
    }

    // Started by the installed system's launcher, the program writes entries that start the
    // launcher again, so a start from the menu brings the user's folder in step first.
    void theEntriesStartTheLauncherThatStartedTheRun() {
        {
            testing::ScopedEnvironment launcher("ZORVAST_LAUNCHER", "/usr/bin/env");
            const shell::ui::AppEnvironment system = shell::ui::systemEnvironment({"zorvast"});
            QCOMPARE(system.launcherFile, fs::path("/usr/bin/env"));
            QCOMPARE(shell::ui::shortcutTargetPath(system), std::string("/usr/bin/env"));
        }
        for (const char* ignored : {"usr/bin/env", ""}) {
            testing::ScopedEnvironment launcher("ZORVAST_LAUNCHER", std::string(ignored));
            const shell::ui::AppEnvironment system = shell::ui::systemEnvironment({"zorvast"});
            QVERIFY2(system.launcherFile.empty(), ignored);
            QCOMPARE(shell::ui::shortcutTargetPath(system), shell::ui::programFilePath(system));
        }

        Fixture f;
        f.writePackage(40, {"p1", "p2", "p3", "p4"});
        shell::ui::AppEnvironment env = f.environment();
        env.launcherFile = "/usr/bin/env";
        AppController controller(env);
        QCOMPARE(controller.startUp(), StartUpResult::Running);
        QTRY_VERIFY_WITH_TIMEOUT(controller.initialisationDone(), 10000);
        const fs::path entry = f.temp.path() / "apps" / "Zorvast.desktop";
        QTRY_VERIFY_WITH_TIMEOUT(fs::exists(entry), 10000);
        QCOMPARE(common::platform::shortcutTarget(entry), std::string("/usr/bin/env"));
        controller.shutDown();
    }

    void withoutAPackageTheDownloadWindowComesFirst() {
        Fixture f;
        AppController controller(f.environment());
        bool sawDownloadWindow = false;
        QString label;
        whenTheDownloadWindowShows(&controller, [&](update::ui::DownloadWindow* d) {
            sawDownloadWindow = true;
            // The first-download check has started and is looking for a server.
            label = d->label()->text();
            QTest::mouseClick(d->cancelButton(), Qt::LeftButton);
        });
        QCOMPARE(controller.startUp(), StartUpResult::Quit);
        QVERIFY(sawDownloadWindow);
        QVERIFY2(label == QStringLiteral("正在下载数据，请稍等...") ||
                     label.contains(QStringLiteral("正在寻找更新")) ||
                     label.startsWith(QStringLiteral("下载失败！")),
                 qPrintable(label));
        QVERIFY(!fs::exists(f.workFolder()));
    }

    // Bytes changed after signing, with every CRC fitting: the package is no data. The download
    // window comes as without a package, nothing of it is unpacked, and it stays as it was.
    void aPackageAlteredAfterSigningEndsInTheDownloadWindow() {
        Fixture f;
        f.writePackage(40, {"p1", "p2", "p3", "p4"});
        const fs::path package = f.temp.path() / "program" / "satdata.sta";
        std::vector<common::ArchiveEntry> entries;
        {
            const auto unpacked =
                common::unpackArchive(common::asBytes(testing::readAll(package.string())));
            QVERIFY(unpacked.ok);
            for (const common::UnpackedEntry& e : unpacked.entries) {
                entries.push_back({e.relative, e.data});
            }
        }
        QVERIFY(common::createArchive(package.string(),
                                      testing::withContentChanged(entries, "satdata.str", 4096)));
        const std::string before = testing::readAll(package.string());

        AppController controller(f.environment());
        bool sawDownloadWindow = false;
        QStringList unpacked;
        whenTheDownloadWindowShows(&controller, [&](update::ui::DownloadWindow* d) {
            sawDownloadWindow = true;
            for (const auto& item : fs::directory_iterator(f.workFolder())) {
                unpacked << QString::fromStdString(item.path().filename().string());
            }
            QTest::mouseClick(d->cancelButton(), Qt::LeftButton);
        });
        QCOMPARE(controller.startUp(), StartUpResult::Quit);
        QVERIFY(sawDownloadWindow);
        QCOMPARE(unpacked, QStringList{QStringLiteral("ready.tmp")});
        QVERIFY2(testing::readAll(package.string()) == before, "satdata.sta was changed");
        QVERIFY(!fs::exists(f.workFolder()));
    }

    void aSecondCopyEndsSilently() {
        Fixture f;
        f.writePackage(5, {"a", "b", "c"});
        AppController first(f.environment());
        QCOMPARE(first.startUp(), StartUpResult::Running);
        QTRY_VERIFY_WITH_TIMEOUT(first.initialisationDone(), 10000);

        AppController second(f.environment());
        QCOMPARE(second.startUp(), StartUpResult::QuitSilently);
        QVERIFY(!second.window()->isVisible());
        QVERIFY(fs::exists(f.workFolder() / "satdata.str"));
        first.shutDown();
        QVERIFY(!fs::exists(f.workFolder()));
    }

    void quittingAtOnceLeavesNoWorkingFiles() {
        for (int round = 0; round < 3; ++round) {
            Fixture f;
            f.writePackage(40, {"a", "b", "c"});
            {
                AppController controller(f.environment());
                QCOMPARE(controller.startUp(), StartUpResult::Running);
                controller.shutDown(); // while the initialisation may still run
            }                          // the controller waits for its workers here
            QString cameBack = QStringLiteral("the working folder came back, holding:");
            std::error_code ec;
            for (fs::recursive_directory_iterator it(f.workFolder(), ec);
                 !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
                cameBack += QLatin1Char(' ') + QString::fromStdString(it->path().filename());
            }
            QVERIFY2(!fs::exists(f.workFolder()), qPrintable(cameBack));
        }
    }

    // The end of a run waits for workers on the window thread. A worker that hands a call to
    // the window meanwhile is served, and the wait ends with the worker, not at its limit.
    void theEndOfARunServesWorkersThatWaitForTheWindow() {
        common::WorkerPool pool;
        QWidget window;
        std::atomic<bool> served{false};
        pool.start("initialisation", [&] {
            std::this_thread::sleep_for(100ms);
            common::ui::runOnUi(&window, [&] { served = true; });
        });
        QElapsedTimer clock;
        clock.start();
        QVERIFY(shell::ui::waitForWorkers(pool, {"initialisation"}, 30s));
        QVERIFY(served);
        QVERIFY2(clock.elapsed() < 10000, qPrintable(QString::number(clock.elapsed())));

        // A worker that does not end in time: the wait gives up at its limit.
        std::promise<void> release;
        const std::shared_future<void> released = release.get_future().share();
        pool.start("pages", [released] { released.wait(); });
        clock.restart();
        QVERIFY(!shell::ui::waitForWorkers(pool, {}, 200ms));
        QVERIFY(clock.elapsed() >= 190);
        QVERIFY(pool.running("pages"));
        release.set_value();
        QVERIFY(shell::ui::waitForWorkers(pool, {"pages"}, 30s));
    }
};

QTEST_MAIN(StartUpWindowTest)
#include "StartUpWindowTest.moc"
