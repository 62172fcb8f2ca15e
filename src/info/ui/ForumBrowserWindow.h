// The forum in a window of its own, as large as the screen allows: the browser bar and the
// section buttons along the top, the status label and a progress bar under the browser.
#pragma once

#include <QList>
#include <QString>
#include <QWidget>

#include <string>

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace zorvast::info::ui {

class WebPageView;

class ForumBrowserWindow : public QWidget {
    Q_OBJECT
public:
    // `forumRoot` ends in "/"; the section buttons open pages under it.
    explicit ForumBrowserWindow(std::string forumRoot, QWidget* parent = nullptr);

    // Sizes the window and its parts for a screen area (the screen's available geometry).
    void placeOn(const QRect& screenArea);

    // A new window, deleted when closed: placed on `screenArea`, shown (not modal) and
    // navigated to `address` (nothing when it is empty). With the main window as `owner` it
    // goes when the main window goes, and does not keep the program running on its own.
    static ForumBrowserWindow* open(std::string forumRoot, const QRect& screenArea,
                                    const std::string& address, QWidget* owner = nullptr);

    WebPageView* view() const { return view_; }
    QLineEdit* addressEdit() const { return addressEdit_; }
    QPushButton* goButton() const { return goButton_; }
    QPushButton* backButton() const { return backButton_; }
    QPushButton* forwardButton() const { return forwardButton_; }
    QPushButton* stopButton() const { return stopButton_; }
    QPushButton* refreshButton() const { return refreshButton_; }
    // In the order of kForumWindowSectionButtons.
    const QList<QPushButton*>& sectionButtons() const { return sectionButtons_; }
    QLabel* statusLabel() const { return statusLabel_; }
    QProgressBar* progressBar() const { return progressBar_; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void layOutParts();
    void layOutBar();

    std::string forumRoot_;
    WebPageView* view_ = nullptr;
    QPushButton* backButton_ = nullptr;
    QPushButton* forwardButton_ = nullptr;
    QPushButton* stopButton_ = nullptr;
    QPushButton* refreshButton_ = nullptr;
    QList<QPushButton*> sectionButtons_;
    QLabel* addressLabel_ = nullptr;
    QLineEdit* addressEdit_ = nullptr;
    QPushButton* goButton_ = nullptr;
    QLabel* statusLabel_ = nullptr;
    QProgressBar* progressBar_ = nullptr;
};

} // namespace zorvast::info::ui
