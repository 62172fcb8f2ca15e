#include "shell/ui/SplashWindow.h"

#include "common/Clock.h"
#include "common/ui/UiThread.h"
#include "shell/Messages.h"

#include <QEvent>
#include <QLabel>
#include <QToolButton>

using namespace std::chrono_literals;

namespace zorvast::shell::ui {

using common::ui::postToUi;
using common::ui::runOnUi;

SplashWindow::SplashWindow(QWidget* owner)
    : QWidget(owner, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("splashWindow"));
    setFixedSize(194, 82);
    // A fixed window: the picture at the top, the caption in the strip under it.
    logo_ = new QLabel(this);
    logo_->setGeometry(QRect(QPoint(4, 3), kLogoPictureSize));
    logo_->setAlignment(Qt::AlignCenter);
    text_ = new QLabel(QString::fromUtf8(messages::kSplashBusyText), this);
    text_->setGeometry(2, 61, 190, 19);
    text_->setAlignment(Qt::AlignCenter);
    text_->setStyleSheet(QStringLiteral("QLabel { color: rgb(52, 60, 72); }"));
    setStyleSheet(QStringLiteral("#splashWindow { background: qlineargradient(x1:0, y1:0, x2:0, "
                                 "y2:1, stop:0 rgb(253, 253, 251), stop:1 rgb(235, 236, 232)); "
                                 "border: 1px solid rgb(150, 160, 172); }"));
    setAttribute(Qt::WA_StyledBackground);
    showSplashLogo();
}

void SplashWindow::showSplashLogo() {
    logo_->setPixmap(logoPictureA());
}

void SplashWindow::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    // Start-up disables the main window while the splash stands over it, and that reaches the
    // splash too; a window may stay enabled on its own, so the logo is not shown greyed out.
    if (event->type() == QEvent::EnabledChange && !isEnabled()) {
        setEnabled(true);
    }
}

void runSplashSequence(SplashSequenceView& view, common::Clock& clock, bool downloadMode) {
    clock.sleepFor(1000ms);
    if (downloadMode) {
        clock.sleepFor(4000ms);
    }
    const QPoint first = view.splashPosition();
    for (int i = 1; i <= 5; ++i) {
        view.moveSplash(QPoint(first.x() + 50 * i, first.y() - 40 * i));
        clock.sleepFor(20ms);
    }
    view.hideSplash();
    view.setLogo(LogoPicture::A);
    clock.sleepFor(100ms);
    view.setLogo(LogoPicture::B);
    clock.sleepFor(200ms);
    view.setLogo(LogoPicture::A);
    view.finish();
}

SplashWindowView::SplashWindowView(QObject* context, SplashWindow* splash, QWidget* mainWindow,
                                   QToolButton* logoButton)
    : context_(context), splash_(splash), mainWindow_(mainWindow), logoButton_(logoButton) {}

QPoint SplashWindowView::splashPosition() {
    QPoint position;
    runOnUi(context_, [&] {
        if (splash_) {
            position = splash_->pos();
        }
    });
    return position;
}

void SplashWindowView::moveSplash(QPoint topLeft) {
    postToUi(context_, [splash = splash_, topLeft] {
        if (splash) {
            splash->move(topLeft);
        }
    });
}

void SplashWindowView::hideSplash() {
    postToUi(context_, [splash = splash_] {
        if (splash) {
            splash->hide();
        }
    });
}

void SplashWindowView::setLogo(LogoPicture picture) {
    postToUi(context_, [button = logoButton_, picture] { setLogoButtonPicture(button, picture); });
}

void SplashWindowView::finish() {
    postToUi(context_, [window = mainWindow_, splash = splash_] {
        if (window) {
            window->setEnabled(true);
        }
        if (splash) {
            splash->close();
            splash->deleteLater();
        }
    });
}

} // namespace zorvast::shell::ui
