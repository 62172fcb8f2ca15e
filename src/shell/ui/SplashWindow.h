#pragma once

#include <QWidget>

class QLabel;

namespace zorvast::shell::ui {

// Shown while the program starts: the logo and "正在启动，请稍候...".
class SplashWindow : public QWidget {
    Q_OBJECT
public:
    explicit SplashWindow(QWidget* owner = nullptr);
    QLabel* logo() const { return logo_; }

private:
    QLabel* logo_ = nullptr;
};

} // namespace zorvast::shell::ui
