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
#include "support/TempFolder.h"
#include "support/UserInput.h"

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
using testing::gui::choose;
using testing::gui::part;
using testing::gui::picture;
using testing::gui::typeInto;
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
        tab.show();
        typeInto(tab.longitudeEdit(), QStringLiteral("116.4"));
        typeInto(tab.latitudeEdit(), QStringLiteral("39.9"));
        messages.clear();
    }

    // The window a sun button opened, nothing before the first time.
    SunOutageWindow* outageWindow() const {
        return tab.findChild<SunOutageWindow*>(QStringLiteral("sunOutageWindow"));
    }
    SunDirectionWindow* directionWindow() const {
        return tab.findChild<SunDirectionWindow*>(QStringLiteral("sunDirectionWindow"));
    }
    SunOutageWindow* openOutage() {
        click(tab.sunOutageButton());
        return outageWindow();
    }
    SunDirectionWindow* openDirection() {
        click(tab.sunDirectionButton());
        return directionWindow();
    }
    void click(QAbstractButton* button) { testing::gui::click(button); }
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

// The outage window's controls.
struct OutageParts {
    explicit OutageParts(const QWidget* w)
        : diameter(part<QLineEdit>(w, "diameterEdit")), band(part<QComboBox>(w, "bandList")),
          year(part<QLineEdit>(w, "yearEdit")), compute(part<QPushButton>(w, "computeButton")),
          figures(part<QLabel>(w, "figuresLabel")), place(part<QLabel>(w, "placeLabel")),
          table(part<QTableWidget>(w, "outageTable")), chart(part<OutageChart>(w, "outageChart")),
          save(part<QPushButton>(w, "saveButton")), copy(part<QPushButton>(w, "copyButton")) {}

    QLineEdit* diameter;
    QComboBox* band;
    QLineEdit* year;
    QPushButton* compute;
    QLabel* figures;
    QLabel* place;
    QTableWidget* table;
    OutageChart* chart;
    QPushButton* save;
    QPushButton* copy;
};

// The direction window's controls.
struct DirectionParts {
    explicit DirectionParts(const QWidget* w)
        : date(part<QLineEdit>(w, "dateEdit")), compute(part<QPushButton>(w, "computeButton")),
          azimuth(part<QLabel>(w, "azimuthLabel")), times(part<QLabel>(w, "timesLabel")),
          advice(part<QLabel>(w, "adviceLabel")) {}

    QLineEdit* date;
    QPushButton* compute;
    QLabel* azimuth;
    QLabel* times;
    QLabel* advice;
};

