// A start that ends by itself, for checking an installation: with ZORVAST_QUIT_AFTER_START set,
// the program says "zorvast: main window up" on standard output once its main window is shown
// and ready for input, and then ends as if the window had been closed.
#pragma once

#include "shell/ui/AppController.h"
#include "shell/ui/MainWindow.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>

namespace zorvast::app {

inline constexpr const char* kQuitAfterStartVariable = "ZORVAST_QUIT_AFTER_START";

// Does nothing unless the variable is set. Kept in this header so that every program built
// from main.cpp has it without another source file.
inline void quitAfterStartWhenAsked(QApplication& app, shell::ui::AppController& controller) {
    if (!qEnvironmentVariableIsSet(kQuitAfterStartVariable)) {
        return;
    }
    auto* timer = new QTimer(&app);
    QObject::connect(timer, &QTimer::timeout, &app, [&app, &controller, timer] {
        // Ready: the initialisation has ended and the window takes input.
        shell::ui::MainWindow* window = controller.window();
        if (!controller.initialisationDone() || !window || !window->isVisible() ||
            !window->isEnabled()) {
            return;
        }
        timer->stop();
        std::puts("zorvast: main window up");
        std::fflush(stdout);
        window->close();
        app.quit();
    });
    timer->start(100);
}

} // namespace zorvast::app
