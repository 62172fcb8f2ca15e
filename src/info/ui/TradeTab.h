#pragma once

#include <QWidget>

class QLabel;

namespace zorvast::info::ui {

class WebPageView;

// The trade tab: the "刷新" and "免费发布" links over the trade page.
class TradeTab : public QWidget {
    Q_OBJECT
public:
    explicit TradeTab(QWidget* parent = nullptr);

    WebPageView* view() const { return view_; }
    QLabel* refreshLink() const { return refreshLink_; }
    QLabel* postLink() const { return postLink_; }

private:
    WebPageView* view_ = nullptr;
    QLabel* refreshLink_ = nullptr;
    QLabel* postLink_ = nullptr;
};

} // namespace zorvast::info::ui
