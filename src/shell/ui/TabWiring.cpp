#include "shell/ui/TabWiring.h"

#include "channels/ui/ParameterTab.h"
#include "common/ui/QtText.h"
#include "info/ui/CommunityTab.h"
#include "info/ui/TradeTab.h"
#include "pointing/report/SatelliteInfo.h"
#include "pointing/ui/PointingController.h"
#include "pointing/ui/PointingTab.h"
#include "shell/startup/TabHints.h"
#include "shell/ui/AboutWindow.h"
#include "shell/ui/MainWindow.h"

#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QToolButton>

namespace zorvast::shell::ui {

namespace {

constexpr auto q = common::ui::qText;

} // namespace

TabWiring::TabWiring(MainWindow& window, AppState& state,
                     pointing::ui::PointingController& pointing, common::Clock& clock,
                     QObject* parent)
    : QObject(parent), window_(window), state_(state), pointing_(pointing), clock_(clock) {
    auto* parameters = window_.parameterTab();
    connect(parameters->satelliteList(), qOverload<int>(&QComboBox::activated), this,
            [this](int) { showSatelliteInfo(); });
    connect(parameters->findSatelliteButton(), &QPushButton::clicked, this,
            [this] { findSatellite(); });
    connect(window_.tabs(), &QTabWidget::currentChanged, this,
            [this](int index) { onTabChanged(index); });
}

void TabWiring::connectLogoButton() {
    connect(window_.logoButton(), &QToolButton::clicked, this, &TabWiring::openAbout,
            Qt::UniqueConnection);
}

void TabWiring::openAbout() {
    AboutWindow about(&window_, window_.logoButton(), state_.paths.workFolder, clock_);
    about.openAbout();
    about.exec();
}

void TabWiring::onTabChanged(int index) {
    window_.statusText()->setText(q(tabHintFor(index, state_.paths.storedFile)));
    if (index == MainWindow::TradeTabIndex) {
        window_.tradeTab()->openTradeTab();
    } else if (index == MainWindow::CommunityTabIndex) {
        window_.communityTab()->openCommunityTab();
    }
    window_.versionText()->setText(q(tabVersionText()));
    window_.pageProgress()->setValue(0);
}

void TabWiring::showSatelliteInfo() {
    auto* parameters = window_.parameterTab();
    const std::optional<SatelliteEntry> entry =
        state_.satelliteAt(parameters->satelliteList()->currentIndex());
    const std::string text =
        entry
            ? pointing::satelliteInfoText(parameters->satelliteList()->currentText().toStdString(),
                                          entry->s_rema, entry->s_max, entry->s_min)
            : std::string(pointing::kDefaultDetailText);
    parameters->detailText()->setText(q(text));
}

void TabWiring::findSatellite() {
    // Only the index is copied: the two lists hold the same satellites in the same order.
    auto* pointingList = window_.pointingTab()->satelliteList();
    {
        const QSignalBlocker quiet(pointingList);
        pointingList->setCurrentIndex(window_.parameterTab()->satelliteList()->currentIndex());
    }
    window_.tabs()->setCurrentIndex(MainWindow::PointingTabIndex);
    pointing_.runPointingCalculation();
}

} // namespace zorvast::shell::ui
