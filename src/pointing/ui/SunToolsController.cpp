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
    context.longitudeText = text(tab_->longitudeEdit()->text());
    context.latitudeText = text(tab_->latitudeEdit()->text());
    context.satelliteText = text(tab_->satelliteList()->currentText());
    context.diameterCm = antennaDiameterOf(text(tab_->antennaModelList()->currentText()));
    context.band = tab_->primeFeedButton()->isChecked() ? sun::Band::C : sun::Band::Ku;
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
