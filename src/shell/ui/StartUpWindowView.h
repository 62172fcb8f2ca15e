// The start-up sequence's window side: the splash over the main window, the main window's
// preparation, the message boxes and the download window.
#pragma once

#include "shell/startup/StartUp.h"

#include <QPointer>

#include <functional>

namespace zorvast::shell::ui {

class MainWindow;
class SplashWindow;

// What the window side hands on to the other parts; an empty member does nothing (the
// download window then counts as closed).
struct StartUpWindowHooks {
    // Called while the main window is prepared: the logo button opens the about box.
    std::function<void()> connectLogoButton;
    // The download window of first-download mode, shown modally.
    std::function<DownloadWindowOutcome()> runDownloadWindow;
};

class StartUpWindowView final : public StartUpView {
public:
    StartUpWindowView(MainWindow& window, StartUpWindowHooks hooks);

    // The splash while it stands; null before showSplash and once it has closed.
    SplashWindow* splash() const;

    void showSplash() override;
    void prepareMainWindow() override;
    Answer askRetryCancel(const std::string& caption, const std::string& text) override;
    void showMessage(const std::string& caption, const std::string& text) override;
    DownloadWindowOutcome runDownloadWindow() override;
    void setMainWindowEnabled(bool enabled) override;
    void processEvents() override;

private:
    MainWindow& window_;
    StartUpWindowHooks hooks_;
    QPointer<SplashWindow> splash_;
};

} // namespace zorvast::shell::ui
