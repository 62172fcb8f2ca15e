// The pointing tab's flows with its real controls, offscreen, on the shipped city database: the
// test clicks, types and chooses, and reads what the tab shows.
#include "pointing/ui/PointingTab.h"
#include "common/Files.h"
#include "common/Text.h"
#include "pointing/ui/DiagramCanvas.h"
#include "pointing/ui/PointingController.h"
#include "support/TempFolder.h"
#include "support/UserInput.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <vector>

using namespace zorvast;
using pointing::ui::PointingController;
using pointing::ui::PointingTab;
using testing::gui::choose;
using testing::gui::click;
using testing::gui::picture;
using testing::gui::typeInto;

namespace {

struct Message {
    std::string caption;
    std::string text;
};

const QString kBeijingAngles = QStringLiteral("181.5 43.8 -1.1");

// A pointing tab with two satellites, its controller and recorded message boxes, filled the
// way the start-up fills it.
struct Bench {
    PointingTab tab;
    std::vector<Message> messages;
    std::optional<std::filesystem::path> saveTo;
    std::unique_ptr<PointingController> controller;

    Bench() {
        tab.satelliteList()->addItem(QStringLiteral("E100.5(亚太5号)"));
        tab.satelliteList()->addItem(QStringLiteral("E115.5(中星6B)"));
        tab.satelliteList()->setCurrentIndex(1);
        tab.offsetSatelliteList()->addItem(QStringLiteral("E115.5"));
        tab.offsetSatelliteList()->addItem(QStringLiteral("E125"));
        tab.offsetSatelliteList()->addItem(QStringLiteral("E118"));
        tab.offsetSatelliteList()->setCurrentIndex(1);
        pointing::ui::PointingDependencies deps;
        deps.cityDatabase = ZORVAST_CITY_DATABASE;
        deps.coverageAt = [](int index) {
            // Region 2 (Beijing) holds 36 dBW C and 48 dBW Ku for the second satellite.
            return index == 1 ? pointing::ui::SatelliteCoverage{"383600404142", "004800515052"}
                              : pointing::ui::SatelliteCoverage{};
        };
        deps.showMessage = [this](const std::string& caption, const std::string& text, bool) {
            messages.push_back({caption, text});
        };
        deps.askSaveFile = [this] {
            return saveTo;
        };
        controller = std::make_unique<PointingController>(&tab, std::move(deps));
        tab.primeFeedButton()->setChecked(true);
        tab.uprightButton()->setChecked(true);
        tab.uprightButton()->setEnabled(false);
        tab.invertedButton()->setEnabled(false);
        controller->fillLocationLists();
        controller->lookupCityCoordinates();
        controller->fillAntennaList();
        tab.show();
    }

    QString angles() const {
        return tab.azimuthLabel()->text() + " " + tab.elevationLabel()->text() + " " +
               tab.polarisationLabel()->text();
    }

    // The report as "复制文本" puts it on the clipboard; its message box is taken off the list.
    QString report() {
        const std::size_t before = messages.size();
        click(tab.copyReportButton());
        if (messages.size() == before + 1 && messages.back().caption == "复制成功") {
            messages.pop_back();
        }
        return QGuiApplication::clipboard()->text();
    }

    QImage diagram() { return picture(tab.diagramCanvas()); }

    void typeSite(const char* longitude, const char* latitude) {
        typeInto(tab.longitudeEdit(), QString::fromUtf8(longitude));
        typeInto(tab.latitudeEdit(), QString::fromUtf8(latitude));
    }
};

QString q(const std::string& text) {
    return QString::fromStdString(text);
}

} // namespace

class PointingTabTest : public QObject {
    Q_OBJECT
private slots:
    void aCityChoiceFillsTheBoxesAndComputes() {
        Bench b;
        QCOMPARE(b.tab.provinceList()->count(), 32);
        QCOMPARE(b.tab.provinceList()->currentText(), QStringLiteral("北京市"));
        QCOMPARE(b.tab.cityList()->count(), 10);
        QCOMPARE(b.tab.longitudeEdit()->text(), QStringLiteral("116.46"));
        QCOMPARE(b.tab.latitudeEdit()->text(), QStringLiteral("39.92"));
        QCOMPARE(b.angles(), kBeijingAngles);
        QCOMPARE(b.tab.strengthEdit()->text(), QStringLiteral("36"));
        QCOMPARE(b.tab.thresholdSizeLabel()->text(), QStringLiteral("180"));
        QCOMPARE(b.tab.recommendedSizeLabel()->text(), QStringLiteral("240"));
        QCOMPARE(b.tab.antennaModelList()->count(), 45);
        QCOMPARE(b.tab.antennaModelList()->currentText(), QStringLiteral("中卫[150cm]"));
        QVERIFY(b.messages.empty());
        QVERIFY(b.report().contains(QStringLiteral("手表时针指向：12点整")));

        // Another satellite from the list.
        choose(b.tab.satelliteList(), 0);
        QCOMPARE(b.tab.azimuthLabel()->text(), QStringLiteral("204"));
        QVERIFY(b.report().contains(QStringLiteral("卫星：E100.5(亚太5号)")));
        QVERIFY(b.messages.empty());
    }