// The chart shows exactly these days: it looks like a chart of the same size given them.
void compareChart(OutageChart* chart, const std::vector<sun::OutageDay>& days) {
    OutageChart expected;
    expected.setDays(days);
    expected.resize(chart->size());
    QCOMPARE(picture(chart), picture(&expected));
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
        QVERIFY(!b.outageWindow());
        SunOutageWindow* w = b.openOutage();
        QVERIFY(w && w->isVisible());
        QVERIFY(w->isWindow());
        const OutageParts p(w);
        QCOMPARE(w->windowTitle(), QStringLiteral("日凌预报"));
        QCOMPARE(p.diameter->text(), QStringLiteral("150"));
        QCOMPARE(p.band->currentText(), QStringLiteral("C"));
        const double angle = outageAngleOf(1.5, sun::Band::C);
        const int year = sun::nextSeasonYear(116.4, 39.9, 115.5, angle, kToday);
        QCOMPARE(year, 2025); // autumn is still to come on 1 June
        QCOMPARE(p.year->text(), QString::number(year));
        const auto days = sun::outageForecast(116.4, 39.9, 115.5, angle, year);
        QVERIFY(days.size() > 10);
        compareTable(p.table, days);
        compareChart(p.chart, days);
        QCOMPARE(p.figures->text(),
                 q(sun::dishFiguresText(sun::beamwidth(1.5, sun::Band::C), angle)));
        QCOMPARE(p.figures->text(), QStringLiteral("波束宽度 3.50°，日凌角 2.00°"));
        QVERIFY(p.place->text().contains(QStringLiteral("E115.5(中星6B)")));
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
        choose(b.tab.satelliteList(), 0);
        QCOMPARE(b.openOutage(), w);
        QVERIFY(w->isVisible());
        const auto other = sun::outageForecast(116.4, 39.9, 100.5, angle, year);
        compareTable(p.table, other);
        compareChart(p.chart, other);
        QVERIFY(p.place->text().contains(QStringLiteral("E100.5(亚太5号)")));
    }

    void anOffsetDishOpensOnKu() {
        Bench b;
        b.click(b.tab.offsetFeedButton());
        typeInto(b.tab.longitudeEdit(), QStringLiteral("116.4"));
        typeInto(b.tab.latitudeEdit(), QStringLiteral("39.9"));
        b.messages.clear();
        const OutageParts p(b.openOutage());
        QCOMPARE(p.band->currentText(), QStringLiteral("Ku"));
        QCOMPARE(p.diameter->text(), QStringLiteral("60"));
        const double angle = outageAngleOf(0.6, sun::Band::Ku);
        compareTable(p.table,
                     sun::outageForecast(116.4, 39.9, 115.5, angle, p.year->text().toInt()));
    }

    void theYearBoxAndTheBandRecompute() {
        Bench b;
        const OutageParts p(b.openOutage());
        const double c = outageAngleOf(1.5, sun::Band::C);
        const double ku = outageAngleOf(1.5, sun::Band::Ku);

        typeInto(p.year, QStringLiteral("2026"));
        b.click(p.compute);
        compareTable(p.table, sun::outageForecast(116.4, 39.9, 115.5, c, 2026));

        typeInto(p.year, QStringLiteral("2031"));
        QTest::keyClick(p.year, Qt::Key_Return);
        compareTable(p.table, sun::outageForecast(116.4, 39.9, 115.5, c, 2031));

        const int cRows = p.table->rowCount();
        const QImage cChart = picture(p.chart);
        p.band->setFocus();
        QTest::keyClick(p.band, Qt::Key_Down);
        QCOMPARE(p.band->currentText(), QStringLiteral("Ku"));
        const auto kuDays = sun::outageForecast(116.4, 39.9, 115.5, ku, 2031);
        compareTable(p.table, kuDays);
        QVERIFY(p.table->rowCount() < cRows); // the narrower Ku beam has fewer days
        QVERIFY(picture(p.chart) != cChart);
        compareChart(p.chart, kuDays);
        QCOMPARE(p.figures->text(),
                 q(sun::dishFiguresText(sun::beamwidth(1.5, sun::Band::Ku), ku)));

        typeInto(p.diameter, QStringLiteral("450"));
        QTest::keyClick(p.diameter, Qt::Key_Return);
        compareTable(p.table, sun::outageForecast(116.4, 39.9, 115.5,
                                                  outageAngleOf(4.5, sun::Band::Ku), 2031));
        QVERIFY(b.messages.empty());
    }

    void saveWritesTheGbkTable() {
        Bench b;
        const testing::TempFolder folder;
        const OutageParts p(b.openOutage());
        b.saveTo = folder.path() / "日凌.txt";
        b.click(p.save);
        const auto bytes = common::readFileBytes(*b.saveTo);
        QVERIFY(bytes);
        const auto days = sun::outageForecast(116.4, 39.9, 115.5, outageAngleOf(1.5, sun::Band::C),
                                              p.year->text().toInt());
        QVERIFY(*bytes == sun::outageTableFile(days).bytes);
        QVERIFY(bytes->starts_with("\xC8\xD5\xC6\xDA\t")); // 日期 in GBK
        QVERIFY(bytes->find("\r\n") != std::string::npos);
        QVERIFY(bytes->find("\n") == bytes->find("\r\n") + 1);
        QCOMPARE(b.messages.size(), std::size_t{1});
        QCOMPARE(q(b.messages[0].caption), QStringLiteral("保存成功"));

        b.saveTo.reset();
        b.click(p.save);
        QCOMPARE(q(b.messages.back().caption), QStringLiteral("保存失败"));
    }

    void copyPutsTheTableOnTheClipboard() {
        Bench b;
        const OutageParts p(b.openOutage());
        QGuiApplication::clipboard()->clear();
        b.click(p.copy);
        const auto days = sun::outageForecast(116.4, 39.9, 115.5, outageAngleOf(1.5, sun::Band::C),
                                              p.year->text().toInt());
        QCOMPARE(QGuiApplication::clipboard()->text(), q(sun::outageTableText(days)));
        QCOMPARE(q(b.messages.back().caption), QStringLiteral("复制成功"));
    }

    void theDirectionWindowGivesTheCoresMinutes() {
        Bench b;
        QVERIFY(!b.directionWindow());
        SunDirectionWindow* w = b.openDirection();
        QVERIFY(w && w->isVisible() && w->isWindow());
        const DirectionParts p(w);
        QCOMPARE(w->windowTitle(), QStringLiteral("太阳定向"));
        QCOMPARE(p.date->text(), QStringLiteral("2025-06-01"));
        const sun::Direction satellite = sun::satelliteDirection(116.4, 39.9, 115.5);
        QCOMPARE(p.azimuth->text(), QStringLiteral("%1°（仰角 %2°）")
                                        .arg(satellite.azimuth, 0, 'f', 1)
                                        .arg(satellite.elevation, 0, 'f', 1));

        const struct {
            const char* date;
            sun::LocalDate local;
        } cases[] = {{"2025-06-01", {2025, 6, 1}},
                     {"2025-03-20", {2025, 3, 20}},
                     {"2024-12-21", {2024, 12, 21}}};
        for (const auto& c : cases) {
            typeInto(p.date, QString::fromUtf8(c.date));
            b.click(p.compute);
            const auto crossings = sun::sunAtAzimuth(116.4, 39.9, satellite.azimuth, c.local);
            QCOMPARE(crossings.size(), std::size_t{1});
            const QString expected = QStringLiteral("%1　太阳仰角 %2°")
                                         .arg(q(sun::minuteText(crossings[0].minute)))
                                         .arg(crossings[0].sunElevation, 0, 'f', 1);
            QCOMPARE(p.times->text(), expected);
            QCOMPARE(p.advice->text(), q(sun::shadowAimText(crossings)));
            QVERIFY(p.advice->text().contains(q(sun::minuteText(crossings[0].minute))));
        }
        typeInto(p.date, QStringLiteral("2025-06-01"));
        b.click(p.compute);
        saveShot(w, "sunwindows-direction.png");
        QCOMPARE(b.openDirection(), w);
        QVERIFY(b.messages.empty());
    }

    void theDirectionWindowSaysWhenTheSunNeverGetsThere() {
        Bench b;
        // 55 N in midwinter: the sun rises south of east, the satellite far to the east stays
        // out of its reach all day.
        typeInto(b.tab.longitudeEdit(), QStringLiteral("75"));
        typeInto(b.tab.latitudeEdit(), QStringLiteral("55"));
        choose(b.tab.satelliteList(), 3);
        SunDirectionWindow* w = b.openDirection();
        QVERIFY(w && w->isVisible());
        const DirectionParts p(w);
        typeInto(p.date, QStringLiteral("2025-12-21"));
        b.click(p.compute);
        const double azimuth = sun::satelliteDirection(75, 55, 140).azimuth;
        QVERIFY(sun::sunAtAzimuth(75, 55, azimuth, {2025, 12, 21}).empty());
        QCOMPARE(p.times->text(), QStringLiteral("- -"));
        QCOMPARE(p.advice->text(), q(sun::shadowAimText({})));
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
        typeInto(b.tab.longitudeEdit(), QStringLiteral("200"));
        QVERIFY(!b.openOutage() || !b.outageWindow()->isVisible());
        QVERIFY(lastIs(pointing::siteErrorText(pointing::SiteError::Longitude)));
        typeInto(b.tab.longitudeEdit(), QStringLiteral("116.4"));
        typeInto(b.tab.latitudeEdit(), QStringLiteral("-3"));
        QVERIFY(!b.openDirection() || !b.directionWindow()->isVisible());
        QVERIFY(lastIs(pointing::siteErrorText(pointing::SiteError::Latitude)));
        typeInto(b.tab.latitudeEdit(), QStringLiteral("39.9"));

        // A satellite below the horizon.
        choose(b.tab.satelliteList(), 2);
        const std::size_t before = b.messages.size();
        QVERIFY(!b.openOutage() || !b.outageWindow()->isVisible());
        QVERIFY(lastIs(kBelowHorizonText));
        QVERIFY(!b.openDirection() || !b.directionWindow()->isVisible());
        QVERIFY(lastIs(kBelowHorizonText));
        QCOMPARE(b.messages.size(), before + 2);
        choose(b.tab.satelliteList(), 1);

        SunOutageWindow* outage = b.openOutage();
        QVERIFY(outage->isVisible());
        const OutageParts p(outage);
        const int rows = p.table->rowCount();
        for (const char* diameter : {"abc", "0", "-60", "", "1e999"}) {
            const std::size_t count = b.messages.size();
            typeInto(p.diameter, QString::fromUtf8(diameter));
            b.click(p.compute);
            QCOMPARE(b.messages.size(), count + 1);
            QVERIFY2(lastIs(kDiameterErrorText), diameter);
        }
        typeInto(p.diameter, QStringLiteral("150"));
        for (const char* year : {"1800", "2200", "20x5", ""}) {
            const std::size_t count = b.messages.size();
            typeInto(p.year, QString::fromUtf8(year));
            b.click(p.compute);
            QCOMPARE(b.messages.size(), count + 1);
            QVERIFY2(lastIs(kYearErrorText), year);
        }
        QCOMPARE(p.table->rowCount(), rows);

        SunDirectionWindow* direction = b.openDirection();
        QVERIFY(direction->isVisible());
        const DirectionParts d(direction);
        for (const char* date :
             {"2025-02-29", "2025-13-01", "2025-04-31", "1900-03-20", "today", "2025/03/20"}) {
            const std::size_t count = b.messages.size();
            typeInto(d.date, QString::fromUtf8(date));
            b.click(d.compute);
            QCOMPARE(b.messages.size(), count + 1);
            QVERIFY2(lastIs(kDateErrorText), date);
        }
    }
};

QTEST_MAIN(SunWindowsTest)
#include "SunWindowsTest.moc"
