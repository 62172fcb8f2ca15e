#include "pointing/ui/SunWindowBase.h"

#include "common/ui/QtText.h"
#include "pointing/geometry/PointingGeometry.h"
#include "pointing/sun/SunPosition.h"

#include <QLabel>

namespace zorvast::pointing::ui {

std::string sunPlaceText(std::string_view longitudeText, std::string_view latitudeText,
                         std::string_view satelliteText) {
    return "经度 " + std::string(longitudeText) + "　纬度 " + std::string(latitudeText) +
           "　卫星 " + std::string(satelliteText);
}

SunWindowBase::SunWindowBase(SunWindowDependencies dependencies, QWidget* parent)
    : QWidget(parent, Qt::Window), deps_(std::move(dependencies)) {
    placeLabel_ = new QLabel(this);
    placeLabel_->setObjectName(QStringLiteral("placeLabel"));
    placeLabel_->setTextFormat(Qt::PlainText);
}

bool SunWindowBase::takeContext(const SunContext& context) {
    const SiteError error = checkSite(context.site);
    if (error != SiteError::None) {
        inputError(siteErrorText(error));
        return false;
    }
    const double satellite = context.satellite.east();
    if (sun::satelliteDirection(context.site.longitude, context.site.latitude, satellite)
            .elevation < 0) {
        inputError(kBelowHorizonText);
        return false;
    }
    context_ = context;
    siteLongitude_ = context.site.longitude;
    siteLatitude_ = context.site.latitude;
    satelliteLongitude_ = satellite;
    placeLabel_->setText(common::ui::qText(context.placeText));
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
