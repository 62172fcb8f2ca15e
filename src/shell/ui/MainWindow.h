#pragma once

#include <QMainWindow>

class QTabWidget;

namespace zorvast::shell::ui {

// The program's one main window: 800 x 588, nine tabs under a top strip.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);

    QTabWidget* tabs() const { return tabs_; }

private:
    QTabWidget* tabs_ = nullptr;
};

} // namespace zorvast::shell::ui
