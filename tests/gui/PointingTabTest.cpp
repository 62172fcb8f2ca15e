// The pointing tab's flows with its real controls, offscreen, on the shipped city database.
#include "pointing/ui/PointingTab.h"
#include "common/Files.h"
#include "common/Text.h"
#include "pointing/ui/PointingController.h"
#include "support/TempFolder.h"

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

namespace {

struct Message {
    std::string caption;
    std::string text;
};

// A pointing tab with two satellites, its controller and recorded message boxes.
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
    }

    QString angles() const {
        return tab.azimuthLabel()->text() + " " + tab.elevationLabel()->text() + " " +
               tab.polarisationLabel()->text();
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
        QCOMPARE(b.angles(), QStringLiteral("181.5 43.8 -1.1"));
        QCOMPARE(b.tab.strengthEdit()->text(), QStringLiteral("36"));
        QCOMPARE(b.tab.thresholdSizeLabel()->text(), QStringLiteral("180"));
        QCOMPARE(b.tab.recommendedSizeLabel()->text(), QStringLiteral("240"));
        QCOMPARE(b.tab.antennaModelList()->count(), 45);
        QCOMPARE(b.tab.antennaModelList()->currentText(), QStringLiteral("中卫[150cm]"));
        QCOMPARE(q(b.controller->result().watchHour), QStringLiteral("12点整"));
        QVERIFY(b.messages.empty());

        // Another satellite from the list.
        b.tab.satelliteList()->setCurrentIndex(0);
        emit b.tab.satelliteList()->activated(0);
        QCOMPARE(b.tab.azimuthLabel()->text(), QStringLiteral("204"));
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
            const int runs = b.controller->runCount();
            b.tab.provinceList()->setCurrentIndex(c.index);
            emit b.tab.provinceList()->activated(c.index);
            QCOMPARE(b.tab.cityList()->count(), c.places);
            QCOMPARE(b.tab.cityList()->currentIndex(), 0);
            QCOMPARE(b.tab.cityList()->currentText(), QString::fromUtf8(c.first));
            QCOMPARE(b.tab.longitudeEdit()->text(), QString::fromUtf8(c.lon));
            QCOMPARE(b.tab.latitudeEdit()->text(), QString::fromUtf8(c.lat));
            QCOMPARE(b.controller->runCount(), runs + 1);
            QVERIFY(b.tab.provinceList()->isEnabled() && b.tab.cityList()->isEnabled());
        }
        b.tab.cityList()->setCurrentIndex(1);
        emit b.tab.cityList()->activated(1);
        QCOMPARE(b.tab.cityList()->currentText(), QStringLiteral("平谷"));
        QVERIFY(b.tab.longitudeEdit()->text() != QStringLiteral("116.46"));
    }

    void theOffsetFeedRefillsAndComputesTwice() {
        Bench b;
        const int runs = b.controller->runCount();
        b.tab.offsetFeedButton()->click();
        QVERIFY(b.tab.uprightButton()->isEnabled() && b.tab.invertedButton()->isEnabled());
        QCOMPARE(b.tab.antennaModelList()->count(), 16);
        QCOMPARE(b.tab.antennaModelList()->currentText(), QStringLiteral("中卫[60cm]"));
        QCOMPARE(b.controller->runCount(), runs + 2);
        QCOMPARE(b.controller->result().signedOffset, 2275);
        QCOMPARE(q(b.controller->result().droopAngle), QStringLiteral("21.1"));
        QCOMPARE(q(b.controller->result().lnbReferencePart), QStringLiteral("Ｆ头方向"));
        QCOMPARE(b.tab.strengthEdit()->text(), QStringLiteral("48")); // Ku for an offset dish

        // Inverted: the offset turns around and the droop grows.
        b.tab.invertedButton()->click();
        QCOMPARE(b.controller->runCount(), runs + 3);
        QCOMPARE(b.controller->result().signedOffset, -2275);
        QCOMPARE(q(b.controller->result().droopAngle), QStringLiteral("66.6"));
        b.tab.uprightButton()->click();
        QCOMPARE(b.controller->result().signedOffset, 2275);
        b.tab.invertedButton()->click();

        // Back to prime focus: the mounting buttons go grey but keep "倒装" on.
        b.tab.primeFeedButton()->click();
        QVERIFY(!b.tab.uprightButton()->isEnabled() && !b.tab.invertedButton()->isEnabled());
        QVERIFY(b.tab.invertedButton()->isChecked());
        QCOMPARE(b.tab.antennaModelList()->count(), 45);
        QCOMPARE(b.controller->result().signedOffset, 0);

        // The button already on still resets the model.
        b.tab.antennaModelList()->setCurrentIndex(7);
        b.tab.primeFeedButton()->click();
        QCOMPARE(b.tab.antennaModelList()->currentIndex(), 2);
    }

    void aModelChosenFromCodeStartsNoRun() {
        Bench b;
        b.tab.offsetFeedButton()->click();
        const int runs = b.controller->runCount();
        b.tab.antennaModelList()->setCurrentIndex(12);
        QCOMPARE(b.controller->runCount(), runs);
        emit b.tab.antennaModelList()->activated(12);
        QCOMPARE(b.controller->runCount(), runs + 1);
        QCOMPARE(b.controller->result().signedOffset, 2500);
        // Typing in a box starts nothing either.
        QTest::keyClicks(b.tab.longitudeEdit(), "1");
        QCOMPARE(b.controller->runCount(), runs + 1);
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
            b.messages.clear();
            b.tab.azimuthLabel()->setText(QStringLiteral("old"));
            b.tab.longitudeEdit()->setText(QString::fromUtf8(c.lon));
            b.tab.latitudeEdit()->setText(QString::fromUtf8(c.lat));
            const int runs = b.controller->runCount();
            b.tab.calculateButton()->click();
            QCOMPARE(b.messages.size(), std::size_t{1});
            QCOMPARE(q(b.messages[0].caption), QStringLiteral("输入错误"));
            QCOMPARE(q(b.messages[0].text), QString::fromUtf8(c.message));
            QCOMPARE(b.tab.longitudeEdit()->text(), QStringLiteral("116.46"));
            QCOMPARE(b.tab.latitudeEdit()->text(), QStringLiteral("39.92"));
            QCOMPARE(b.controller->runCount(), runs + 2); // the refused run and the restored one
            QCOMPARE(b.angles(), QStringLiteral("181.5 43.8 -1.1"));
        }
        // Within 1e-7 outside the range is still accepted; "abc" after a number is ignored.
        b.messages.clear();
        b.tab.longitudeEdit()->setText(QStringLiteral("150.00000005"));
        b.tab.latitudeEdit()->setText(QStringLiteral("40abc"));
        b.tab.calculateButton()->click();
        QVERIFY(b.messages.empty());
        QCOMPARE(b.tab.longitudeEdit()->text(), QStringLiteral("150.00000005"));
    }

    void theStrengthBoxAndTheDishSizes() {
        Bench b;
        // Outside every coverage box the typed strength stays and still gives sizes.
        b.tab.longitudeEdit()->setText(QStringLiteral("140"));
        b.tab.latitudeEdit()->setText(QStringLiteral("35"));
        b.tab.strengthEdit()->setText(QStringLiteral("46"));
        b.tab.calculateButton()->click();
        QCOMPARE(b.tab.strengthEdit()->text(), QStringLiteral("46"));
        QCOMPARE(b.tab.thresholdSizeLabel()->text(), QStringLiteral("90"));
        QCOMPARE(b.tab.recommendedSizeLabel()->text(), QStringLiteral("100"));
        // A negative box skips the suggestion; the button still answers.
        b.tab.strengthEdit()->setText(QStringLiteral("-3"));
        b.tab.calculateButton()->click();
        QCOMPARE(b.tab.thresholdSizeLabel()->text(), QStringLiteral("90"));
        b.tab.dishSizeButton()->click();
        QCOMPARE(b.tab.thresholdSizeLabel()->text(), QStringLiteral("---"));
        QCOMPARE(b.tab.recommendedSizeLabel()->text(), QStringLiteral("---"));
        b.tab.strengthEdit()->setText(QStringLiteral("31"));
        b.tab.dishSizeButton()->click();
        QCOMPARE(b.tab.thresholdSizeLabel()->text(), QStringLiteral("600"));
        QCOMPARE(b.tab.recommendedSizeLabel()->text(), QStringLiteral("900"));
    }

    void theDeclinationBoxCorrectsTheCompass() {
        Bench b;
        QCOMPARE(q(b.controller->result().compassText), QStringLiteral("181.5"));
        b.tab.declinationCheck()->click();
        // Beijing's needle points 6.4 degrees west of true north.
        QCOMPARE(q(b.controller->result().compassText), QStringLiteral("187.9"));
        QVERIFY(q(b.controller->currentReport())
                    .contains(QStringLiteral("经磁偏修正的指北针指向：187.9度")));
        b.tab.declinationCheck()->click();
        QCOMPARE(q(b.controller->result().compassText), QStringLiteral("181.5"));
    }

    void theSecondFeedIsPlacedBesideTheFirst() {
        Bench b;
        b.tab.feedSpacingButton()->click();
        QVERIFY(b.messages.empty());
        QCOMPARE(b.tab.horizontalCaption()->text(), QStringLiteral("左方："));
        QCOMPARE(b.tab.horizontalValue()->text(), QStringLiteral("15cm"));
        QCOMPARE(b.tab.verticalCaption()->text(), QStringLiteral("下方："));
        QCOMPARE(b.tab.verticalValue()->text(), QStringLiteral("3cm"));
        QCOMPARE(b.tab.spacingPolarisationValue()->text(), QStringLiteral("10.1"));

        b.tab.offsetFeedButton()->click();
        b.tab.feedSpacingButton()->click();
        QCOMPARE(b.tab.horizontalValue()->text(), QStringLiteral("9cm"));
        QCOMPARE(b.tab.verticalCaption()->text(), QStringLiteral("上方："));
        QCOMPARE(b.tab.verticalValue()->text(), QStringLiteral("2cm"));

        // A 35 cm dish cannot hold both feeds: the values are written, then the warning.
        b.tab.antennaModelList()->setCurrentIndex(0);
        b.tab.offsetSatelliteList()->setCurrentIndex(1);
        b.tab.satelliteList()->setCurrentIndex(0); // E100.5 against E125: far enough
        b.tab.feedSpacingButton()->click();
        QVERIFY(b.messages.empty());
        b.tab.satelliteList()->setCurrentIndex(1);
        b.tab.offsetSatelliteList()->setCurrentIndex(2); // E118
        b.tab.feedSpacingButton()->click();
        QCOMPARE(b.messages.size(), std::size_t{1});
        QCOMPARE(q(b.messages[0].caption), QStringLiteral("提示"));
        QVERIFY(q(b.messages[0].text).startsWith(QStringLiteral("两个高频头距离太近")));
        QCOMPARE(b.tab.horizontalValue()->text(), QStringLiteral("1cm"));
        QCOMPARE(b.tab.spacingPolarisationValue()->text(), QStringLiteral("1.8"));

        // The same satellite in both lists only brings the message.
        b.messages.clear();
        b.tab.offsetSatelliteList()->setCurrentIndex(0);
        b.tab.feedSpacingButton()->click();
        QCOMPARE(q(b.messages.at(0).caption), QStringLiteral("输入错误"));
        QVERIFY(
            q(b.messages.at(0).text).startsWith(QStringLiteral("选择的偏收和主收卫星方位相同")));
        QCOMPARE(b.tab.horizontalValue()->text(), QStringLiteral("1cm"));
    }

    void theObstacleGivesTheLowestElevation() {
        Bench b;
        QCOMPARE(b.tab.obstacleDistanceEdit()->text(), QStringLiteral("40"));
        b.tab.clearanceButton()->click();
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
            b.tab.obstacleDistanceEdit()->setText(QString::fromUtf8(c.distance));
            b.tab.obstacleHeightEdit()->setText(QString::fromUtf8(c.height));
            b.tab.antennaHeightEdit()->setText(QString::fromUtf8(c.antenna));
            b.tab.clearanceButton()->click();
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
        const std::string expected = b.controller->currentReport() + "\r\n\r\n";
        QVERIFY(q(expected).startsWith(
            QStringLiteral("------☆Zorvast寻星计算☆------\r\n\r\n地点：北京市，北京\r\n")));

        b.saveTo = temp.path() / "report.txt";
        b.tab.saveReportButton()->click();
        QCOMPARE(q(b.messages.back().caption), QStringLiteral("保存成功"));
        QCOMPARE(q(b.messages.back().text),
                 QStringLiteral("已保存成功，目标文件是：") + q(b.saveTo->string()));
        QCOMPARE(common::readFileBytes(*b.saveTo).value_or(""), common::toGbk(expected).bytes);

        b.saveTo.reset();
        b.tab.saveReportButton()->click();
        QCOMPARE(q(b.messages.back().caption), QStringLiteral("保存失败"));
        QCOMPARE(q(b.messages.back().text), QStringLiteral("文件名不能为空，请重新填写。"));

        // A folder that does not exist: the failure is reported, not a false success.
        b.saveTo = temp.path() / "missing" / "report.txt";
        b.tab.saveReportButton()->click();
        QCOMPARE(q(b.messages.back().caption), QStringLiteral("保存失败"));
        QVERIFY(q(b.messages.back().text).startsWith(QStringLiteral("无法写入文件：")));
        QVERIFY(!common::fileExists(*b.saveTo));

        b.tab.copyReportButton()->click();
        QCOMPARE(q(b.messages.back().caption), QStringLiteral("复制成功"));
        QCOMPARE(q(b.messages.back().text),
                 QStringLiteral("已复制到剪切板成功，请粘贴到其它软件中查看。"));
        QCOMPARE(QGuiApplication::clipboard()->text(), q(expected));
    }
};

QTEST_MAIN(PointingTabTest)
#include "PointingTabTest.moc"
