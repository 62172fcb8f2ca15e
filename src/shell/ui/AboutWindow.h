// The about box opened from the logo: it grows out of the logo's corner and shrinks back.
#pragma once

#include <QDialog>
#include <QPointer>
#include <QRect>

#include <filesystem>
#include <functional>
#include <thread>

class QGroupBox;
class QLabel;
class QPushButton;
class QToolButton;

namespace zorvast::common {
class Clock;
}

namespace zorvast::shell::ui {

// One animation: `steps` times, move the window by `move`, change its height by `grow`, hand
// the new geometry to `apply` and sleep 20 ms.
struct AboutSteps {
    int steps = 0;
    QPoint move;
    int grow = 0;
};
inline constexpr AboutSteps kAboutOpening{.steps = 5, .move = QPoint(-58, 20), .grow = 58};
inline constexpr AboutSteps kAboutClosing{.steps = 4, .move = QPoint(58, -20), .grow = -55};

void runAboutSteps(const QRect& first, const AboutSteps& steps, common::Clock& clock,
                   const std::function<void(const QRect&)>& apply);

// "软件：1.02  数据：" and the date of "satdata.str" in `workFolder`.
QString aboutVersionText(const std::filesystem::path& workFolder);

class AboutWindow : public QDialog {
    Q_OBJECT
public:
    AboutWindow(QWidget* mainWindow, QToolButton* logoButton, std::filesystem::path workFolder,
                common::Clock& clock);
    ~AboutWindow() override;

    // Places the window under the logo and starts the opening animation on a worker.
    void openAbout();
    // Shrinks the window back towards the logo and closes it.
    void closeAbout();

    QGroupBox* group() const { return group_; }
    QLabel* logo() const { return logo_; }
    QLabel* description() const { return description_; }
    QLabel* versionLabel() const { return version_; }
    QPushButton* closeButton() const { return close_; }
    // The link labels: official site, parameter site, forum.
    QLabel* link(int index) const { return links_[index]; }

protected:
    void reject() override;

private:
    QPointer<QWidget> mainWindow_;
    QPointer<QToolButton> logoButton_;
    std::filesystem::path workFolder_;
    common::Clock& clock_;
    QGroupBox* group_ = nullptr;
    QLabel* logo_ = nullptr;
    QLabel* description_ = nullptr;
    QLabel* version_ = nullptr;
    QLabel* links_[3] = {};
    QPushButton* close_ = nullptr;
    std::thread opening_;
    bool closing_ = false;
};

} // namespace zorvast::shell::ui
