#pragma once

#include <QWidget>

namespace zorvast::info::ui {

class WebPageView;

// A tab that is one page: the beginners' and the technical material.
class PageTab : public QWidget {
    Q_OBJECT
public:
    explicit PageTab(QWidget* parent = nullptr);

    WebPageView* view() const { return view_; }

private:
    WebPageView* view_ = nullptr;
};

} // namespace zorvast::info::ui
