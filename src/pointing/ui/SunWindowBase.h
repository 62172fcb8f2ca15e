// What the two sun windows share: the site, satellite and dish they were opened for, and the
// boxes they report through.
#pragma once

#include "pointing/Messages.h"
#include "pointing/geometry/Positions.h"
#include "pointing/sun/SunDates.h"
#include "pointing/sun/SunOutage.h"

#include <QWidget>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

class QLabel;

namespace zorvast::pointing::ui {

// The pointing tab's choices when a sun window is opened.
struct SunContext {
    Site site;
    OrbitalPosition satellite; // west positions count as west here
    std::string placeText;     // the boxes and the satellite item as the tab shows them
    double diameterCm = 0;     // of the chosen antenna model
    sun::Band band = sun::Band::C;
};

// The line over a sun window: "经度 116.4　纬度 39.9　卫星 E115.5(中星6B)".
std::string sunPlaceText(std::string_view longitudeText, std::string_view latitudeText,
                         std::string_view satelliteText);

struct SunWindowDependencies {
    // A modal box with an OK button.
    std::function<void(const std::string& caption, const std::string& text, bool warning)>
        showMessage;
    // The file a table is saved to, nothing when the user cancels.
    std::function<std::optional<std::filesystem::path>()> askSaveFile;
    // Today in Beijing.
    std::function<sun::LocalDate()> today;
};

class SunWindowBase : public QWidget {
    Q_OBJECT
protected:
    SunWindowBase(SunWindowDependencies dependencies, QWidget* parent);

    // Takes the context and checks the site and the satellite: the input error box and false
    // when either cannot be used.
    bool takeContext(const SunContext& context);
    void showWindow();
    QLabel* placeLabel() const { return placeLabel_; }

    void showMessage(const std::string& caption, const std::string& text, bool warning);
    void inputError(std::string_view text);

    SunWindowDependencies deps_;
    SunContext context_;
    double siteLongitude_ = 0;
    double siteLatitude_ = 0;
    double satelliteLongitude_ = 0;
    QLabel* placeLabel_ = nullptr;
};

} // namespace zorvast::pointing::ui
