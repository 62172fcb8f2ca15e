// What the two sun windows share: the site, satellite and dish they were opened for, and the
// boxes they report through.
#pragma once

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
    std::string longitudeText;
    std::string latitudeText;
    std::string satelliteText; // a satellite list item, "E115.5(中星6B)"
    double diameterCm = 0;     // of the chosen antenna model
    sun::Band band = sun::Band::C;
};

struct SunWindowDependencies {
    // A modal box with an OK button.
    std::function<void(const std::string& caption, const std::string& text, bool warning)>
        showMessage;
    // The file a table is saved to, nothing when the user cancels.
    std::function<std::optional<std::filesystem::path>()> askSaveFile;
    // Today in Beijing.
    std::function<sun::LocalDate()> today;
};

inline constexpr std::string_view kBelowHorizonText = "这颗卫星在本地地平线以下，收不到信号。";
inline constexpr std::string_view kDiameterErrorText = "天线口径请输入大于0的数字（厘米）。";

// Degrees east of a satellite list item: the position code, west ones negative.
double satelliteEastOf(std::string_view satelliteText);

class SunWindowBase : public QWidget {
    Q_OBJECT
public:
    QLabel* placeLabel() const { return placeLabel_; }

protected:
    SunWindowBase(SunWindowDependencies dependencies, QWidget* parent);

    // Takes the context and checks the site and the satellite: the input error box and false
    // when either cannot be used.
    bool takeContext(const SunContext& context);
    void showWindow();

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
