#pragma once

#include <QList>
#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace zorvast::info::ui {

class WebPageView;

// The community tab: a browser bar over the forum view, and a loading note that lies on
// top of the view while the tab is prepared (hidden until then).
class CommunityTab : public QWidget {
    Q_OBJECT
public:
    explicit CommunityTab(QWidget* parent = nullptr);

    WebPageView* view() const { return view_; }
    QLabel* loadingLabel() const { return loadingLabel_; }
    QComboBox* quickEntryList() const { return quickEntryList_; }
    QLineEdit* addressEdit() const { return addressEdit_; }
    QPushButton* goButton() const { return goButton_; }
    QPushButton* backButton() const { return backButton_; }
    QPushButton* forwardButton() const { return forwardButton_; }
    QPushButton* refreshButton() const { return refreshButton_; }
    QPushButton* stopButton() const { return stopButton_; }
    QPushButton* enlargeButton() const { return enlargeButton_; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void placeLoadingLabel();
    void fitBarButtons();

    WebPageView* view_ = nullptr;
    QLabel* loadingLabel_ = nullptr;
    QComboBox* quickEntryList_ = nullptr;
    QLineEdit* addressEdit_ = nullptr;
    QPushButton* goButton_ = nullptr;
    QPushButton* backButton_ = nullptr;
    QPushButton* forwardButton_ = nullptr;
    QPushButton* refreshButton_ = nullptr;
    QPushButton* stopButton_ = nullptr;
    QPushButton* enlargeButton_ = nullptr;
    QList<QPushButton*> barButtons_;
};

} // namespace zorvast::info::ui
