// The pointing tab's sun windows with their real controls, offscreen, against the sun core.
#include "common/Files.h"
#include "common/Text.h"
#include "pointing/geometry/PointingGeometry.h"
#include "pointing/sun/SunAzimuth.h"
#include "pointing/sun/SunOutage.h"
#include "pointing/sun/SunPosition.h"
#include "pointing/ui/PointingController.h"
#include "pointing/ui/PointingTab.h"
#include "pointing/ui/SunDirectionWindow.h"
#include "pointing/ui/SunOutageWindow.h"
#include "pointing/ui/SunToolsController.h"
#include "support/TempFolder.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTest>

#include <cstdlib>
#include <vector>

using namespace zorvast;
using namespace zorvast::pointing::ui;
using pointing::kBelowHorizonText;
using pointing::kDateErrorText;
using pointing::kDiameterErrorText;
using pointing::kYearErrorText;
namespace sun = zorvast::pointing::sun;

namespace {

struct Message {
    std::string caption;
    std::string text;
};

constexpr sun::LocalDate kToday{2025, 6, 1};

// A pointing tab on Beijing looking at a 115.5 E satellite with a 150 cm prime-focus dish.
struct Bench {
    PointingTab tab;
    std::vector<Message> messages;
    std::optional<std::filesystem::path> saveTo;
    std::unique_ptr<PointingController> controller;

    Bench() {
        tab.satelliteList()->addItem(QStringLiteral("E100.5(亚太5号)"));
        tab.satelliteList()->addItem(QStringLiteral("E115.5(中星6B)"));
        tab.satelliteList()->addItem(QStringLiteral("E10(远星)"));
        tab.satelliteList()->addItem(QStringLiteral("E140(东星)"));
        tab.satelliteList()->setCurrentIndex(1);
        PointingDependencies deps;
        deps.cityDatabase = ZORVAST_CITY_DATABASE;
        deps.showMessage = [this](const std::string& caption, const std::string& text, bool) {
            messages.push_back({caption, text});
        };
        deps.askSaveFile = [this] {
            return saveTo;
        };
        deps.today = [] {
            return kToday;
        };
        controller = std::make_unique<PointingController>(&tab, std::move(deps));
        tab.primeFeedButton()->setChecked(true);
        tab.uprightButton()->setChecked(true);
        controller->fillLocationLists();
        controller->fillAntennaList();
        tab.longitudeEdit()->setText(QStringLiteral("116.4"));
        tab.latitudeEdit()->setText(QStringLiteral("39.9"));
        tab.show();
        messages.clear();
    }

    SunOutageWindow* openOutage() {
        QTest::mouseClick(tab.sunOutageButton(), Qt::LeftButton);
        return controller->sunTools()->outageWindow();
    }
    SunDirectionWindow* openDirection() {
        QTest::mouseClick(tab.sunDirectionButton(), Qt::LeftButton);
        return controller->sunTools()->directionWindow();
    }
    void click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
};

QString q(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

double outageAngleOf(double diameterMetres, sun::Band band) {
    return sun::outageAngle(sun::beamwidth(diameterMetres, band));
}

// The window's table, cell by cell, against the core's days.
void compareTable(const QTableWidget* table, const std::vector<sun::OutageDay>& days) {
    QCOMPARE(table->rowCount(), static_cast<int>(days.size()));
    for (int row = 0; row < table->rowCount(); ++row) {
        const sun::OutageDay& day = days[static_cast<std::size_t>(row)];
        QCOMPARE(table->item(row, 0)->text(), q(sun::dateText(day.date)));
        QCOMPARE(table->item(row, 1)->text(), q(sun::minuteText(day.startMinute)));
        QCOMPARE(table->item(row, 2)->text(), q(sun::minuteText(day.peakMinute)));
        QCOMPARE(table->item(row, 3)->text(), q(sun::minuteText(day.endMinute)));
        const QString duration = sun::outageMinutes(day) > 0
                                     ? QStringLiteral("%1分钟").arg(sun::outageMinutes(day))
                                     : QStringLiteral("不到1分钟");
        QCOMPARE(table->item(row, 4)->text(), duration);
    }
}

void typeInto(QLineEdit* edit, const QString& text) {
    edit->selectAll();
    QTest::keyClicks(edit, text);
    QCOMPARE(edit->text(), text);
}

// Screenshots only when asked for, never into the test's temporary folders.
void saveShot(QWidget* window, const char* name) {
    const char* folder = std::getenv("ZORVAST_SCREENSHOT_DIR");
    if (folder && *folder) {
        QVERIFY(window->grab().save(QString::fromUtf8(folder) + QLatin1Char('/') +
                                    QString::fromUtf8(name)));
    }
}

} // namespace

class SunWindowsTest : public QObject {
    Q_OBJECT
private slots:
    void theTwoButtonsSitInTheButtonRow() {
        Bench b;
        QCOMPARE(b.tab.sunOutageButton()->text(), QStringLiteral("日凌预报"));
        QCOMPARE(b.tab.sunDirectionButton()->text(), QStringLiteral("太阳定向"));
        QVERIFY(b.tab.sunOutageButton()->isVisible());
        QVERIFY(b.tab.sunDirectionButton()->isVisible());
        QVERIFY(b.tab.sunOutageButton()->geometry().left() >
                b.tab.copyReportButton()->geometry().right());
        QVERIFY(b.tab.sunDirectionButton()->geometry().right() <
                b.tab.satelliteMapButton()->geometry().left());
        saveShot(&b.tab, "sunwindows-tab.png");
    }