    void aProvinceChoiceListsItsPlacesAndLooksUpTheFirst() {
        Bench b;
        const struct {
            int index;
            int places;
            const char* first;
            const char* lon;
            const char* lat;
        } cases[] = {{26, 6, "天津", "117.2", "39.13"},
                     {25, 173, "成都", "104.06", "30.67"},
                     {1, 10, "北京", "116.46", "39.92"}};
        for (const auto& c : cases) {
            choose(b.tab.provinceList(), c.index);
            QCOMPARE(b.tab.provinceList()->currentIndex(), c.index);
            QCOMPARE(b.tab.cityList()->count(), c.places);
            QCOMPARE(b.tab.cityList()->currentIndex(), 0);
            QCOMPARE(b.tab.cityList()->currentText(), QString::fromUtf8(c.first));
            QCOMPARE(b.tab.longitudeEdit()->text(), QString::fromUtf8(c.lon));
            QCOMPARE(b.tab.latitudeEdit()->text(), QString::fromUtf8(c.lat));
            QVERIFY(b.tab.provinceList()->isEnabled() && b.tab.cityList()->isEnabled());
            // The angles shown are already those of the place looked up.
            const QString shown = b.angles();
            click(b.tab.calculateButton());
            QCOMPARE(b.angles(), shown);
        }
        QCOMPARE(b.angles(), kBeijingAngles);
        choose(b.tab.cityList(), 1);
        QCOMPARE(b.tab.cityList()->currentText(), QStringLiteral("平谷"));
        QVERIFY(b.tab.longitudeEdit()->text() != QStringLiteral("116.46"));
        QVERIFY(b.angles() != kBeijingAngles);
        QVERIFY(b.messages.empty());
    }

    void theOffsetFeedRefillsTheModelsAndComputes() {
        Bench b;
        click(b.tab.offsetFeedButton());
        QVERIFY(b.tab.uprightButton()->isEnabled() && b.tab.invertedButton()->isEnabled());
        QCOMPARE(b.tab.antennaModelList()->count(), 16);
        QCOMPARE(b.tab.antennaModelList()->currentText(), QStringLiteral("中卫[60cm]"));
        QCOMPARE(b.tab.strengthEdit()->text(), QStringLiteral("48")); // Ku for an offset dish
        QString report = b.report();
        QVERIFY(report.contains(QStringLiteral("天线：中卫[60cm]，偏馈\r\n")));
        QVERIFY(report.contains(QStringLiteral("下垂角：21.1度")));
        QVERIFY(report.contains(QStringLiteral("Ｆ头方向：")));

        // Inverted: the offset turns around and the droop grows.
        click(b.tab.invertedButton());
        report = b.report();
        QVERIFY(report.contains(QStringLiteral("偏馈（倒装）")));
        QVERIFY(report.contains(QStringLiteral("下垂角：66.6度")));
        click(b.tab.uprightButton());
        QVERIFY(b.report().contains(QStringLiteral("下垂角：21.1度")));
        click(b.tab.invertedButton());

        // Back to prime focus: the mounting buttons go grey but keep "倒装" on.
        click(b.tab.primeFeedButton());
        QVERIFY(!b.tab.uprightButton()->isEnabled() && !b.tab.invertedButton()->isEnabled());
        QVERIFY(b.tab.invertedButton()->isChecked());
        QCOMPARE(b.tab.antennaModelList()->count(), 45);
        report = b.report();
        QVERIFY(report.contains(QStringLiteral("天线：中卫[150cm]，正馈\r\n")));
        QVERIFY(!report.contains(QStringLiteral("下垂角")));
        QCOMPARE(b.angles(), kBeijingAngles);

        // The button already on still resets the model.
        choose(b.tab.antennaModelList(), 7);
        QCOMPARE(b.tab.antennaModelList()->currentIndex(), 7);
        click(b.tab.primeFeedButton());
        QCOMPARE(b.tab.antennaModelList()->currentIndex(), 2);
        QVERIFY(b.messages.empty());
    }

