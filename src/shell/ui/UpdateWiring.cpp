#include "shell/ui/UpdateWiring.h"

#include "channels/store/CityArchive.h"
#include "channels/ui/ParameterTab.h"
#include "common/Hooks.h"
#include "common/ui/UiThread.h"
#include "info/ui/WebPageView.h"
#include "pointing/ui/PointingTab.h"
#include "shell/ui/MainWindow.h"
#include "shell/ui/UpdateWindowView.h"
#include "update/package/PackageDownload.h"
#include "update/roles/ReplaceHelper.h"
#include "update/ui/DownloadWindow.h"

#include <QComboBox>
#include <QPushButton>

namespace zorvast::shell::ui {

using common::ui::postToUi;
using common::ui::runOnUi;

UpdateWiring::UpdateWiring(QObject* owner, UpdateParts parts, UpdateWiringHooks hooks)
    : parts_(parts), hooks_(std::move(hooks)) {
    view_ = new UpdateWindowView(
        &parts_.window,
        {
            .transferMonitorTick = [this] { update::transferMonitorTick(*flow_); },
            .deferredTimerTick = [this] { deferredTimerTick(); },
            .endProgram = [this] { endFromUpdate(); },
        },
        owner);
    flow_.reset(new update::UpdateFlow{
        .state = parts_.updateState,
        .view = *view_,
        .downloader = parts_.downloader,
        .store = parts_.store,
        .clock = parts_.clock,
        .downloadMode = parts_.state.downloadMode,
        .hooks = flowHooks(),
        .dataVersion = [this] { return parts_.state.dataVersion(); },
        .dataDate = [this] { return parts_.state.dataDate(); },
    });
}

UpdateWiring::~UpdateWiring() = default;

update::UpdateHooks UpdateWiring::flowHooks() {
    MainWindow* w = &parts_.window;
    return {
        .runSoftwareCheck = [this] { update::runSoftwareCheck(*flow_); },
        .startWorker =
            [this](const std::string& name, std::function<void()> job) {
                parts_.workers.start(name, std::move(job));
            },
        .startListLoaders =
            [this] {
                parts_.workers.start("latest channels", [this] {
                    common::callIfSet(hooks_.loadNewsList, info::ListKind::LatestChannels);
                });
                parts_.workers.start("sng list", [this] {
                    common::callIfSet(hooks_.loadNewsList, info::ListKind::Sng);
                });
            },
        .checkLocalPages = [this] { common::callIfSet(hooks_.checkLocalPages); },
        .setQueryControlsEnabled =
            [w](bool enabled) {
                postToUi(w, [w, enabled] {
                    w->parameterTab()->showResultsButton()->setEnabled(enabled);
                    w->parameterTab()->providerShowResultsButton()->setEnabled(enabled);
                    w->parameterTab()->channelSearchButton()->setEnabled(enabled);
                    w->pointingTab()->provinceList()->setEnabled(enabled);
                    w->pointingTab()->cityList()->setEnabled(enabled);
                });
            },
        .queryButtonEnabled =
            [w] {
                bool enabled = false;
                runOnUi(w, [&] { enabled = w->parameterTab()->showResultsButton()->isEnabled(); });
                return enabled;
            },
        .closeAllFiles = [this] { parts_.marker.release(); },
        .startInstanceMarker = [this] { parts_.marker.hold(parts_.state.paths.instanceMarker); },
        .extractCityDatabase =
            [this] {
                return parts_.store.extractCityDatabase(channels::store::cityArchiveBytes());
            },
        .handOverToRestartHelper = [this] { return handOverToRestartHelper(false); },
        .databaseInUse = [this] { return parts_.store.databaseBusy().load(); },
        .handOverToReplaceHelper = [this] { return handOverToReplaceHelper(); },
    };
}

void UpdateWiring::resetState() {
    parts_.updateState.reset(flow_->dataServers);
}

void UpdateWiring::runDataCheck() {
    update::runDataCheck(*flow_);
}

void UpdateWiring::stopDownloads() {
    parts_.downloader.stop();
}

DownloadWindowOutcome UpdateWiring::runDownloadWindow() {
    downloadOutcome_ = DownloadWindowOutcome::Closed;
    runOnUi(&parts_.window, [&] {
        update::ui::DownloadWindow dialog;
        downloadWindow_ = &dialog;
        view_->setDownloadWindow(&dialog);
        QObject::connect(&dialog, &update::ui::DownloadWindow::cancelRequested, &dialog, [&] {
            parts_.downloader.stop();
            downloadOutcome_ = DownloadWindowOutcome::Quit;
            dialog.done(0);
        });
        // Its creation starts the first-download check.
        parts_.workers.start("first data check", [this] { update::runFirstDataCheck(*flow_); });
        dialog.exec();
        view_->setDownloadWindow(nullptr);
    });
    return downloadOutcome_;
}

update::HelperHandOver UpdateWiring::helperHandOver() const {
    return {
        .programFile = programFilePath(parts_.environment),
        .programFolder = parts_.environment.programFolder,
        .clock = &parts_.clock,
        .processEvents = common::ui::processUiEvents,
    };
}

bool UpdateWiring::handOverToRestartHelper(bool afterStartUpFailure) {
    if (afterStartUpFailure) {
        parts_.marker.hold(parts_.state.paths.instanceMarker);
    }
    const bool started = update::handOverToRestartHelper({helperHandOver()});
    helperHandedOver_ = started;
    return started;
}

bool UpdateWiring::handOverToReplaceHelper() {
    const bool started = update::handOverToReplaceHelper({helperHandOver()});
    helperHandedOver_ = started;
    return started;
}

void UpdateWiring::runReplaceHelperRole() {
    update::runReplaceHelper({
        .arguments = parts_.environment.arguments,
        .instanceMarker = parts_.state.paths.instanceMarker,
        .softwareDownload = parts_.state.paths.softwareDownload,
        .packageKey = flow_->packageKey,
        .packageSizeLimit = flow_->packageSizeLimit,
        .clock = &parts_.clock,
        .showMessage = [this](const std::string& caption,
                              const std::string& text) { view_->showMessage(caption, text); },
        .cleanupWorkFiles = [this] { parts_.store.cleanupWorkFiles(); },
    });
}

void UpdateWiring::runRestartHelperRole() {
    update::runRestartHelper({
        .arguments = parts_.environment.arguments,
        .instanceMarker = parts_.state.paths.instanceMarker,
        .clock = &parts_.clock,
        .showMessage = [this](const std::string& caption,
                              const std::string& text) { view_->showMessage(caption, text); },
        .cleanupWorkFiles = [this] { parts_.store.cleanupWorkFiles(); },
    });
}

// The flows end the program: from the download window, with or without a restart under way,
// or from the main window.
void UpdateWiring::endFromUpdate() {
    if (downloadWindow_) {
        downloadOutcome_ =
            helperHandedOver_ ? DownloadWindowOutcome::Restarted : DownloadWindowOutcome::Quit;
        downloadWindow_->done(0);
        return;
    }
    common::callIfSet(hooks_.endProgram);
}

void UpdateWiring::deferredTimerTick() {
    info::runDeferredListJob(
        parts_.updateState.listsPending, parts_.updateState.serverRoot(),
        {
            .loadLists =
                [this] {
                    common::callIfSet(hooks_.loadNewsList, info::ListKind::LatestChannels);
                    common::callIfSet(hooks_.loadNewsList, info::ListKind::Sng);
                },
            .showNewsPage =
                [this](const std::string& url) {
                    parts_.window.newsBanner()->showOnlineUrl(
                        QString::fromStdString(url),
                        QString::fromStdString(
                            (parts_.state.paths.workFolder / "news.htm").string()));
                },
        });
    view_->deferredTimer().stop();
}

} // namespace zorvast::shell::ui