    void theOutageTableIsTheCoresForecast() {
        Bench b;
        SunOutageWindow* w = b.openOutage();
        QVERIFY(w && w->isVisible());
        QVERIFY(w->isWindow());
        QCOMPARE(w->windowTitle(), QStringLiteral("日凌预报"));
        QCOMPARE(w->diameterEdit()->text(), QStringLiteral("150"));
        QCOMPARE(w->bandList()->currentText(), QStringLiteral("C"));
        const double angle = outageAngleOf(1.5, sun::Band::C);
        const int year = sun::nextSeasonYear(116.4, 39.9, 115.5, angle, kToday);
        QCOMPARE(year, 2025); // autumn is still to come on 1 June
        QCOMPARE(w->yearEdit()->text(), QString::number(year));
        const auto days = sun::outageForecast(116.4, 39.9, 115.5, angle, year);
        QVERIFY(days.size() > 10);
        compareTable(w->table(), days);
        QVERIFY(w->chart()->days() == days);
        QCOMPARE(w->figuresLabel()->text(),
                 q(sun::dishFiguresText(sun::beamwidth(1.5, sun::Band::C), angle)));
        QCOMPARE(w->figuresLabel()->text(), QStringLiteral("波束宽度 3.50°，日凌角 2.00°"));
        QVERIFY(w->placeLabel()->text().contains(QStringLiteral("E115.5(中星6B)")));
        QVERIFY(b.messages.empty());

        // Every bar fits the chart's hour axis.
        const OutageChart::Span span = OutageChart::spanOf(days);
        QCOMPARE(span.first % 60, 0);
        QCOMPARE(span.last % 60, 0);
        QVERIFY(span.last - span.first >= 120);
        for (const auto& day : days) {
            QVERIFY(span.first <= day.startMinute - 15 && day.endMinute + 15 <= span.last);
        }
        saveShot(w, "sunwindows-outage.png");

        // A second click raises the same window, recomputed for the tab's choices now.
        b.tab.satelliteList()->setCurrentIndex(0);
        QCOMPARE(b.openOutage(), w);
        QVERIFY(w->isVisible());
        compareTable(w->table(), sun::outageForecast(116.4, 39.9, 100.5, angle, year));
    }

    void anOffsetDishOpensOnKu() {
        Bench b;
        b.tab.offsetFeedButton()->click();
        b.tab.longitudeEdit()->setText(QStringLiteral("116.4"));
        b.tab.latitudeEdit()->setText(QStringLiteral("39.9"));
        b.messages.clear();
        SunOutageWindow* w = b.openOutage();
        QCOMPARE(w->bandList()->currentText(), QStringLiteral("Ku"));
        QCOMPARE(w->diameterEdit()->text(), QStringLiteral("60"));
        const double angle = outageAngleOf(0.6, sun::Band::Ku);
        compareTable(w->table(),
                     sun::outageForecast(116.4, 39.9, 115.5, angle, w->yearEdit()->text().toInt()));
    }