    void aModelChosenFromCodeStartsNoRun() {
        Bench b;
        click(b.tab.offsetFeedButton());
        const QImage before = b.diagram();
        b.tab.antennaModelList()->setCurrentIndex(12);
        QCOMPARE(b.diagram(), before);
        QVERIFY(b.report().contains(QStringLiteral("下垂角：21.1度")));

        // The user choosing it does: 斯威克[60cm] has a 25 degree offset.
        choose(b.tab.antennaModelList(), 11);
        choose(b.tab.antennaModelList(), 12);
        QCOMPARE(b.tab.antennaModelList()->currentText(), QStringLiteral("斯威克[60cm]"));
        QVERIFY(b.report().contains(QStringLiteral("下垂角：18.8度")));
        const QImage chosen = b.diagram();
        QVERIFY(chosen != before);

        // Typing in a box starts nothing either, until "计算".
        b.typeSite("100", "30");
        QCOMPARE(b.angles(), kBeijingAngles);
        QCOMPARE(b.diagram(), chosen);
        click(b.tab.calculateButton());
        QVERIFY(b.angles() != kBeijingAngles);
        QVERIFY(b.messages.empty());
    }

    void anOutOfRangeSiteIsRefusedAndTheCityRestored() {
        Bench b;
        const struct {
            const char* lon;
            const char* lat;
            const char* message;
        } cases[] = {
            {"200", "39.92", "请检查经度是否填写错误。\r\n（只能填写70到150度之间亚洲区的经度）"},
            {"", "39.92", "请检查经度是否填写错误。\r\n（只能填写70到150度之间亚洲区的经度）"},
            {"69.9", "0", "请检查经度是否填写错误。\r\n（只能填写70到150度之间亚洲区的经度）"},
            {"116.46", "60.5", "请检查纬度是否填写错误。\r\n（只能填写1到60度之间亚洲区的纬度）"},
        };
        for (const auto& c : cases) {
            // Somewhere else first, so that the restored place shows in the angles.
            b.typeSite("100", "30");
            click(b.tab.calculateButton());
            QVERIFY(b.angles() != kBeijingAngles);
            b.messages.clear();

            b.typeSite(c.lon, c.lat);
            click(b.tab.calculateButton());
            QCOMPARE(b.messages.size(), std::size_t{1});
            QCOMPARE(q(b.messages[0].caption), QStringLiteral("输入错误"));
            QCOMPARE(q(b.messages[0].text), QString::fromUtf8(c.message));
            QCOMPARE(b.tab.longitudeEdit()->text(), QStringLiteral("116.46"));
            QCOMPARE(b.tab.latitudeEdit()->text(), QStringLiteral("39.92"));
            QCOMPARE(b.angles(), kBeijingAngles);
        }
        // Within 1e-7 outside the range is still accepted; "abc" after a number is ignored.
        b.messages.clear();
        b.typeSite("150.00000005", "40abc");
        click(b.tab.calculateButton());
        QVERIFY(b.messages.empty());
        QCOMPARE(b.tab.longitudeEdit()->text(), QStringLiteral("150.00000005"));
        QVERIFY(b.angles() != kBeijingAngles);
    }

    void theStrengthBoxAndTheDishSizes() {
        Bench b;
        // Outside every coverage box the typed strength stays and still gives sizes.
        b.typeSite("140", "35");
        typeInto(b.tab.strengthEdit(), QStringLiteral("46"));
        click(b.tab.calculateButton());
        QCOMPARE(b.tab.strengthEdit()->text(), QStringLiteral("46"));
        QCOMPARE(b.tab.thresholdSizeLabel()->text(), QStringLiteral("90"));
        QCOMPARE(b.tab.recommendedSizeLabel()->text(), QStringLiteral("100"));
        // A negative box skips the suggestion; the button still answers.
        typeInto(b.tab.strengthEdit(), QStringLiteral("-3"));
        click(b.tab.calculateButton());
        QCOMPARE(b.tab.thresholdSizeLabel()->text(), QStringLiteral("90"));
        click(b.tab.dishSizeButton());
        QCOMPARE(b.tab.thresholdSizeLabel()->text(), QStringLiteral("---"));
        QCOMPARE(b.tab.recommendedSizeLabel()->text(), QStringLiteral("---"));
        typeInto(b.tab.strengthEdit(), QStringLiteral("31"));
        click(b.tab.dishSizeButton());
        QCOMPARE(b.tab.thresholdSizeLabel()->text(), QStringLiteral("600"));
        QCOMPARE(b.tab.recommendedSizeLabel()->text(), QStringLiteral("900"));
    }

