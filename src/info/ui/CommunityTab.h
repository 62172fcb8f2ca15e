#pragma once

#include "info/forum/ForumLoader.h"
#include "info/pages/InfoState.h"

#include <QList>
#include <QWidget>

#include <functional>
#include <string>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace zorvast::info::ui {

class ForumBrowserWindow;
class WebPageView;

struct CommunityTabDependencies {
    info::InfoState* state = nullptr;
    // An empty root means forumRoot().
    info::ForumSources sources;
    // The main window's status line and page-load bar take the forum view's status text and
    // progress (window thread).
    std::function<void(const std::string& text)> setStatusText;
    std::function<void(int value)> setProgress;
};

// The community tab: a browser bar over the forum view, and a loading note that lies on
// top of the view while the tab is prepared (hidden until then). As a CommunityView it may be
// driven from workers: those calls are queued to the window thread.
class CommunityTab : public QWidget, public info::CommunityView {
    Q_OBJECT
public:
    explicit CommunityTab(QWidget* parent = nullptr);

    // Gives the tab what its handlers need; until then opening the tab does nothing (the
    // browser bar works from the start).
    void attach(CommunityTabDependencies dependencies);

    // The tab was selected: prepares it at the first opening, later serves a pending trade
    // posting request. True when the loader was started.
    bool openCommunityTab();
    // The forum jobs of the deferred tick (window thread).
    void runForumJobs();
    // "放大浏览窗口": the forum window on this tab's screen, at this tab's online address.
    ForumBrowserWindow* openForumWindow();

    const std::string& forumRoot() const { return deps_.sources.root; }

    // CommunityView
    info::BrowserView& browser() override;
    void setLoadingNoteVisible(bool visible) override;
    void setAddressText(const std::string& text) override;
    void setQuickEntryEnabled(bool enabled) override;
    void setQuickEntries(const std::vector<std::string>& names) override;
    void selectQuickEntry(int index) override;

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
    void onQuickEntryChosen(int index);

    CommunityTabDependencies deps_;

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