    void theYearBoxAndTheBandRecompute() {
        Bench b;
        SunOutageWindow* w = b.openOutage();
        const double c = outageAngleOf(1.5, sun::Band::C);
        const double ku = outageAngleOf(1.5, sun::Band::Ku);

        typeInto(w->yearEdit(), QStringLiteral("2026"));
        b.click(w->computeButton());
        compareTable(w->table(), sun::outageForecast(116.4, 39.9, 115.5, c, 2026));

        typeInto(w->yearEdit(), QStringLiteral("2031"));
        QTest::keyClick(w->yearEdit(), Qt::Key_Return);
        compareTable(w->table(), sun::outageForecast(116.4, 39.9, 115.5, c, 2031));

        const int cRows = w->table()->rowCount();
        w->bandList()->setFocus();
        QTest::keyClick(w->bandList(), Qt::Key_Down);
        QCOMPARE(w->bandList()->currentText(), QStringLiteral("Ku"));
        const auto kuDays = sun::outageForecast(116.4, 39.9, 115.5, ku, 2031);
        compareTable(w->table(), kuDays);
        QVERIFY(w->table()->rowCount() < cRows); // the narrower Ku beam has fewer days
        QCOMPARE(w->figuresLabel()->text(),
                 q(sun::dishFiguresText(sun::beamwidth(1.5, sun::Band::Ku), ku)));

        typeInto(w->diameterEdit(), QStringLiteral("450"));
        QTest::keyClick(w->diameterEdit(), Qt::Key_Return);
        compareTable(w->table(), sun::outageForecast(116.4, 39.9, 115.5,
                                                     outageAngleOf(4.5, sun::Band::Ku), 2031));
        QVERIFY(b.messages.empty());
    }

    void saveWritesTheGbkTable() {
        Bench b;
        const testing::TempFolder folder;
        SunOutageWindow* w = b.openOutage();
        b.saveTo = folder.path() / "日凌.txt";
        b.click(w->saveButton());
        const auto bytes = common::readFileBytes(*b.saveTo);
        QVERIFY(bytes);
        const auto days = sun::outageForecast(116.4, 39.9, 115.5, outageAngleOf(1.5, sun::Band::C),
                                              w->yearEdit()->text().toInt());
        QVERIFY(*bytes == sun::outageTableFile(days).bytes);
        QVERIFY(bytes->starts_with("\xC8\xD5\xC6\xDA\t")); // 日期 in GBK
        QVERIFY(bytes->find("\r\n") != std::string::npos);
        QVERIFY(bytes->find("\n") == bytes->find("\r\n") + 1);
        QCOMPARE(b.messages.size(), std::size_t{1});
        QCOMPARE(q(b.messages[0].caption), QStringLiteral("保存成功"));

        b.saveTo.reset();
        b.click(w->saveButton());
        QCOMPARE(q(b.messages.back().caption), QStringLiteral("保存失败"));
    }

    void copyPutsTheTableOnTheClipboard() {
        Bench b;
        SunOutageWindow* w = b.openOutage();
        QGuiApplication::clipboard()->clear();
        b.click(w->copyButton());
        const auto days = sun::outageForecast(116.4, 39.9, 115.5, outageAngleOf(1.5, sun::Band::C),
                                              w->yearEdit()->text().toInt());
        QCOMPARE(QGuiApplication::clipboard()->text(), q(sun::outageTableText(days)));
        QCOMPARE(q(b.messages.back().caption), QStringLiteral("复制成功"));
    }

    void theDirectionWindowGivesTheCoresMinutes() {
        Bench b;
        SunDirectionWindow* w = b.openDirection();
        QVERIFY(w && w->isVisible() && w->isWindow());
        QCOMPARE(w->windowTitle(), QStringLiteral("太阳定向"));
        QCOMPARE(w->dateEdit()->text(), QStringLiteral("2025-06-01"));
        const sun::Direction satellite = sun::satelliteDirection(116.4, 39.9, 115.5);
        QCOMPARE(w->satelliteAzimuth(), satellite.azimuth);
        QVERIFY(w->azimuthLabel()->text().startsWith(QString::number(satellite.azimuth, 'f', 1)));

        const struct {
            const char* date;
            sun::LocalDate local;
        } cases[] = {{"2025-06-01", {2025, 6, 1}},
                     {"2025-03-20", {2025, 3, 20}},
                     {"2024-12-21", {2024, 12, 21}}};
        for (const auto& c : cases) {
            typeInto(w->dateEdit(), QString::fromUtf8(c.date));
            b.click(w->computeButton());
            const auto crossings = sun::sunAtAzimuth(116.4, 39.9, satellite.azimuth, c.local);
            QCOMPARE(crossings.size(), std::size_t{1});
            QVERIFY(w->crossings() == crossings);
            const QString expected = QStringLiteral("%1　太阳仰角 %2°")
                                         .arg(q(sun::minuteText(crossings[0].minute)))
                                         .arg(crossings[0].sunElevation, 0, 'f', 1);
            QCOMPARE(w->timesLabel()->text(), expected);
            QCOMPARE(w->adviceLabel()->text(), q(sun::shadowAimText(crossings)));
            QVERIFY(w->adviceLabel()->text().contains(q(sun::minuteText(crossings[0].minute))));
        }
        typeInto(w->dateEdit(), QStringLiteral("2025-06-01"));
        b.click(w->computeButton());
        saveShot(w, "sunwindows-direction.png");
        QCOMPARE(b.openDirection(), w);
        QVERIFY(b.messages.empty());
    }

