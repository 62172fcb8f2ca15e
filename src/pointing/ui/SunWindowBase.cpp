#include "pointing/ui/SunWindowBase.h"

#include "common/Numbers.h"
#include "common/ui/QtText.h"
#include "pointing/geometry/PointingGeometry.h"
#include "pointing/sun/SunPosition.h"

#include <QLabel>

namespace zorvast::pointing::ui {

double satelliteEastOf(std::string_view satelliteText) {
    const double longitude = satelliteLongitudeOf(satelliteText);
    return !satelliteText.empty() && satelliteText.front() == 'W' ? -longitude : longitude;
}

SunWindowBase::SunWindowBase(SunWindowDependencies dependencies, QWidget* parent)
    : QWidget(parent, Qt::Window), deps_(std::move(dependencies)) {
    placeLabel_ = new QLabel(this);
    placeLabel_->setTextFormat(Qt::PlainText);
}

bool SunWindowBase::takeContext(const SunContext& context) {
    const double longitude = common::parseLeadingNumber(context.longitudeText);
    const double latitude = common::parseLeadingNumber(context.latitudeText);
    const SiteError error = checkSite(longitude, latitude);
    if (error != SiteError::None) {
        inputError(siteErrorText(error));
        return false;
    }
    const double satellite = satelliteEastOf(context.satelliteText);
    if (sun::satelliteDirection(longitude, latitude, satellite).elevation < 0) {
        inputError(kBelowHorizonText);
        return false;
    }
    context_ = context;
    siteLongitude_ = longitude;
    siteLatitude_ = latitude;
    satelliteLongitude_ = satellite;
    placeLabel_->setText(common::ui::qText("经度 " + context.longitudeText + "　纬度 " +
                                           context.latitudeText + "　卫星 " +
                                           context.satelliteText));
    return true;
}

void SunWindowBase::showWindow() {
    show();
    raise();
    activateWindow();
}

void SunWindowBase::showMessage(const std::string& caption, const std::string& text, bool warning) {
    if (deps_.showMessage) {
        deps_.showMessage(caption, text, warning);
    }
}

void SunWindowBase::inputError(std::string_view text) {
    showMessage(std::string(kInputErrorCaption), std::string(text), true);
}

} // namespace zorvast::pointing::ui
