// A start that ends by itself, for checking an installation: with ZORVAST_QUIT_AFTER_START set,
// the program says "zorvast: main window up" on standard output once its main window is shown
// and ready for input, and then ends as if the window had been closed.
#pragma once

class QApplication;

namespace zorvast::shell::ui {
class AppController;
}

namespace zorvast::app {

inline constexpr const char* kQuitAfterStartVariable = "ZORVAST_QUIT_AFTER_START";

// Does nothing unless the variable is set.
void quitAfterStartWhenAsked(QApplication& app, shell::ui::AppController& controller);

} // namespace zorvast::app
