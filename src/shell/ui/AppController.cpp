#include "shell/ui/AppController.h"

#include "channels/store/CityArchive.h"
#include "channels/ui/ParameterController.h"
#include "channels/ui/ParameterTab.h"
#include "common/ui/QtText.h"
#include "common/ui/UiThread.h"
#include "pointing/ui/DiagramCanvas.h"
#include "pointing/ui/PointingController.h"
#include "pointing/ui/PointingTab.h"
#include "shell/ui/InformationWiring.h"
#include "shell/ui/LogoArtwork.h"
#include "shell/ui/MainWindow.h"
#include "shell/ui/SplashWindow.h"
#include "shell/ui/TabWiring.h"
#include "shell/ui/UpdateWiring.h"
#include "shell/ui/WorkerWait.h"

#include <QComboBox>
#include <QLabel>
#include <QProgressBar>

namespace zorvast::shell::ui {

using namespace std::chrono_literals;
using common::ui::postToUi;
using common::ui::runOnUi;

namespace {

constexpr auto q = common::ui::qText;

// How long the end of a run waits: for the start-up's writers of the working folder, and, when
// the controller goes, for every worker.
constexpr std::chrono::milliseconds kWritersLimit = 30s;
constexpr std::chrono::milliseconds kWorkersLimit = 5s;

channels::ui::ParameterDependencies parameterDependencies(channels::store::DatabaseStore& store,
                                                          MainWindow* w,
                                                          std::function<void()> endProgram) {
    return {
        .store = &store,
        .setStatusText = [w](const std::string& text) { w->statusText()->setText(q(text)); },
        .statusText = [w] { return w->statusText()->text().toStdString(); },
        .setProgressText = [w](const std::string& text) { w->versionText()->setText(q(text)); },
        .setProgressMaximum =
            [w](int maximum) {
                w->pageProgress()->setRange(0, std::max(1, maximum));
                w->pageProgress()->setValue(0);
            },
        .setProgressValue = [w](int value) { w->pageProgress()->setValue(value); },
        .setPlaceListsEnabled =
            [w](bool enabled) {
                w->pointingTab()->provinceList()->setEnabled(enabled);
                w->pointingTab()->cityList()->setEnabled(enabled);
            },
        .endProgram = std::move(endProgram),
    };
}

} // namespace

AppController::AppController(AppEnvironment environment, QObject* parent)
    : QObject(parent), env_(std::move(environment)),
      clock_(env_.clock ? *env_.clock : common::systemClock()),
      state_(channels::store::storePathsFor(env_.temporaryFolder, env_.programFolder,
                                            env_.downloadFolder)),
      store_(state_.paths, clock_, {.processEvents = common::ui::processUiEvents}),
      window_(std::make_unique<MainWindow>()),
      startUpView_(*window_,
                   {
                       .connectLogoButton = [this] { tabs_->connectLogoButton(); },
                       .runDownloadWindow = [this] { return update_->runDownloadWindow(); },
                   }),
      initView_(*window_), pagesView_(*window_) {
    pointing_ = new pointing::ui::PointingController(
        window_->pointingTab(),
        {
            .cityDatabase = state_.paths.cityDatabasePath,
            .coverageAt =
                [this](int index) {
                    const std::optional<SatelliteEntry> entry = state_.satelliteAt(index);
                    return entry ? pointing::ui::SatelliteCoverage{.sC = entry->s_c,
                                                                   .sKu = entry->s_ku}
                                 : pointing::ui::SatelliteCoverage{};
                },
        },
        this);
    parameters_ = new channels::ui::ParameterController(
        window_->parameterTab(),
        parameterDependencies(store_, window_.get(), [this] { emit quitRequested(); }), this);
    tabs_ = std::make_unique<TabWiring>(*window_, state_, *pointing_, clock_);
    update_ = std::make_unique<UpdateWiring>(
        this,
        UpdateParts{.window = *window_,
                    .state = state_,
                    .store = store_,
                    .marker = marker_,
                    .updateState = updateState_,
                    .downloader = downloader_,
                    .clock = clock_,
                    .workers = workers_,
                    .environment = env_},
        UpdateWiringHooks{
            .loadNewsList = [this](info::ListKind kind) { information_->loadNewsList(kind); },
            .checkLocalPages = [this] { runLocalPages(); },
            .endProgram = [this] { emit quitRequested(); },
        });
    information_ = std::make_unique<InformationWiring>(InformationParts{
        .window = *window_,
        .state = state_,
        .infoState = infoState_,
        .updateState = updateState_,
        .updateView = update_->view(),
        .clock = clock_,
        .workers = workers_,
    });
}

AppController::~AppController() {
    // Workers hold this object; the process ends before they would outlive it, but a test
    // that destroys the controller waits for them. The pool then joins what is left.
    workers_.requestStop();
    waitForWorkers(workers_, {}, kWorkersLimit);
}

update::UpdateFlow& AppController::updateFlow() {
    return update_->flow();
}

StartUpResult AppController::startUp() {
    StartUpContext context{
        .state = state_,
        .store = store_,
        .marker = marker_,
        .view = startUpView_,
        .workers = workers_,
        .hooks = {
            .runReplaceHelper = [this] { update_->runReplaceHelperRole(); },
            .runRestartHelper = [this] { update_->runRestartHelperRole(); },
            .handOverToRestartHelper = [this] { return update_->handOverToRestartHelper(true); },
            .resetUpdateState = [this] { update_->resetState(); },
            .loadLatestChannelList =
                [this] { information_->loadNewsList(info::ListKind::LatestChannels); },
            .loadSngList = [this] { information_->loadNewsList(info::ListKind::Sng); },
            .checkLocalPages = [this] { runLocalPages(); },
            .runDataCheck = [this] { update_->runDataCheck(); },
            .initialiseMainWindow = [this] { runInitialisation(); },
            .splashWorker = [this] { runSplash(); },
        },
        .executableName = env_.executableName,
        .packageKey = update::builtInPackageKey(),
    };
    return shell::startUp(context);
}

void AppController::shutDown() {
    // The start-up's writers must be over before the working files go: otherwise they write
    // them again, or the initialisation reports their loss. The initialisation looks at the
    // stop request between its steps (one that has not begun stops at once); the pages are
    // quick.
    workers_.requestStop();
    waitForWorkers(workers_, {kInitialisationWorker, kLocalPagesWorker}, kWritersLimit);
    update_->stopDownloads();
    clock_.sleepFor(200ms);
    // The replacement helper waits for the marker and then cleans up for both of us.
    if (!update_->helperHandedOver()) {
        store_.cleanupWorkFiles();
    }
    marker_.release();
}

void AppController::runInitialisation() {
    // The pointing tab's steps run on the window thread; the worker waits for each.
    const auto onWindow = [this](auto step) {
        return [this, step] {
            runOnUi(this, step);
        };
    };
    const InitHooks hooks{
        .extractCityDatabase =
            [this] { return store_.extractCityDatabase(channels::store::cityArchiveBytes()); },
        .fillLocationLists = onWindow([this] { pointing_->fillLocationLists(); }),
        .lookupCityCoordinates = onWindow([this] { pointing_->lookupCityCoordinates(); }),
        .fillAntennaList = onWindow([this] { pointing_->fillAntennaList(); }),
        .createDiagramSprites =
            onWindow([this] { window_->pointingTab()->diagramCanvas()->createSprites(); }),
        .runPointingCalculation = onWindow([this] { pointing_->runPointingCalculation(); }),
    };
    const InitOutcome outcome =
        initialiseMainWindow(state_, store_, initView_, hooks, clock_, workers_.stopToken());
    initOutcome_ = outcome;
    if (outcome == InitOutcome::Fatal) {
        store_.cleanupWorkFiles();
        postToUi(this, [this] { emit quitRequested(); });
    }
    initDone_ = true;
}

void AppController::runLocalPages() {
    // Once a run: the data apply goes through this step again.
    if (!env_.iconFile.empty() && !iconWritten_.exchange(true)) {
        // Pictures are drawn on the window thread. A missing icon costs the entry nothing.
        runOnUi(window_.get(), [this] { writeApplicationIconFile(env_.iconFile); });
    }
    checkLocalPages(state_, pagesView_,
                    {
                        .places = env_.shortcuts,
                        .target = shortcutTargetPath(env_),
                        .currentFolder = env_.programFolder,
                        .icon = "zorvast",
                    },
                    clock_);
}

void AppController::runSplash() {
    SplashWindowView view(window_.get(), startUpView_.splash(), window_.get(),
                          window_->logoButton());
    runSplashSequence(view, clock_, state_.downloadMode);
}

} // namespace zorvast::shell::ui
