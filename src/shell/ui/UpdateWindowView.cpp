#include "shell/ui/UpdateWindowView.h"
#include "common/ui/QtText.h"

#include "common/Hooks.h"
#include "common/ui/UiThread.h"
#include "shell/Messages.h"
#include "shell/ui/MainWindow.h"
#include "update/ui/DownloadWindow.h"

#include <QAbstractButton>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>

namespace zorvast::shell::ui {

namespace {

constexpr auto q = common::ui::qText;
using common::ui::postToUi;
using common::ui::runOnUi;

void restart(QTimer& timer, int milliseconds) {
    if (milliseconds <= 0) {
        timer.stop();
    } else {
        timer.start(milliseconds);
    }
}

} // namespace

UpdateWindowView::UpdateWindowView(MainWindow* window, UpdateWindowHooks hooks, QObject* parent)
    : QObject(parent), window_(window), hooks_(std::move(hooks)) {
    connect(&transferMonitor_, &QTimer::timeout, this,
            [this] { common::callIfSet(hooks_.transferMonitorTick); });
    connect(&deferredTimer_, &QTimer::timeout, this,
            [this] { common::callIfSet(hooks_.deferredTimerTick); });
}

void UpdateWindowView::setDownloadWindow(update::ui::DownloadWindow* window) {
    runOnUi(this, [this, window] { downloadWindow_ = window; });
}

std::string UpdateWindowView::statusText() {
    std::string text;
    runOnUi(this, [&] {
        if (window_) {
            text = window_->statusText()->text().toStdString();
        }
    });
    return text;
}

void UpdateWindowView::setStatusText(const std::string& text) {
    postToUi(this, [this, t = q(text)] {
        if (window_) {
            window_->statusText()->setText(t);
        }
    });
}

void UpdateWindowView::appendStatusText(const std::string& text) {
    postToUi(this, [this, t = q(text)] {
        if (window_) {
            window_->statusText()->setText(window_->statusText()->text() + t);
        }
    });
}

void UpdateWindowView::setDownloadLabel(const std::string& text) {
    postToUi(this, [this, t = q(text)] {
        if (downloadWindow_) {
            downloadWindow_->label()->setText(t);
        }
    });
}

void UpdateWindowView::setVersionText(const std::string& text) {
    postToUi(this, [this, t = q(text)] {
        if (window_) {
            window_->versionText()->setText(t);
        }
    });
}

void UpdateWindowView::setDownloadBarVisible(bool visible) {
    postToUi(this, [this, visible] {
        if (window_) {
            window_->downloadProgress()->setVisible(visible);
        }
    });
}

void UpdateWindowView::setBarRange(update::ProgressBar bar, int minimum, int maximum) {
    postToUi(this, [this, bar, minimum, maximum] {
        QProgressBar* target = barFor(bar);
        if (target) {
            target->setRange(minimum, maximum);
        }
    });
}

void UpdateWindowView::setBarValue(update::ProgressBar bar, int value) {
    postToUi(this, [this, bar, value] {
        QProgressBar* target = barFor(bar);
        if (target) {
            target->setValue(value);
        }
    });
}

int UpdateWindowView::barValue(update::ProgressBar bar) {
    int value = 0;
    runOnUi(this, [&] {
        QProgressBar* target = barFor(bar);
        // A bar that was never moved reads as its minimum, not -1.
        value = target ? std::max(target->value(), target->minimum()) : 0;
    });
    return value;
}

void UpdateWindowView::setTransferMonitorInterval(int milliseconds) {
    postToUi(this, [this, milliseconds] { restart(transferMonitor_, milliseconds); });
}

void UpdateWindowView::setDeferredTimerInterval(int milliseconds) {
    postToUi(this, [this, milliseconds] { restart(deferredTimer_, milliseconds); });
}

void UpdateWindowView::processEvents() {
    common::ui::processUiEvents();
}

QProgressBar* UpdateWindowView::barFor(update::ProgressBar bar) const {
    if (bar == update::ProgressBar::Main) {
        return window_ ? window_->downloadProgress() : nullptr;
    }
    return downloadWindow_ ? downloadWindow_->progressBar() : nullptr;
}

QWidget* UpdateWindowView::boxOwner() const {
    return downloadWindow_ ? static_cast<QWidget*>(downloadWindow_.data())
                           : static_cast<QWidget*>(window_.data());
}

void UpdateWindowView::showMessage(const std::string& caption, const std::string& text) {
    runOnUi(this, [&] {
        QMessageBox box(QMessageBox::NoIcon, q(caption), q(text), QMessageBox::NoButton,
                        boxOwner());
        box.addButton(q(messages::kButtonOk), QMessageBox::AcceptRole);
        box.exec();
    });
}

bool UpdateWindowView::askOkCancel(const std::string& caption, const std::string& text) {
    bool ok = false;
    runOnUi(this, [&] {
        QMessageBox box(QMessageBox::Information, q(caption), q(text), QMessageBox::NoButton,
                        boxOwner());
        QAbstractButton* okButton = box.addButton(q(messages::kButtonOk), QMessageBox::AcceptRole);
        box.addButton(q(messages::kButtonCancel), QMessageBox::RejectRole);
        box.exec();
        ok = box.clickedButton() == okButton;
    });
    return ok;
}

void UpdateWindowView::endProgram() {
    postToUi(this, [this] { common::callIfSet(hooks_.endProgram); });
}

} // namespace zorvast::shell::ui
