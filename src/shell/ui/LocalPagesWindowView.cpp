#include "shell/ui/LocalPagesWindowView.h"

#include "common/ui/QtText.h"
#include "common/ui/UiThread.h"
#include "info/ui/CommunityTab.h"
#include "info/ui/NewsTab.h"
#include "info/ui/PageTab.h"
#include "info/ui/TradeTab.h"
#include "info/ui/WebPageView.h"
#include "shell/ui/MainWindow.h"

#include <QComboBox>
#include <QLabel>

namespace zorvast::shell::ui {

namespace {

constexpr auto q = common::ui::qText;
using common::ui::postToUi;

info::ui::WebPageView* pageViewFor(MainWindow* w, info::PageView view) {
    switch (view) {
    case info::PageView::Home:
        return w->newsTab()->homeView();
    case info::PageView::NewsBanner:
        return w->newsBanner();
    case info::PageView::Tyro:
        return w->tyroTab()->view();
    case info::PageView::Datum:
        return w->datumTab()->view();
    case info::PageView::Trade:
        return w->tradeTab()->view();
    case info::PageView::Community:
        return w->communityTab()->view();
    }
    return nullptr;
}

} // namespace

LocalPagesWindowView::LocalPagesWindowView(MainWindow& window) : window_(&window) {}

void LocalPagesWindowView::showPage(info::PageView view, const std::filesystem::path& file) {
    postToUi(window_, [w = window_, view, path = q(file.string())] {
        pageViewFor(w, view)->showFile(path);
    });
}

void LocalPagesWindowView::setStatusText(const std::string& text) {
    postToUi(window_, [w = window_, t = q(text)] { w->statusText()->setText(t); });
}

void LocalPagesWindowView::setForumSections(const std::vector<std::string>& names) {
    postToUi(window_, [w = window_, names] {
        QComboBox* list = w->communityTab()->quickEntryList();
        list->clear();
        for (const std::string& name : names) {
            list->addItem(q(name));
        }
    });
}

void LocalPagesWindowView::processEvents() {
    common::ui::processUiEvents();
}

} // namespace zorvast::shell::ui
