#include "shell/ui/StartUpWindowView.h"

#include "common/Hooks.h"
#include "common/ui/UiThread.h"
#include "info/ui/NewsGrid.h"
#include "info/ui/NewsTab.h"
#include "shell/ui/LogoArtwork.h"
#include "shell/ui/MainWindow.h"
#include "shell/ui/MessageBoxes.h"
#include "shell/ui/SplashWindow.h"

#include <QCoreApplication>

namespace zorvast::shell::ui {

StartUpWindowView::StartUpWindowView(MainWindow& window, StartUpWindowHooks hooks)
    : window_(window), hooks_(std::move(hooks)) {}

SplashWindow* StartUpWindowView::splash() const {
    return splash_;
}

void StartUpWindowView::showSplash() {
    window_.show();
    splash_ = new SplashWindow(&window_);
    const QRect frame = window_.geometry();
    splash_->move(frame.center() - QPoint(splash_->width() / 2, splash_->height() / 2));
    splash_->show();
    QCoreApplication::processEvents();
}

void StartUpWindowView::prepareMainWindow() {
    window_.newsTab()->newsLists()->clear();
    setLogoButtonPicture(window_.logoButton(), LogoPicture::Blank);
    common::callIfSet(hooks_.connectLogoButton);
}

Answer StartUpWindowView::askRetryCancel(const std::string& caption, const std::string& text) {
    return askRetryCancelBox(&window_, caption, text);
}

void StartUpWindowView::showMessage(const std::string& caption, const std::string& text) {
    showInformationBox(&window_, caption, text);
}

DownloadWindowOutcome StartUpWindowView::runDownloadWindow() {
    return hooks_.runDownloadWindow ? hooks_.runDownloadWindow() : DownloadWindowOutcome::Closed;
}

void StartUpWindowView::setMainWindowEnabled(bool enabled) {
    common::ui::postToUi(&window_, [w = &window_, enabled] { w->setEnabled(enabled); });
}

void StartUpWindowView::processEvents() {
    common::ui::processUiEvents();
}

} // namespace zorvast::shell::ui
