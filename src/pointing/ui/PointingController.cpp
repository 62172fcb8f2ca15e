#include "pointing/ui/PointingController.h"
#include "common/ui/QtText.h"

#include "common/Files.h"
#include "common/Numbers.h"
#include "common/Text.h"
#include "common/ui/Dialogs.h"
#include "pointing/antennas/AntennaCatalogue.h"
#include "pointing/calculators/FeedSpacing.h"
#include "pointing/calculators/Obstacle.h"
#include "pointing/coverage/DishSize.h"
#include "pointing/places/CityLookup.h"
#include "pointing/places/ProvinceCodes.h"
#include "pointing/report/PointingReport.h"
#include "pointing/ui/DiagramCanvas.h"
#include "pointing/ui/PointingTab.h"
#include "pointing/ui/SunToolsController.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <ctime>

namespace zorvast::pointing::ui {

namespace {

constexpr auto q = common::ui::qText;
constexpr auto text = common::ui::stdText;

} // namespace

PointingController::PointingController(PointingTab* tab, PointingDependencies dependencies,
                                       QObject* parent)
    : QObject(parent), tab_(tab), deps_(std::move(dependencies)), diagram_(tab->diagramCanvas()) {
    connect(tab_->provinceList(), qOverload<int>(&QComboBox::activated), this,
            [this](int) { refillCityList(); });
    connect(tab_->cityList(), qOverload<int>(&QComboBox::activated), this,
            [this](int) { lookupCityCoordinates(); });
    connect(tab_->satelliteList(), qOverload<int>(&QComboBox::activated), this,
            [this](int) { runPointingCalculation(); });
    connect(tab_->antennaModelList(), qOverload<int>(&QComboBox::activated), this,
            [this](int) { runPointingCalculation(); });
    connect(tab_->primeFeedButton(), &QRadioButton::clicked, this, [this] { fillAntennaList(); });
    connect(tab_->offsetFeedButton(), &QRadioButton::clicked, this,
            [this] { onOffsetFeedClicked(); });
    connect(tab_->uprightButton(), &QRadioButton::clicked, this,
            [this] { runPointingCalculation(); });
    connect(tab_->invertedButton(), &QRadioButton::clicked, this,
            [this] { runPointingCalculation(); });
    connect(tab_->declinationCheck(), &QCheckBox::clicked, this,
            [this] { runPointingCalculation(); });
    connect(tab_->calculateButton(), &QPushButton::clicked, this,
            [this] { runPointingCalculation(); });
    connect(tab_->dishSizeButton(), &QPushButton::clicked, this, [this] { suggestDishSize(); });
    connect(tab_->feedSpacingButton(), &QPushButton::clicked, this,
            [this] { estimateFeedSpacing(); });
    connect(tab_->clearanceButton(), &QPushButton::clicked, this,
            [this] { computeObstacleClearance(); });
    connect(tab_->saveReportButton(), &QPushButton::clicked, this,
            [this] { exportPointingReport(ExportMode::Save); });
    connect(tab_->copyReportButton(), &QPushButton::clicked, this,
            [this] { exportPointingReport(ExportMode::Copy); });

    SunWindowDependencies sunDeps;
    sunDeps.showMessage = [this](const std::string& caption, const std::string& body,
                                 bool warning) {
        showMessage(caption, body, warning);
    };
    sunDeps.askSaveFile = [this] {
        return askSaveFile();
    };
    sunDeps.today = deps_.today;
    if (!sunDeps.today) {
        sunDeps.today = [] {
            return sun::beijingDateOf(static_cast<double>(std::time(nullptr)));
        };
    }
    sunTools_ = new SunToolsController(tab_, std::move(sunDeps), this);
}

// --- places

void PointingController::fillLocationLists() {
    const QSignalBlocker quietProvinces(tab_->provinceList());
    const QSignalBlocker quietCities(tab_->cityList());
    tab_->provinceList()->clear();
    for (const auto& province : kProvinceCodes) {
        tab_->provinceList()->addItem(q(province.listText));
    }
    tab_->provinceList()->setCurrentIndex(kDefaultProvinceIndex);
    tab_->cityList()->clear();
    for (std::string_view city : kInitialCities) {
        tab_->cityList()->addItem(q(city));
    }
    tab_->cityList()->setCurrentIndex(kDefaultCityIndex);
}

void PointingController::refillCityList() {
    const int index = tab_->provinceList()->currentIndex();
    if (index < 0 || index >= static_cast<int>(kProvinceCodes.size())) {
        return;
    }
    tab_->provinceList()->setEnabled(false);
    tab_->cityList()->setEnabled(false);
    const auto names = cityNames(deps_.cityDatabase, kProvinceCodes[index].sta);
    {
        const QSignalBlocker quiet(tab_->cityList());
        tab_->cityList()->clear();
        for (const std::string& name : names) {
            tab_->cityList()->addItem(q(name));
        }
        tab_->cityList()->setCurrentIndex(names.empty() ? -1 : 0);
    }
    QCoreApplication::processEvents();
    tab_->provinceList()->setEnabled(true);
    tab_->cityList()->setEnabled(true);
    lookupCityCoordinates();
}

void PointingController::lookupCityCoordinates() {
    const int index = tab_->provinceList()->currentIndex();
    if (index < 0 || index >= static_cast<int>(kProvinceCodes.size())) {
        return;
    }
    tab_->provinceList()->setEnabled(false);
    tab_->cityList()->setEnabled(false);
    const auto point = cityCoordinates(deps_.cityDatabase, kProvinceCodes[index].sta,
                                       text(tab_->cityList()->currentText()));
    if (point) {
        tab_->longitudeEdit()->setText(q(coordinateText(point->lo)));
        tab_->latitudeEdit()->setText(q(coordinateText(point->la)));
    }
    QCoreApplication::processEvents();
    tab_->provinceList()->setEnabled(true);
    tab_->cityList()->setEnabled(true);
    // A place without a row (an unreadable database) leaves the boxes alone; recomputing on
    // them could bring back the same input message again and again.
    if (point) {
        runPointingCalculation();
    }
}

// --- antennas

FeedType PointingController::feedType() const {
    return tab_->primeFeedButton()->isChecked() ? FeedType::PrimeFocus : FeedType::Offset;
}

Mounting PointingController::mounting() const {
    return tab_->invertedButton()->isChecked() ? Mounting::Inverted : Mounting::Upright;
}

void PointingController::fillAntennaList() {
    const FeedType feed = feedType();
    if (feed == FeedType::PrimeFocus) {
        // Both keep their on/off state for the next offset dish.
        tab_->uprightButton()->setEnabled(false);
        tab_->invertedButton()->setEnabled(false);
    }
    {
        const QSignalBlocker quiet(tab_->antennaModelList());
        tab_->antennaModelList()->clear();
        for (const AntennaModel& model : antennaCatalogueFor(feed)) {
            tab_->antennaModelList()->addItem(q(model.modelText), model.offsetAngle);
        }
        tab_->antennaModelList()->setCurrentIndex(defaultAntennaIndex(feed));
    }
    QCoreApplication::processEvents();
    runPointingCalculation();
}

void PointingController::onOffsetFeedClicked() {
    if (tab_->offsetFeedButton()->isChecked()) {
        tab_->uprightButton()->setEnabled(true);
        tab_->invertedButton()->setEnabled(true);
    }
    fillAntennaList();
    QCoreApplication::processEvents();
    runPointingCalculation();
}

// --- the run

void PointingController::runPointingCalculation() {
    PointingInputs inputs;
    inputs.site = typedSite();
    inputs.satellite = readSatelliteItem(text(tab_->satelliteList()->currentText()));
    inputs.feed = feedType();
    inputs.mounting = mounting();
    inputs.antennaOffset = tab_->antennaModelList()->currentData().toInt();
    inputs.declinationCorrection = tab_->declinationCheck()->isChecked();
    const int satellite = tab_->satelliteList()->currentIndex();
    if (deps_.coverageAt && satellite >= 0) {
        const SatelliteCoverage coverage = deps_.coverageAt(satellite);
        inputs.coverage = readCoverage(coverage.sC, coverage.sKu);
    }

    const PointingOutcome outcome =
        runPointing(inputs, readStrength(text(tab_->strengthEdit()->text())), result_, diagram_);
    if (outcome.error != SiteError::None) {
        showMessage(std::string(kInputErrorCaption), std::string(siteErrorText(outcome.error)),
                    true);
        // The restore runs once: a stored place that is itself refused must not loop.
        if (!restoring_) {
            restoring_ = true;
            lookupCityCoordinates();
            restoring_ = false;
        }
        return;
    }
    tab_->azimuthLabel()->setText(q(result_.azimuth.text()));
    tab_->elevationLabel()->setText(q(result_.elevation.text()));
    tab_->polarisationLabel()->setText(q(result_.polarisation.text()));
    if (outcome.strength) {
        tab_->strengthEdit()->setText(q(common::formatInteger(*outcome.strength)));
    }
    if (outcome.dishSizeSuggested) {
        showDishSize(outcome.dishSize);
    }
}

void PointingController::suggestDishSize() {
    showDishSize(dishSizeFor(readStrength(text(tab_->strengthEdit()->text()))));
}

void PointingController::showDishSize(const std::optional<DishSize>& size) {
    const DishSizeTexts sizes = dishSizeTexts(size);
    tab_->thresholdSizeLabel()->setText(q(sizes.threshold));
    tab_->recommendedSizeLabel()->setText(q(sizes.recommended));
}

Site PointingController::typedSite() const {
    return readSite(text(tab_->longitudeEdit()->text()), text(tab_->latitudeEdit()->text()));
}

// --- calculators

void PointingController::estimateFeedSpacing() {
    const std::string mainItem = text(tab_->satelliteList()->currentText());
    const std::string offsetCode = text(tab_->offsetSatelliteList()->currentText());
    if (samePosition(mainItem, offsetCode)) {
        showMessage(std::string(kInputErrorCaption), std::string(kSameSatelliteText), true);
        return;
    }
    const FeedType feed = feedType();
    const FeedSpacingResult result = pointing::estimateFeedSpacing(
        {.main = readPositionCode(positionCodeOf(mainItem)),
         .offset = readPositionCode(offsetCode),
         .feed = feed,
         .diameterCm = static_cast<double>(antennaDiameterAt(
             antennaCatalogueFor(feed), tab_->antennaModelList()->currentIndex())),
         .site = typedSite()});
    const FeedSpacing& spacing = result.spacing;
    tab_->horizontalCaption()->setText(q(spacing.horizontalCaption));
    tab_->horizontalValue()->setText(q(common::formatInteger(spacing.horizontal) + "cm"));
    tab_->verticalCaption()->setText(q(spacing.verticalCaption));
    tab_->verticalValue()->setText(q(common::formatInteger(spacing.vertical) + "cm"));
    if (spacing.tooClose) {
        showMessage(std::string(kFeedsTooCloseCaption), std::string(kFeedsTooCloseText), true);
    }
    tab_->spacingPolarisationValue()->setText(q(common::formatDouble(result.polarisation)));
}

void PointingController::computeObstacleClearance() {
    using Box = ObstacleOutcome::Box;
    const ObstacleOutcome outcome = pointing::computeObstacleClearance(readObstacleInputs(
        text(tab_->obstacleDistanceEdit()->text()), text(tab_->obstacleHeightEdit()->text()),
        text(tab_->antennaHeightEdit()->text())));
    if (!outcome.message.empty()) {
        showMessage(std::string(kInputErrorCaption), std::string(outcome.message), true);
    }
    QLineEdit* corrected = outcome.correctedBox == Box::Distance ? tab_->obstacleDistanceEdit()
                           : outcome.correctedBox == Box::ObstacleHeight
                               ? tab_->obstacleHeightEdit()
                           : outcome.correctedBox == Box::AntennaHeight ? tab_->antennaHeightEdit()
                                                                        : nullptr;
    if (corrected) {
        corrected->setText(q(common::formatDouble(outcome.correctedValue)));
    }
    if (outcome.antennaBoxZeroed) {
        tab_->antennaHeightEdit()->setText(QStringLiteral("0"));
    }
    if (outcome.result) {
        tab_->clearanceValue()->setText(q(common::formatDouble(*outcome.result)));
    }
}

// --- the report

std::string PointingController::currentReport() const {
    ReportInputs inputs;
    inputs.province = text(tab_->provinceList()->currentText());
    inputs.city = text(tab_->cityList()->currentText());
    inputs.satellite = text(tab_->satelliteList()->currentText());
    inputs.antenna = text(tab_->antennaModelList()->currentText());
    inputs.feed = feedType();
    inputs.mounting = mounting();
    inputs.declinationCorrection = tab_->declinationCheck()->isChecked();
    return buildPointingReport(inputs, result_);
}

void PointingController::exportPointingReport(ExportMode mode) {
    const std::string report = exportedReportText(currentReport());
    if (mode == ExportMode::Copy) {
        QGuiApplication::clipboard()->setText(q(report));
        showMessage(std::string(kCopiedCaption), std::string(kCopiedText), false);
        return;
    }
    const std::optional<std::filesystem::path> file = askSaveFile();
    const SaveNotice notice = saveExport(file, file ? common::toGbk(report).bytes : std::string());
    showMessage(std::string(notice.caption), notice.text, notice.warning);
}

// --- boxes

void PointingController::showMessage(const std::string& caption, const std::string& body,
                                     bool warning) {
    if (deps_.showMessage) {
        deps_.showMessage(caption, body, warning);
        return;
    }
    common::ui::showOkMessage(tab_->window(), caption, body, warning);
}

std::optional<std::filesystem::path> PointingController::askSaveFile() {
    if (deps_.askSaveFile) {
        return deps_.askSaveFile();
    }
    return common::ui::askSaveFilePath(tab_->window());
}

} // namespace zorvast::pointing::ui
