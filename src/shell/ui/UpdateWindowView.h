// The update flows' window side: the main window's status line, version field and download
// bar, the download window while it is open, and the two timers. Every call may come from a
// worker; it is carried over to the window thread in order.
#pragma once

#include "update/check/UpdateFlow.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <functional>

class QProgressBar;

namespace zorvast::update::ui {
class DownloadWindow;
}

namespace zorvast::shell::ui {

class MainWindow;

// What the window side calls back into the update flows; an empty member does nothing.
struct UpdateWindowHooks {
    std::function<void()> transferMonitorTick; // each TransferMonitor timeout
    std::function<void()> deferredTimerTick;   // each DeferredTimer timeout
    std::function<void()> endProgram;          // on the window thread
};

class UpdateWindowView final : public QObject, public update::UpdateView {
    Q_OBJECT
public:
    UpdateWindowView(MainWindow* window, UpdateWindowHooks hooks, QObject* parent = nullptr);

    // The download window the label and its bar go to while it is open.
    void setDownloadWindow(update::ui::DownloadWindow* window);

    QTimer& transferMonitor() { return transferMonitor_; }
    QTimer& deferredTimer() { return deferredTimer_; }

    std::string statusText() override;
    void setStatusText(const std::string& text) override;
    void appendStatusText(const std::string& text) override;
    void setDownloadLabel(const std::string& text) override;
    void setVersionText(const std::string& text) override;
    void setDownloadBarVisible(bool visible) override;
    void setBarRange(update::ProgressBar bar, int minimum, int maximum) override;
    void setBarValue(update::ProgressBar bar, int value) override;
    int barValue(update::ProgressBar bar) override;
    void setTransferMonitorInterval(int milliseconds) override;
    void setDeferredTimerInterval(int milliseconds) override;
    void processEvents() override;
    void showMessage(const std::string& caption, const std::string& text) override;
    bool askOkCancel(const std::string& caption, const std::string& text) override;
    void endProgram() override;

private:
    // What the message boxes belong to: the download window while it is shown.
    QWidget* boxOwner() const;
    // The bar on the window thread; null when its window is gone or not shown.
    QProgressBar* barFor(update::ProgressBar bar) const;

    QPointer<MainWindow> window_;
    QPointer<update::ui::DownloadWindow> downloadWindow_;
    QTimer transferMonitor_;
    QTimer deferredTimer_;
    UpdateWindowHooks hooks_;
};

} // namespace zorvast::shell::ui
