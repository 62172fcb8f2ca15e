#include "shell/ui/SplashWindow.h"

#include <QLabel>
#include <QVBoxLayout>

namespace zorvast::shell::ui {

SplashWindow::SplashWindow(QWidget* owner)
    : QWidget(owner, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setFixedSize(194, 82);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(2);
    logo_ = new QLabel(QStringLiteral("Zorvast"), this);
    logo_->setFixedSize(185, 58);
    logo_->setAlignment(Qt::AlignCenter);
    logo_->setStyleSheet(QStringLiteral(
        "QLabel { font-size: 22pt; font-weight: bold; color: #1f3f8f; background: #eef2fb; }"));
    auto* text = new QLabel(QStringLiteral("正在启动，请稍候..."), this);
    text->setAlignment(Qt::AlignCenter);
    layout->addWidget(logo_);
    layout->addWidget(text);
    setStyleSheet(QStringLiteral("SplashWindow { background: white; border: 1px solid #8fa0c8; }"));
    setAttribute(Qt::WA_StyledBackground);
}

} // namespace zorvast::shell::ui
