#include "info/ui/TradeTab.h"

#include "common/ui/QtText.h"
#include "info/Messages.h"
#include "info/ui/LinkText.h"
#include "info/ui/WebBrowserView.h"
#include "info/ui/WebPageView.h"

#include <QCoreApplication>

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace zorvast::info::ui {

TradeTab::TradeTab(QWidget* parent) : QWidget(parent) {
    refreshLink_ = makeLinkLabel(common::ui::qText(kTradeRefreshCaption), this);
    postLink_ = makeLinkLabel(common::ui::qText(kCaptionTradePosting), this);
    // The countdown caption is wider than "刷新"; keep the row from shifting.
    refreshLink_->setMinimumWidth(52);
    refreshLink_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    view_ = new WebPageView(this);

    auto* links = new QHBoxLayout;
    links->setContentsMargins(0, 0, 4, 0);
    links->setSpacing(14);
    links->addStretch(1);
    links->addWidget(refreshLink_);
    links->addWidget(postLink_);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 3, 4, 4);
    layout->setSpacing(3);
    layout->addLayout(links);
    layout->addWidget(view_, 1);

    connect(postLink_, &QLabel::linkActivated, this, [this] { requestTradePosting(); });
}

void TradeTab::attach(TradeTabDependencies dependencies) {
    deps_ = std::move(dependencies);
}

bool TradeTab::openTradeTab() {
    if (!deps_.state) {
        return false;
    }
    return info::openTradeTab(*deps_.state, view_->browser(), deps_.sources);
}

void TradeTab::requestTradePosting() {
    if (!deps_.state) {
        return;
    }
    deps_.state->tradePostingPending = true;
    QCoreApplication::processEvents();
    if (deps_.showCommunityTab) {
        deps_.showCommunityTab();
    }
}

} // namespace zorvast::info::ui
