#include "pointing/ui/SunToolsController.h"

#include "common/ui/QtText.h"
#include "pointing/antennas/AntennaCatalogue.h"
#include "pointing/ui/PointingTab.h"
#include "pointing/ui/SunDirectionWindow.h"
#include "pointing/ui/SunOutageWindow.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace zorvast::pointing::ui {

namespace {

constexpr auto text = common::ui::stdText;

} // namespace

SunToolsController::SunToolsController(PointingTab* tab, SunWindowDependencies dependencies,
                                       QObject* parent)
    : QObject(parent), tab_(tab), deps_(std::move(dependencies)) {
    connect(tab_->sunOutageButton(), &QPushButton::clicked, this, [this] { openOutageWindow(); });
    connect(tab_->sunDirectionButton(), &QPushButton::clicked, this,
            [this] { openDirectionWindow(); });
}

SunContext SunToolsController::currentContext() const {
    SunContext context;
    const std::string longitude = text(tab_->longitudeEdit()->text());
    const std::string latitude = text(tab_->latitudeEdit()->text());
    const std::string satellite = text(tab_->satelliteList()->currentText());
    const bool prime = tab_->primeFeedButton()->isChecked();
    context.site = readSite(longitude, latitude);
    context.satellite = readSatelliteItem(satellite);
    context.placeText = sunPlaceText(longitude, latitude, satellite);
    context.diameterCm =
        antennaDiameterAt(antennaCatalogueFor(prime ? FeedType::PrimeFocus : FeedType::Offset),
                          tab_->antennaModelList()->currentIndex());
    context.band = prime ? sun::Band::C : sun::Band::Ku;
    return context;
}

void SunToolsController::openOutageWindow() {
    if (!outageWindow_) {
        outageWindow_ = new SunOutageWindow(deps_, tab_->window());
    }
    outageWindow_->showFor(currentContext());
}

void SunToolsController::openDirectionWindow() {
    if (!directionWindow_) {
        directionWindow_ = new SunDirectionWindow(deps_, tab_->window());
    }
    directionWindow_->showFor(currentContext());
}

} // namespace zorvast::pointing::ui
