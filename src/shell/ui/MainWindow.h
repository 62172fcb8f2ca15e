#pragma once

#include <QMainWindow>

class QLabel;
class QProgressBar;
class QTabWidget;
class QToolButton;

namespace zorvast::info::ui {
class CommunityTab;
class NewsTab;
class PageTab;
class TradeTab;
class WebPageView;
} // namespace zorvast::info::ui
namespace zorvast::channels::ui {
class ParameterTab;
}
namespace zorvast::pointing::ui {
class PointingTab;
}

namespace zorvast::shell::ui {

// The program's one main window, 800 x 588: the news banner and the logo along the top,
// the nine tabs, and the status line at the bottom.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    // Tab indexes; 3 and 4 exist but are hidden and disabled.
    enum Tab {
        NewsTabIndex = 0,
        ParameterTabIndex = 1,
        PointingTabIndex = 2,
        SimulationTabIndex = 3,
        Dm500TabIndex = 4,
        TyroTabIndex = 5,
        DatumTabIndex = 6,
        TradeTabIndex = 7,
        CommunityTabIndex = 8,
    };

    explicit MainWindow(QWidget* parent = nullptr);

    info::ui::WebPageView* newsBanner() const { return newsBanner_; }
    QToolButton* logoButton() const { return logoButton_; }
    QTabWidget* tabs() const { return tabs_; }

    info::ui::NewsTab* newsTab() const { return newsTab_; }
    channels::ui::ParameterTab* parameterTab() const { return parameterTab_; }
    pointing::ui::PointingTab* pointingTab() const { return pointingTab_; }
    info::ui::PageTab* tyroTab() const { return tyroTab_; }
    info::ui::PageTab* datumTab() const { return datumTab_; }
    info::ui::TradeTab* tradeTab() const { return tradeTab_; }
    info::ui::CommunityTab* communityTab() const { return communityTab_; }

    QLabel* statusText() const { return statusText_; }
    QLabel* versionText() const { return versionText_; }
    QProgressBar* pageProgress() const { return pageProgress_; }
    // Lies over the page-load bar; hidden except while a package downloads.
    QProgressBar* downloadProgress() const { return downloadProgress_; }

private:
    void buildTopStrip(QWidget* central);
    void buildTabs(QWidget* central);
    void buildStatusLine(QWidget* central);

    info::ui::WebPageView* newsBanner_ = nullptr;
    QToolButton* logoButton_ = nullptr;
    QTabWidget* tabs_ = nullptr;
    info::ui::NewsTab* newsTab_ = nullptr;
    channels::ui::ParameterTab* parameterTab_ = nullptr;
    pointing::ui::PointingTab* pointingTab_ = nullptr;
    info::ui::PageTab* tyroTab_ = nullptr;
    info::ui::PageTab* datumTab_ = nullptr;
    info::ui::TradeTab* tradeTab_ = nullptr;
    info::ui::CommunityTab* communityTab_ = nullptr;
    QLabel* statusText_ = nullptr;
    QLabel* versionText_ = nullptr;
    QProgressBar* pageProgress_ = nullptr;
    QProgressBar* downloadProgress_ = nullptr;
};

} // namespace zorvast::shell::ui
