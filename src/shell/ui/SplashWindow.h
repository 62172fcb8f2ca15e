#pragma once

#include "shell/ui/LogoArtwork.h"

#include <QPoint>
#include <QPointer>
#include <QWidget>

class QLabel;
class QToolButton;

namespace zorvast::common {
class Clock;
}

namespace zorvast::shell::ui {

// Shown while the program starts: the logo and "正在启动，请稍候...".
class SplashWindow : public QWidget {
    Q_OBJECT
public:
    explicit SplashWindow(QWidget* owner = nullptr);
    QLabel* logo() const { return logo_; }
    QLabel* text() const { return text_; }

    void showSplashLogo();

protected:
    void changeEvent(QEvent* event) override;

private:
    QLabel* logo_ = nullptr;
    QLabel* text_ = nullptr;
};

// What the slide-away touches; the calls come from the splash worker.
class SplashSequenceView {
public:
    virtual ~SplashSequenceView() = default;
    virtual QPoint splashPosition() = 0;
    virtual void moveSplash(QPoint topLeft) = 0;
    virtual void hideSplash() = 0;
    virtual void setLogo(LogoPicture picture) = 0;
    // Enables the main window and closes the splash.
    virtual void finish() = 0;
};

// The wait (longer in download mode), the slide up and to the right, the logo flash, the end.
void runSplashSequence(SplashSequenceView& view, common::Clock& clock, bool downloadMode);

// The real windows. Every change goes to the window thread in the order it is made; the
// position is read there too. `context` must outlive the sequence.
class SplashWindowView : public SplashSequenceView {
public:
    SplashWindowView(QObject* context, SplashWindow* splash, QWidget* mainWindow,
                     QToolButton* logoButton);

    QPoint splashPosition() override;
    void moveSplash(QPoint topLeft) override;
    void hideSplash() override;
    void setLogo(LogoPicture picture) override;
    void finish() override;

private:
    QObject* context_;
    QPointer<SplashWindow> splash_;
    QPointer<QWidget> mainWindow_;
    QPointer<QToolButton> logoButton_;
};

} // namespace zorvast::shell::ui