    void theDeclinationBoxCorrectsTheCompass() {
        Bench b;
        const QImage uncorrected = b.diagram();
        QVERIFY(!b.report().contains(QStringLiteral("指北针")));
        click(b.tab.declinationCheck());
        QVERIFY(b.tab.declinationCheck()->isChecked());
        // Beijing's needle points 6.4 degrees west of true north.
        QVERIFY(b.report().contains(
            QStringLiteral("方位角：181.5度，经磁偏修正的指北针指向：187.9度")));
        QCOMPARE(b.tab.azimuthLabel()->text(), QStringLiteral("181.5"));
        QVERIFY(b.diagram() != uncorrected);
        click(b.tab.declinationCheck());
        QVERIFY(!b.report().contains(QStringLiteral("指北针")));
        QCOMPARE(b.diagram(), uncorrected);
    }

    void theDiagramFollowsTheInput() {
        Bench b;
        const QImage beijing = b.diagram();
        pointing::ui::DiagramCanvas untouched;
        QVERIFY(beijing != picture(&untouched));
        b.typeSite("87.6", "43.8");
        click(b.tab.calculateButton());
        QVERIFY(b.diagram() != beijing);
        choose(b.tab.satelliteList(), 0);
        const QImage urumqiOtherSatellite = b.diagram();
        QVERIFY(urumqiOtherSatellite != beijing);
        b.typeSite("116.46", "39.92");
        click(b.tab.calculateButton());
        QVERIFY(b.diagram() != urumqiOtherSatellite);
        choose(b.tab.satelliteList(), 1);
        QCOMPARE(b.diagram(), beijing);
        QVERIFY(b.messages.empty());
    }

    void theSecondFeedIsPlacedBesideTheFirst() {
        Bench b;
        click(b.tab.feedSpacingButton());
        QVERIFY(b.messages.empty());
        QCOMPARE(b.tab.horizontalCaption()->text(), QStringLiteral("左方："));
        QCOMPARE(b.tab.horizontalValue()->text(), QStringLiteral("15cm"));
        QCOMPARE(b.tab.verticalCaption()->text(), QStringLiteral("下方："));
        QCOMPARE(b.tab.verticalValue()->text(), QStringLiteral("3cm"));
        QCOMPARE(b.tab.spacingPolarisationValue()->text(), QStringLiteral("10.1"));

        click(b.tab.offsetFeedButton());
        click(b.tab.feedSpacingButton());
        QCOMPARE(b.tab.horizontalValue()->text(), QStringLiteral("9cm"));
        QCOMPARE(b.tab.verticalCaption()->text(), QStringLiteral("上方："));
        QCOMPARE(b.tab.verticalValue()->text(), QStringLiteral("2cm"));

        // A 35 cm dish cannot hold both feeds: the values are written, then the warning.
        choose(b.tab.antennaModelList(), 0);
        choose(b.tab.offsetSatelliteList(), 1);
        choose(b.tab.satelliteList(), 0); // E100.5 against E125: far enough
        click(b.tab.feedSpacingButton());
        QVERIFY(b.messages.empty());
        choose(b.tab.satelliteList(), 1);
        choose(b.tab.offsetSatelliteList(), 2); // E118
        click(b.tab.feedSpacingButton());
        QCOMPARE(b.messages.size(), std::size_t{1});
        QCOMPARE(q(b.messages[0].caption), QStringLiteral("提示"));
        QVERIFY(q(b.messages[0].text).startsWith(QStringLiteral("两个高频头距离太近")));
        QCOMPARE(b.tab.horizontalValue()->text(), QStringLiteral("1cm"));
        QCOMPARE(b.tab.spacingPolarisationValue()->text(), QStringLiteral("1.8"));

        // The same satellite in both lists only brings the message.
        b.messages.clear();
        choose(b.tab.offsetSatelliteList(), 0);
        click(b.tab.feedSpacingButton());
        QCOMPARE(q(b.messages.at(0).caption), QStringLiteral("输入错误"));
        QVERIFY(
            q(b.messages.at(0).text).startsWith(QStringLiteral("选择的偏收和主收卫星方位相同")));
        QCOMPARE(b.tab.horizontalValue()->text(), QStringLiteral("1cm"));
    }

