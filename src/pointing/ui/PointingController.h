// The handlers of the pointing tab: places, antenna models, the calculation run, the dish-size
// suggestion and the report export. The tab only holds the controls; the numbers come from the
// pointing core.
#pragma once

#include "pointing/coverage/DishSize.h"
#include "pointing/results/PointingResult.h"
#include "pointing/run/PointingRun.h"
#include "pointing/sun/SunDates.h"

#include <QObject>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace zorvast::pointing::ui {

class PointingTab;
class SunToolsController;

struct SatelliteCoverage {
    std::string sC;
    std::string sKu;
};

struct PointingDependencies {
    std::filesystem::path cityDatabase;
    // The coverage texts of the satellite at an index of the satellite list.
    std::function<SatelliteCoverage(int index)> coverageAt;
    // A modal box with an OK button; a QMessageBox when unset.
    std::function<void(const std::string& caption, const std::string& text, bool warning)>
        showMessage;
    // The file a report is saved to, nothing when the user cancels; a save dialog when unset.
    std::function<std::optional<std::filesystem::path>()> askSaveFile;
    // Today in Beijing, for the sun windows; the system clock when unset.
    std::function<sun::LocalDate()> today;
};

class PointingController : public QObject {
    Q_OBJECT
public:
    PointingController(PointingTab* tab, PointingDependencies dependencies,
                       QObject* parent = nullptr);

    void fillLocationLists();
    void refillCityList();
    void lookupCityCoordinates();
    void fillAntennaList();
    void runPointingCalculation();
    void suggestDishSize();
    void estimateFeedSpacing();
    void computeObstacleClearance();
    enum class ExportMode { Copy = 0, Save = 1 };
    void exportPointingReport(ExportMode mode);

private:
    std::string currentReport() const;
    FeedType feedType() const;
    Mounting mounting() const;
    Site typedSite() const;
    void showDishSize(const std::optional<DishSize>& size);
    void onOffsetFeedClicked();
    void showMessage(const std::string& caption, const std::string& text, bool warning);
    std::optional<std::filesystem::path> askSaveFile();

    PointingTab* tab_;
    PointingDependencies deps_;
    PointingDiagram* diagram_ = nullptr;
    SunToolsController* sunTools_ = nullptr;
    PointingResult result_;
    bool restoring_ = false;
};

} // namespace zorvast::pointing::ui
