// The program's start-up against fixture packages, with the real main window, offscreen.
#include "channels/ui/ParameterTab.h"
#include "channels/ui/ResultGrid.h"
#include "common/Files.h"
#include "info/ui/CommunityTab.h"
#include "pointing/ui/PointingTab.h"
#include "shell/ui/AppController.h"
#include "shell/ui/MainWindow.h"
#include "support/AlteredPackages.h"
#include "support/ChannelFixture.h"
#include "support/TempFolder.h"
#include "update/ui/DownloadWindow.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

namespace fs = std::filesystem;
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
        env.shortcuts = {temp.path() / "apps", temp.path() / "apps", temp.path() / "Desktop"};
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
        pointing->provinceList()->setCurrentIndex(26); // 天津市
        emit pointing->provinceList()->activated(26);
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
        parameters->satelliteList()->setCurrentIndex(5);
        emit parameters->satelliteList()->activated(5);
        QCOMPARE(parameters->detailText()->text(),
                 QStringLiteral("E65（卫星5）卫星：备注 卫星5，C最强：40dB，C最弱：36dB"));
        QCOMPARE(pointing->satelliteList()->currentIndex(), 30);

        // "寻星" carries the choice over and computes.
        parameters->findSatelliteButton()->click();
        QCOMPARE(pointing->satelliteList()->currentIndex(), 5);
        QCOMPARE(window->tabs()->currentIndex(), 2);
        QVERIFY(pointing->azimuthLabel()->text() != QStringLiteral("181.5"));
        // The tab switch wrote its hint and the version text.
        QCOMPARE(window->statusText()->text(),
                 QStringLiteral(" ◎ 提示：选择地区并选择卫星后，立即会显示寻星数据和图表。"));
        QCOMPARE(window->versionText()->text(), QStringLiteral("§版号: 1.02 "));
        window->tabs()->setCurrentIndex(0);
        QVERIFY(window->statusText()->text().startsWith(
            QStringLiteral(" ◎ 欢迎使用Zorvast。现有数据日期：")));
        // "寻星" with no satellite chosen leaves the pointing list without one and still runs.
        parameters->satelliteList()->setCurrentIndex(-1);
        parameters->findSatelliteButton()->click();
        QCOMPARE(pointing->satelliteList()->currentIndex(), -1);
        QCOMPARE(window->tabs()->currentIndex(), 2);
        controller.shutDown();
    }

    void withoutAPackageTheDownloadWindowComesFirst() {
        Fixture f;
        AppController controller(f.environment());
        bool sawDownloadWindow = false;
        QString label;
        QTimer::singleShot(200, [&] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (auto* d = qobject_cast<update::ui::DownloadWindow*>(w); d && d->isVisible()) {
                    sawDownloadWindow = true;
                    // The first-download check has started and is looking for a server.
                    label = d->label()->text();
                    d->cancelButton()->click();
                }
            }
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
        QTimer::singleShot(200, [&] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (auto* d = qobject_cast<update::ui::DownloadWindow*>(w); d && d->isVisible()) {
                    sawDownloadWindow = true;
                    for (const auto& item : fs::directory_iterator(f.workFolder())) {
                        unpacked << QString::fromStdString(item.path().filename().string());
                    }
                    d->cancelButton()->click();
                }
            }
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
};

QTEST_MAIN(StartUpWindowTest)
#include "StartUpWindowTest.moc"