    void theDirectionWindowSaysWhenTheSunNeverGetsThere() {
        Bench b;
        // 55 N in midwinter: the sun rises south of east, the satellite far to the east stays
        // out of its reach all day.
        b.tab.longitudeEdit()->setText(QStringLiteral("75"));
        b.tab.latitudeEdit()->setText(QStringLiteral("55"));
        b.tab.satelliteList()->setCurrentIndex(3);
        SunDirectionWindow* w = b.openDirection();
        QVERIFY(w && w->isVisible());
        typeInto(w->dateEdit(), QStringLiteral("2025-12-21"));
        b.click(w->computeButton());
        const double azimuth = sun::satelliteDirection(75, 55, 140).azimuth;
        QVERIFY(sun::sunAtAzimuth(75, 55, azimuth, {2025, 12, 21}).empty());
        QVERIFY(w->crossings().empty());
        QCOMPARE(w->timesLabel()->text(), QStringLiteral("- -"));
        QCOMPARE(w->adviceLabel()->text(), q(sun::shadowAimText({})));
        QVERIFY(b.messages.empty());
    }

    void inputErrorsComeUnderTheInputErrorCaption() {
        Bench b;
        const std::string kError = std::string(pointing::kInputErrorCaption);
        const auto lastIs = [&b, &kError](std::string_view text) {
            return !b.messages.empty() && b.messages.back().caption == kError &&
                   b.messages.back().text == text;
        };

        // A site outside the program's range opens neither window.
        b.tab.longitudeEdit()->setText(QStringLiteral("200"));
        QVERIFY(!b.openOutage() || !b.controller->sunTools()->outageWindow()->isVisible());
        QVERIFY(lastIs(pointing::siteErrorText(pointing::SiteError::Longitude)));
        b.tab.longitudeEdit()->setText(QStringLiteral("116.4"));
        b.tab.latitudeEdit()->setText(QStringLiteral("-3"));
        QVERIFY(!b.openDirection() || !b.controller->sunTools()->directionWindow()->isVisible());
        QVERIFY(lastIs(pointing::siteErrorText(pointing::SiteError::Latitude)));
        b.tab.latitudeEdit()->setText(QStringLiteral("39.9"));

        // A satellite below the horizon.
        b.tab.satelliteList()->setCurrentIndex(2);
        const std::size_t before = b.messages.size();
        QVERIFY(!b.openOutage() || !b.controller->sunTools()->outageWindow()->isVisible());
        QVERIFY(lastIs(kBelowHorizonText));
        QVERIFY(!b.openDirection() || !b.controller->sunTools()->directionWindow()->isVisible());
        QVERIFY(lastIs(kBelowHorizonText));
        QCOMPARE(b.messages.size(), before + 2);
        b.tab.satelliteList()->setCurrentIndex(1);

        SunOutageWindow* outage = b.openOutage();
        QVERIFY(outage->isVisible());
        const int rows = outage->table()->rowCount();
        for (const char* diameter : {"abc", "0", "-60", "", "1e999"}) {
            const std::size_t count = b.messages.size();
            outage->diameterEdit()->setText(QString::fromUtf8(diameter));
            b.click(outage->computeButton());
            QCOMPARE(b.messages.size(), count + 1);
            QVERIFY2(lastIs(kDiameterErrorText), diameter);
        }
        outage->diameterEdit()->setText(QStringLiteral("150"));
        for (const char* year : {"1800", "2200", "20x5", ""}) {
            const std::size_t count = b.messages.size();
            outage->yearEdit()->setText(QString::fromUtf8(year));
            b.click(outage->computeButton());
            QCOMPARE(b.messages.size(), count + 1);
            QVERIFY2(lastIs(kYearErrorText), year);
        }
        QCOMPARE(outage->table()->rowCount(), rows);

        SunDirectionWindow* direction = b.openDirection();
        QVERIFY(direction->isVisible());
        for (const char* date :
             {"2025-02-29", "2025-13-01", "2025-04-31", "1900-03-20", "today", "2025/03/20"}) {
            const std::size_t count = b.messages.size();
            direction->dateEdit()->setText(QString::fromUtf8(date));
            b.click(direction->computeButton());
            QCOMPARE(b.messages.size(), count + 1);
            QVERIFY2(lastIs(kDateErrorText), date);
        }
    }
};

QTEST_MAIN(SunWindowsTest)
#include "SunWindowsTest.moc"
