// What the main window does across its tabs: the status-line hint and the lazy loading on a
// tab change, the satellite details and "寻星" of the parameter tab, and the about box behind
// the logo.
#pragma once

#include "common/Clock.h"
#include "shell/startup/AppState.h"

#include <QObject>

namespace zorvast::pointing::ui {
class PointingController;
}

namespace zorvast::shell::ui {

class MainWindow;

class TabWiring : public QObject {
    Q_OBJECT
public:
    TabWiring(MainWindow& window, AppState& state, pointing::ui::PointingController& pointing,
              common::Clock& clock, QObject* parent = nullptr);

    // From now on the logo button opens the about box; connecting again adds nothing.
    void connectLogoButton();
    // The about box, modal over the main window.
    void openAbout();

private:
    void onTabChanged(int index);
    void showSatelliteInfo();
    void findSatellite();

    MainWindow& window_;
    AppState& state_;
    pointing::ui::PointingController& pointing_;
    common::Clock& clock_;
};

} // namespace zorvast::shell::ui
