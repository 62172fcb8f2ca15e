#include "info/ui/PageTab.h"

#include "info/ui/WebPageView.h"

#include <QVBoxLayout>

namespace zorvast::info::ui {

PageTab::PageTab(QWidget* parent) : QWidget(parent) {
    view_ = new WebPageView(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(view_);
}

} // namespace zorvast::info::ui
