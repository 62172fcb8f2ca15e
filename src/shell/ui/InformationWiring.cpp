#include "shell/ui/InformationWiring.h"

#include "channels/ui/ParameterTab.h"
#include "common/ui/QtText.h"
#include "info/forum/ForumLoader.h"
#include "info/pages/ExternalPages.h"
#include "info/ui/CommunityTab.h"
#include "info/ui/NewsGrid.h"
#include "info/ui/NewsTab.h"
#include "info/ui/PageTab.h"
#include "info/ui/SystemBrowser.h"
#include "info/ui/TradeTab.h"
#include "info/ui/WebPageView.h"
#include "pointing/ui/PointingTab.h"
#include "shell/ui/MainWindow.h"
#include "shell/ui/UpdateWindowView.h"
#include "update/net/FetchText.h"

#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>

namespace zorvast::shell::ui {

namespace {

constexpr auto q = common::ui::qText;

std::string fetch(const std::string& url) {
    return update::fetchText(url);
}

} // namespace

InformationWiring::InformationWiring(InformationParts parts, QObject* parent)
    : QObject(parent), parts_(parts) {
    attachTradeTab();
    attachCommunityTab();
    connectSiteButtons();
    MainWindow& w = parts_.window;
    connect(w.newsTab()->refreshLink(), &QLabel::linkActivated, this, [this] { refreshNewsTab(); });
    connect(w.tradeTab()->refreshLink(), &QLabel::linkActivated, this,
            [this] { refreshTradeTab(); });
}

void InformationWiring::startPagesWorker(std::function<void()> job) {
    parts_.workers.start("pages", std::move(job));
}

void InformationWiring::attachTradeTab() {
    parts_.window.tradeTab()->attach({
        .state = &parts_.infoState,
        .sources = {
            .serverReached = [this] { return parts_.updateState.serverReached.load(); },
            .serverRoot = [this] { return parts_.updateState.serverRoot(); },
            .workFolder = parts_.state.paths.workFolder,
            .startWorker = [this](std::function<void()> job) { startPagesWorker(job); },
            .clock = &parts_.clock,
        },
        .showCommunityTab =
            [this] { parts_.window.tabs()->setCurrentIndex(MainWindow::CommunityTabIndex); },
    });
}

void InformationWiring::attachCommunityTab() {
    MainWindow* w = &parts_.window;
    parts_.window.communityTab()->attach({
        .state = &parts_.infoState,
        .sources =
            {
                .root = info::forumRoot(),
                .fetch = fetch,
                .workFolder = parts_.state.paths.workFolder,
                .setDeferredTimerInterval =
                    [this](int milliseconds) {
                        parts_.updateView.setDeferredTimerInterval(milliseconds);
                    },
                .startWorker = [this](std::function<void()> job) { startPagesWorker(job); },
                .clock = &parts_.clock,
            },
        .setStatusText = [w](const std::string& text) { w->statusText()->setText(q(text)); },
        .setProgress = [w](int value) { w->pageProgress()->setValue(value); },
    });
}

void InformationWiring::connectSiteButtons() {
    auto* pointingTab = parts_.window.pointingTab();
    connect(pointingTab->satelliteMapButton(), &QPushButton::clicked, this, [] {
        info::ui::openInSystemBrowser(info::satelliteMapAddress(info::paramSiteRoot()));
    });
    connect(pointingTab->strengthMapButton(), &QPushButton::clicked, this, [pointingTab] {
        info::ui::openInSystemBrowser(info::strengthMapAddress(
            info::paramSiteRoot(), pointingTab->satelliteList()->currentText().toStdString()));
    });
    connect(parts_.window.parameterTab()->moreParametersButton(), &QPushButton::clicked, this, [] {
        info::ui::openInSystemBrowser(info::moreParametersAddress(info::paramSiteRoot()));
    });
}

void InformationWiring::loadNewsList(info::ListKind kind) {
    const auto sink = parts_.window.newsTab()->newsLists()->makeSink();
    info::loadList(kind,
                   {
                       .serverReached = parts_.updateState.serverReached,
                       .serverRoot = parts_.updateState.serverRoot(),
                       .fetch = fetch,
                       .workFolder = parts_.state.paths.workFolder,
                   },
                   *sink);
}

// The two refresh links share one ten-second lock-out around the reload.
void InformationWiring::refreshWithLockOut(const std::function<void()>& reload) {
    MainWindow& w = parts_.window;
    const info::RefreshLinks links = w.newsTab()->refreshLinks(w.tradeTab()->refreshLink());
    links.setEnabled(false);
    reload();
    parts_.workers.start("refresh countdown",
                         [this, links] { info::refreshCountdown(parts_.clock, links); });
}

void InformationWiring::refreshNewsTab() {
    refreshWithLockOut([this] {
        MainWindow& w = parts_.window;
        loadNewsList(info::ListKind::LatestChannels);
        loadNewsList(info::ListKind::Sng);
        w.newsTab()->homeView()->reload();
        w.newsBanner()->reload();
        w.tyroTab()->view()->reload();
        w.datumTab()->view()->reload();
    });
}

void InformationWiring::refreshTradeTab() {
    refreshWithLockOut([this] { parts_.window.tradeTab()->view()->reload(); });
}

} // namespace zorvast::shell::ui
