// The pointing tab's two sun buttons: each opens its window for the tab's current site,
// satellite and antenna model, one window of each kind, raised when opened again.
#pragma once

#include "pointing/ui/SunWindowBase.h"

#include <QObject>

namespace zorvast::pointing::ui {

class PointingTab;
class SunDirectionWindow;
class SunOutageWindow;

class SunToolsController : public QObject {
    Q_OBJECT
public:
    SunToolsController(PointingTab* tab, SunWindowDependencies dependencies,
                       QObject* parent = nullptr);

    // The tab's choices now: C band for a prime-focus dish, Ku for an offset one.
    SunContext currentContext() const;

    void openOutageWindow();
    void openDirectionWindow();

private:
    PointingTab* tab_;
    SunWindowDependencies deps_;
    // Nothing until first opened.
    SunOutageWindow* outageWindow_ = nullptr;
    SunDirectionWindow* directionWindow_ = nullptr;
};

} // namespace zorvast::pointing::ui
