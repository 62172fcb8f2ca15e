#pragma once

#include "info/pages/InfoState.h"
#include "info/pages/TradeWatch.h"

#include <QWidget>

#include <functional>

class QLabel;

namespace zorvast::info::ui {

class WebPageView;

struct TradeTabDependencies {
    info::InfoState* state = nullptr;
    info::TradeSources sources;
    // Switches the main window to the community tab (whose switch handler opens it).
    std::function<void()> showCommunityTab;
};

// The trade tab: the "刷新" and "免费发布" links over the trade page.
class TradeTab : public QWidget {
    Q_OBJECT
public:
    explicit TradeTab(QWidget* parent = nullptr);

    WebPageView* view() const { return view_; }
    QLabel* refreshLink() const { return refreshLink_; }
    QLabel* postLink() const { return postLink_; }

    // Gives the tab what its handlers need; until then they do nothing.
    void attach(TradeTabDependencies dependencies);

    // The tab was selected: the server's trade page and its watchdog, when a server is known
    // and no watchdog is busy. True when the online page was asked for.
    bool openTradeTab();

private:
    // "免费发布": the posting section of the forum, opened through the community tab.
    void requestTradePosting();

    WebPageView* view_ = nullptr;
    QLabel* refreshLink_ = nullptr;
    QLabel* postLink_ = nullptr;
    TradeTabDependencies deps_;
};

} // namespace zorvast::info::ui
