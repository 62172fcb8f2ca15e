#pragma once

#include "info/lists/NewsLists.h"

#include <QWidget>

class QLabel;
class QTableWidget;

namespace zorvast::info::ui {

class NewsGrid;
class WebPageView;

// The news tab: the latest-channel and SNG grid with its refresh link on the left, the
// home page beside it.
class NewsTab : public QWidget {
    Q_OBJECT
public:
    explicit NewsTab(QWidget* parent = nullptr);

    // 19 rows x 2 columns, no headers, no input; row heights and column widths keep the
    // proportions of the grid's units.
    QTableWidget* newsGrid() const { return newsGrid_; }
    // The lists' side of the grid: texts, header look, shaded rows and the loads' sink.
    NewsGrid* newsLists() const { return newsLists_; }
    // Rich text with one link; linkActivated fires on a click.
    QLabel* refreshLink() const { return refreshLink_; }
    WebPageView* homeView() const { return homeView_; }

    // The two refresh links as the countdown drives them: this tab's "刷新数据" and the
    // trade tab's `tradeRefreshLink`. Callable from any thread (the changes are queued to the
    // labels' thread in order); both labels must outlive the countdown.
    info::RefreshLinks refreshLinks(QLabel* tradeRefreshLink) const;

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void placeChildren();
    void fitGrid();

    QTableWidget* newsGrid_ = nullptr;
    NewsGrid* newsLists_ = nullptr;
    QLabel* refreshLink_ = nullptr;
    WebPageView* homeView_ = nullptr;
};

} // namespace zorvast::info::ui