    void theObstacleGivesTheLowestElevation() {
        Bench b;
        QCOMPARE(b.tab.obstacleDistanceEdit()->text(), QStringLiteral("40"));
        click(b.tab.clearanceButton());
        QCOMPARE(b.tab.clearanceValue()->text(), QStringLiteral("26.6"));
        QVERIFY(b.messages.empty());

        const struct {
            const char* distance;
            const char* height;
            const char* antenna;
            const char* message; // start of it; empty when accepted
            const char* distanceAfter;
            const char* heightAfter;
            const char* antennaAfter;
            const char* result;
        } cases[] = {
            {"0.5", "20", "0", "障碍距离输入错误", "1", "20", "0", "26.6"},
            {"40", "9001", "0", "障碍高度输入错误", "40", "1", "0", "26.6"},
            {"40", "20", "-1", "天线的高度输入错误", "40", "20", "0", "26.6"},
            {"40", "20", "21", "软件对输入的数据有些疑惑", "40", "20", "0", "0"},
            {"9000", "9000", "", "", "9000", "9000", "0", "45"},
            {"30", "20", "20", "", "30", "20", "20", "0"},
        };
        for (const auto& c : cases) {
            b.messages.clear();
            typeInto(b.tab.obstacleDistanceEdit(), QString::fromUtf8(c.distance));
            typeInto(b.tab.obstacleHeightEdit(), QString::fromUtf8(c.height));
            typeInto(b.tab.antennaHeightEdit(), QString::fromUtf8(c.antenna));
            click(b.tab.clearanceButton());
            if (*c.message) {
                QCOMPARE(b.messages.size(), std::size_t{1});
                QCOMPARE(q(b.messages[0].caption), QStringLiteral("输入错误"));
                QVERIFY2(q(b.messages[0].text).startsWith(QString::fromUtf8(c.message)), c.message);
            } else {
                QVERIFY(b.messages.empty());
            }
            QCOMPARE(b.tab.obstacleDistanceEdit()->text(), QString::fromUtf8(c.distanceAfter));
            QCOMPARE(b.tab.obstacleHeightEdit()->text(), QString::fromUtf8(c.heightAfter));
            QCOMPARE(b.tab.antennaHeightEdit()->text(), QString::fromUtf8(c.antennaAfter));
            QCOMPARE(b.tab.clearanceValue()->text(), QString::fromUtf8(c.result));
        }
    }

    void theReportIsSavedAsGbkOrCopied() {
        Bench b;
        zorvast::testing::TempFolder temp;
        QGuiApplication::clipboard()->clear();
        click(b.tab.copyReportButton());
        QCOMPARE(q(b.messages.back().caption), QStringLiteral("复制成功"));
        QCOMPARE(q(b.messages.back().text),
                 QStringLiteral("已复制到剪切板成功，请粘贴到其它软件中查看。"));
        const QString copied = QGuiApplication::clipboard()->text();
        QVERIFY(copied.startsWith(
            QStringLiteral("------☆Zorvast寻星计算☆------\r\n\r\n地点：北京市，北京\r\n")));
        QVERIFY(copied.contains(QStringLiteral("\r\n方位角：181.5度")));
        QVERIFY(copied.endsWith(QStringLiteral("\r\n\r\n\r\n")));

        b.saveTo = temp.path() / "report.txt";
        click(b.tab.saveReportButton());
        QCOMPARE(q(b.messages.back().caption), QStringLiteral("保存成功"));
        QCOMPARE(q(b.messages.back().text),
                 QStringLiteral("已保存成功，目标文件是：") + q(b.saveTo->string()));
        QCOMPARE(common::readFileBytes(*b.saveTo).value_or(""),
                 common::toGbk(copied.toStdString()).bytes);

        b.saveTo.reset();
        click(b.tab.saveReportButton());
        QCOMPARE(q(b.messages.back().caption), QStringLiteral("保存失败"));
        QCOMPARE(q(b.messages.back().text), QStringLiteral("文件名不能为空，请重新填写。"));

        // A folder that does not exist: the failure is reported, not a false success.
        b.saveTo = temp.path() / "missing" / "report.txt";
        click(b.tab.saveReportButton());
        QCOMPARE(q(b.messages.back().caption), QStringLiteral("保存失败"));
        QVERIFY(q(b.messages.back().text).startsWith(QStringLiteral("无法写入文件：")));
        QVERIFY(!common::fileExists(*b.saveTo));
    }
};

QTEST_MAIN(PointingTabTest)
#include "PointingTabTest.moc"
