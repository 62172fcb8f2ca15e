#include "app/StartCheck.h"

#include "shell/ui/AppController.h"
#include "shell/ui/MainWindow.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>

namespace zorvast::app {

void quitAfterStartWhenAsked(QApplication& app, shell::ui::AppController& controller) {
    if (!qEnvironmentVariableIsSet(kQuitAfterStartVariable)) {
        return;
    }
    auto* timer = new QTimer(&app);
    QObject::connect(timer, &QTimer::timeout, &app, [&app, &controller, timer] {
        // Ready: the initialisation has ended and the window takes input.
        const shell::ui::MainWindow* window = controller.window();
        if (!controller.initialisationDone() || !window || !window->isVisible() ||
            !window->isEnabled()) {
            return;
        }
        timer->stop();
        std::puts("zorvast: main window up");
        std::fflush(stdout);
        controller.window()->close();
        app.quit();
    });
    timer->start(100);
}

} // namespace zorvast::app
