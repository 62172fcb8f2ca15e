#include "shell/ui/AppController.h"

#include "common/PrivateFolder.h"
#include "common/ui/QtText.h"

#include "channels/store/CityArchive.h"
#include "channels/ui/ParameterController.h"
#include "channels/ui/ParameterTab.h"
#include "channels/ui/ResultGrid.h"
#include "common/Files.h"
#include "common/ui/UiThread.h"
#include "info/forum/ForumLoader.h"
#include "info/lists/NewsLists.h"
#include "info/pages/ExternalPages.h"
#include "info/ui/CommunityTab.h"
#include "info/ui/NewsGrid.h"
#include "info/ui/NewsTab.h"
#include "info/ui/PageTab.h"
#include "info/ui/SystemBrowser.h"
#include "info/ui/TradeTab.h"
#include "info/ui/WebPageView.h"
#include "pointing/report/SatelliteInfo.h"
#include "pointing/ui/DiagramCanvas.h"
#include "pointing/ui/PointingController.h"
#include "pointing/ui/PointingTab.h"
#include "shell/Messages.h"
#include "shell/startup/TabHints.h"
#include "shell/ui/AboutWindow.h"
#include "shell/ui/LogoArtwork.h"
#include "shell/ui/MainWindow.h"
#include "shell/ui/SplashWindow.h"
#include "shell/ui/UpdateWindowView.h"
#include "update/check/UpdateFlow.h"
#include "update/net/FetchText.h"
#include "update/package/PackageDownload.h"
#include "update/roles/ReplaceHelper.h"
#include "update/roles/RestartHelper.h"
#include "update/ui/DownloadWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStandardPaths>
#include <QTableWidget>
#include <QToolButton>

#include <thread>

namespace zorvast::shell::ui {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

constexpr auto q = common::ui::qText;
using common::ui::onUiThread;
using common::ui::postToUi;
using common::ui::runOnUi;

} // namespace

AppEnvironment systemEnvironment(const std::vector<std::string>& commandLine) {
    AppEnvironment env;
    const common::PrivateAreaEnvironment areas = common::currentPrivateAreaEnvironment();
    env.temporaryFolder = common::privateAreaFor(areas).string() + "/";
    env.downloadFolder = common::downloadAreaFor(areas);
    env.programFolder = QDir::currentPath().toStdString();
    // The name it was started under, not the file's: the helpers are this very file.
    if (!commandLine.empty()) {
        env.executableName = fs::path(commandLine.front()).filename().string();
        env.arguments.assign(commandLine.begin() + 1, commandLine.end());
    }
    const std::string menu =
        QStandardPaths::writableLocation(QStandardPaths::ApplicationsLocation).toStdString();
    env.shortcuts = {
        menu, menu,
        QStandardPaths::writableLocation(QStandardPaths::DesktopLocation).toStdString()};
    // The file itself, wherever the program was started from and whatever it was called.
    std::error_code ec;
    env.programFile = fs::read_symlink("/proc/self/exe", ec);
    if (ec) {
        env.programFile.clear();
    }
    env.iconFile =
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation).toStdString() +
        "/icons/hicolor/256x256/apps/zorvast.png";
    return env;
}

AppController::AppController(AppEnvironment environment, QObject* parent)
    : QObject(parent), env_(std::move(environment)),
      clock_(env_.clock ? *env_.clock : common::systemClock()),
      state_(channels::store::storePathsFor(env_.temporaryFolder, env_.programFolder,
                                            env_.downloadFolder)),
      store_(state_.paths, clock_,
             {{},
              {},
              {},
              [this] {
                  if (onUiThread()) {
                      QCoreApplication::processEvents();
                  }
              }}),
      window_(std::make_unique<MainWindow>()) {
    pointing::ui::PointingDependencies pointingDeps;
    pointingDeps.cityDatabase = state_.paths.cityDatabasePath;
    pointingDeps.coverageAt = [this](int index) {
        const std::optional<SatelliteEntry> entry = state_.satelliteAt(index);
        return entry ? pointing::ui::SatelliteCoverage{entry->s_c, entry->s_ku}
                     : pointing::ui::SatelliteCoverage{};
    };
    pointing_ =
        new pointing::ui::PointingController(window_->pointingTab(), std::move(pointingDeps), this);
    channels::ui::ParameterDependencies parameterDeps;
    parameterDeps.store = &store_;
    MainWindow* w = window_.get();
    parameterDeps.setStatusText = [w](const std::string& text) {
        w->statusText()->setText(q(text));
    };
    parameterDeps.statusText = [w] {
        return w->statusText()->text().toStdString();
    };
    parameterDeps.setProgressText = [w](const std::string& text) {
        w->versionText()->setText(q(text));
    };
    parameterDeps.setProgressMaximum = [w](int maximum) {
        w->pageProgress()->setRange(0, std::max(1, maximum));
        w->pageProgress()->setValue(0);
    };
    parameterDeps.setProgressValue = [w](int value) {
        w->pageProgress()->setValue(value);
    };
    parameterDeps.setPlaceListsEnabled = [w](bool enabled) {
        w->pointingTab()->provinceList()->setEnabled(enabled);
        w->pointingTab()->cityList()->setEnabled(enabled);
    };
    parameterDeps.endProgram = [this] {
        emit quitRequested();
    };
    parameters_ = new channels::ui::ParameterController(window_->parameterTab(),
                                                        std::move(parameterDeps), this);
    auto* parameters = window_->parameterTab();
    connect(parameters->satelliteList(), qOverload<int>(&QComboBox::activated), this,
            [this](int) { showSatelliteInfo(); });
    connect(parameters->findSatelliteButton(), &QPushButton::clicked, this,
            [this] { findSatellite(); });
    setUpUpdateFlow();
    setUpInformationPages();
    connect(window_->tabs(), &QTabWidget::currentChanged, this,
            [this](int index) { onTabChanged(index); });
    connect(window_->newsTab()->refreshLink(), &QLabel::linkActivated, this,
            [this] { refreshNewsTab(); });
    connect(window_->tradeTab()->refreshLink(), &QLabel::linkActivated, this,
            [this] { refreshTradeTab(); });
}

void AppController::setUpInformationPages() {
    const auto worker = [this](std::function<void()> job) {
        start("pages", std::move(job));
    };
    const auto serverReached = [this] {
        return updateState_.serverReached.load();
    };
    const auto serverRoot = [this] {
        return updateState_.serverRoot();
    };
    window_->tradeTab()->attach(
        {&infoState_,
         {serverReached, serverRoot, state_.paths.workFolder, worker, &clock_},
         [this] {
             window_->tabs()->setCurrentIndex(MainWindow::CommunityTabIndex);
         }});
    MainWindow* w = window_.get();
    window_->communityTab()->attach(
        {&infoState_,
         {info::forumRoot(), [](const std::string& url) { return update::fetchText(url); },
          state_.paths.workFolder,
          [this](int milliseconds) { updateView_->setDeferredTimerInterval(milliseconds); }, worker,
          &clock_},
         [w](const std::string& text) { w->statusText()->setText(q(text)); },
         [w](int value) {
             w->pageProgress()->setValue(value);
         }});

    auto* pointingTab = window_->pointingTab();
    connect(pointingTab->satelliteMapButton(), &QPushButton::clicked, this, [] {
        info::ui::openInSystemBrowser(info::satelliteMapAddress(info::paramSiteRoot()));
    });
    connect(pointingTab->strengthMapButton(), &QPushButton::clicked, this, [pointingTab] {
        info::ui::openInSystemBrowser(info::strengthMapAddress(
            info::paramSiteRoot(), pointingTab->satelliteList()->currentText().toStdString()));
    });
    connect(window_->parameterTab()->moreParametersButton(), &QPushButton::clicked, this, [] {
        info::ui::openInSystemBrowser(info::moreParametersAddress(info::paramSiteRoot()));
    });
}

void AppController::onTabChanged(int index) {
    window_->statusText()->setText(q(tabHintFor(index, state_.paths.storedFile)));
    if (index == MainWindow::TradeTabIndex) {
        window_->tradeTab()->openTradeTab();
    } else if (index == MainWindow::CommunityTabIndex) {
        window_->communityTab()->openCommunityTab();
    }
    window_->versionText()->setText(q(tabVersionText()));
    window_->pageProgress()->setValue(0);
}

// The two refresh links share one ten-second lock-out around the reload.
void AppController::refreshWithLockOut(const std::function<void()>& reload) {
    const info::RefreshLinks links =
        window_->newsTab()->refreshLinks(window_->tradeTab()->refreshLink());
    links.setEnabled(false);
    reload();
    start("refresh countdown", [this, links] { info::refreshCountdown(clock_, links); });
}

void AppController::refreshNewsTab() {
    refreshWithLockOut([this] {
        loadNewsList(info::ListKind::LatestChannels);
        loadNewsList(info::ListKind::Sng);
        window_->newsTab()->homeView()->reload();
        window_->newsBanner()->reload();
        window_->tyroTab()->view()->reload();
        window_->datumTab()->view()->reload();
    });
}

void AppController::refreshTradeTab() {
    refreshWithLockOut([this] { window_->tradeTab()->view()->reload(); });
}

AppController::~AppController() {
    // Workers hold this object; the process ends before they would outlive it, but a test
    // that destroys the controller waits for them.
    stopInit_ = true;
    for (int i = 0; i < 500 && workersRunning_ > 0; ++i) {
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(10ms);
    }
}

StartUpResult AppController::startUp() {
    StartUpHooks hooks;
    // The update roles, the server list, the news lists and the data check come with the
    // update and information parts; until then their hooks do nothing.
    hooks.checkLocalPages = [this] {
        runLocalPages();
    };
    hooks.loadLatestChannelList = [this] {
        loadNewsList(info::ListKind::LatestChannels);
    };
    hooks.loadSngList = [this] {
        loadNewsList(info::ListKind::Sng);
    };
    hooks.initialiseMainWindow = [this] {
        runInitialisation();
    };
    hooks.resetUpdateState = [this] {
        updateState_.reset(updateFlow_->dataServers);
    };
    hooks.runDataCheck = [this] {
        update::runDataCheck(*updateFlow_);
    };
    hooks.runRestartHelper = [this] {
        runRestartHelperRole();
    };
    hooks.runReplaceHelper = [this] {
        runReplaceHelperRole();
    };
    hooks.handOverToRestartHelper = [this] {
        return handOverToRestartHelper(true);
    };
    hooks.splashWorker = [this] {
        runSplash();
    };
    StartUpContext context{state_, store_, marker_, *this, *this, hooks, env_.executableName};
    context.packageKey = update::builtInPackageKey();
    return shell::startUp(context);
}

void AppController::shutDown() {
    // The start-up's writers must be over before the working files go: otherwise they write
    // them again, or the initialisation reports their loss. The initialisation looks at the
    // flag between its steps (one that has not begun stops at once); the pages are quick.
    stopInit_ = true;
    for (int i = 0;
         i < 3000 && (workerRunning(kInitialisationWorker) || workerRunning(kLocalPagesWorker));
         ++i) {
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(10ms);
    }
    downloader_.stop();
    clock_.sleepFor(200ms);
    // The replacement helper waits for the marker and then cleans up for both of us.
    if (!helperHandedOver_) {
        store_.cleanupWorkFiles();
    }
    marker_.release();
}

// --- StartUpView

void AppController::showSplash() {
    window_->show();
    splash_ = new SplashWindow(window_.get());
    const QRect frame = window_->geometry();
    splash_->move(frame.center() - QPoint(splash_->width() / 2, splash_->height() / 2));
    splash_->show();
    QCoreApplication::processEvents();
}

void AppController::prepareMainWindow() {
    window_->newsTab()->newsLists()->clear();
    setLogoButtonPicture(window_->logoButton(), LogoPicture::Blank);
    connect(window_->logoButton(), &QToolButton::clicked, this, &AppController::openAbout,
            Qt::UniqueConnection);
}

void AppController::openAbout() {
    AboutWindow about(window_.get(), window_->logoButton(), state_.paths.workFolder, clock_);
    about.openAbout();
    about.exec();
}

Answer AppController::askRetryCancel(const std::string& caption, const std::string& text) {
    Answer answer = Answer::Cancel;
    runOnUi(this, [&] {
        QMessageBox box(QMessageBox::Warning, q(caption), q(text), QMessageBox::NoButton,
                        window_.get());
        box.addButton(q(messages::kButtonRetry), QMessageBox::AcceptRole);
        QPushButton* cancel = box.addButton(q(messages::kButtonCancel), QMessageBox::RejectRole);
        box.exec();
        answer = box.clickedButton() == cancel ? Answer::Cancel : Answer::Retry;
    });
    return answer;
}

void AppController::showMessage(const std::string& caption, const std::string& text) {
    runOnUi(this, [&] {
        QMessageBox box(QMessageBox::Information, q(caption), q(text), QMessageBox::NoButton,
                        window_.get());
        box.addButton(q(messages::kButtonOk), QMessageBox::AcceptRole);
        box.exec();
    });
}

DownloadWindowOutcome AppController::runDownloadWindow() {
    downloadOutcome_ = DownloadWindowOutcome::Closed;
    runOnUi(this, [&] {
        update::ui::DownloadWindow dialog;
        downloadWindow_ = &dialog;
        updateView_->setDownloadWindow(&dialog);
        connect(&dialog, &update::ui::DownloadWindow::cancelRequested, &dialog, [&] {
            downloader_.stop();
            downloadOutcome_ = DownloadWindowOutcome::Quit;
            dialog.done(0);
        });
        // Its creation starts the first-download check.
        start("first data check", [this] { update::runFirstDataCheck(*updateFlow_); });
        dialog.exec();
        updateView_->setDownloadWindow(nullptr);
    });
    return downloadOutcome_;
}

void AppController::setMainWindowEnabled(bool enabled) {
    postToUi(window_.get(), [w = window_.get(), enabled] { w->setEnabled(enabled); });
}

void AppController::processEvents() {
    if (onUiThread()) {
        QCoreApplication::processEvents();
    }
}

// --- MainWindowInitView

namespace {

QComboBox* listFor(MainWindow* w, InitList list) {
    auto* p = w->parameterTab();
    switch (list) {
    case InitList::ParameterSatellites:
        return p->satelliteList();
    case InitList::PointingSatellites:
        return w->pointingTab()->satelliteList();
    case InitList::OffsetSatellites:
        return w->pointingTab()->offsetSatelliteList();
    case InitList::BandFilter:
        return p->bandFilter();
    case InitList::PolarisationFilter:
        return p->polarisationFilter();
    case InitList::AccessFilter:
        return p->accessFilter();
    case InitList::FormatFilter:
        return p->formatFilter();
    case InitList::Providers:
        return p->providerList();
    }
    return nullptr;
}

QWidget* controlFor(MainWindow* w, InitControl control) {
    auto* p = w->parameterTab();
    auto* t = w->pointingTab();
    switch (control) {
    case InitControl::ShowResults:
        return p->showResultsButton();
    case InitControl::ProviderShowResults:
        return p->providerShowResultsButton();
    case InitControl::ChannelSearch:
        return p->channelSearchButton();
    case InitControl::Calculate:
        return t->calculateButton();
    case InitControl::ProvinceList:
        return t->provinceList();
    case InitControl::CityList:
        return t->cityList();
    case InitControl::TransponderGrid:
        return p->resultGrid();
    case InitControl::UprightButton:
        return t->uprightButton();
    case InitControl::InvertedButton:
        return t->invertedButton();
    }
    return nullptr;
}

} // namespace

void AppController::setEnabled(InitControl control, bool enabled) {
    postToUi(window_.get(), [w = window_.get(), control, enabled] {
        controlFor(w, control)->setEnabled(enabled);
    });
}

void AppController::clearList(InitList list) {
    postToUi(window_.get(), [w = window_.get(), list] { listFor(w, list)->clear(); });
}

void AppController::addListItem(InitList list, const std::string& text) {
    postToUi(window_.get(),
             [w = window_.get(), list, t = q(text)] { listFor(w, list)->addItem(t); });
}

void AppController::removeListItem(InitList list, int index) {
    postToUi(window_.get(),
             [w = window_.get(), list, index] { listFor(w, list)->removeItem(index); });
}

void AppController::selectListItem(InitList list, int index) {
    postToUi(window_.get(), [w = window_.get(), list, index] {
        QComboBox* box = listFor(w, list);
        const QSignalBlocker quiet(box); // selecting from code runs no handler
        box->setCurrentIndex(index >= 0 && index < box->count() ? index : -1);
    });
}

void AppController::setGridShape(int rows, int columns) {
    postToUi(window_.get(), [w = window_.get(), rows, columns] {
        w->parameterTab()->resultGrid()->resizeGrid(rows, columns);
    });
}

void AppController::setGridColumnWidths(const std::vector<int>& widths) {
    postToUi(window_.get(), [w = window_.get(), widths] {
        for (std::size_t c = 0; c < widths.size(); ++c) {
            w->parameterTab()->resultGrid()->setColumnWidthUnits(static_cast<int>(c) + 1,
                                                                 widths[c]);
        }
    });
}

void AppController::setGridText(int row, int column, const std::string& text) {
    postToUi(window_.get(), [w = window_.get(), row, column, text] {
        w->parameterTab()->resultGrid()->setCellText(row, column, text);
    });
}

void AppController::mergeGridRow(int row) {
    postToUi(window_.get(), [w = window_.get(), row] {
        channels::ui::ResultGrid* grid = w->parameterTab()->resultGrid();
        grid->mergeBlock({row, 1, 1, grid->content().columnCount()});
    });
}

void AppController::setGridRowBackground(int row, Rgb colour) {
    postToUi(window_.get(), [w = window_.get(), row, colour] {
        channels::ui::ResultGrid* grid = w->parameterTab()->resultGrid();
        grid->setBlockBackground({row, 1, 1, grid->content().columnCount()}, colour);
    });
}

void AppController::setGridRowLayout(int row, const GridRowLayout& layout) {
    postToUi(window_.get(), [w = window_.get(), row, layout] {
        channels::ui::ResultGrid* grid = w->parameterTab()->resultGrid();
        const channels::CellBlock whole{row, 1, 1, grid->content().columnCount()};
        grid->setBlockAlign(whole, layout.centred ? channels::CellAlign::Centre
                                                  : channels::CellAlign::Left);
        grid->setBlockTextHeight(whole, layout.textHeight);
        grid->setBlockBold(whole, layout.bold);
        grid->setRowHeightUnits(row, layout.rowHeight);
    });
}

void AppController::setDetailText(const std::string& text) {
    postToUi(window_.get(),
             [w = window_.get(), t = q(text)] { w->parameterTab()->detailText()->setText(t); });
}

void AppController::checkFeedDefaults() {
    postToUi(window_.get(), [w = window_.get()] {
        w->pointingTab()->primeFeedButton()->setChecked(true);
        w->pointingTab()->uprightButton()->setChecked(true);
    });
}

// --- LocalPagesView

void AppController::showPage(info::PageView view, const fs::path& file) {
    postToUi(window_.get(), [w = window_.get(), view, path = q(file.string())] {
        info::ui::WebPageView* target = nullptr;
        switch (view) {
        case info::PageView::Home:
            target = w->newsTab()->homeView();
            break;
        case info::PageView::NewsBanner:
            target = w->newsBanner();
            break;
        case info::PageView::Tyro:
            target = w->tyroTab()->view();
            break;
        case info::PageView::Datum:
            target = w->datumTab()->view();
            break;
        case info::PageView::Trade:
            target = w->tradeTab()->view();
            break;
        case info::PageView::Community:
            target = w->communityTab()->view();
            break;
        }
        target->showFile(path);
    });
}

void AppController::setStatusText(const std::string& text) {
    postToUi(window_.get(), [w = window_.get(), t = q(text)] { w->statusText()->setText(t); });
}

void AppController::setForumSections(const std::vector<std::string>& names) {
    postToUi(window_.get(), [w = window_.get(), names] {
        QComboBox* list = w->communityTab()->quickEntryList();
        list->clear();
        for (const std::string& name : names) {
            list->addItem(q(name));
        }
    });
}

// --- WorkerStarter

void AppController::start(const std::string& name, std::function<void()> job) {
    ++workersRunning_;
    {
        const std::lock_guard lock(workerNamesMutex_);
        runningWorkers_.insert(name);
    }
    std::thread([this, name, job = std::move(job)] {
        job();
        {
            const std::lock_guard lock(workerNamesMutex_);
            runningWorkers_.erase(runningWorkers_.find(name));
        }
        --workersRunning_;
    }).detach();
}

bool AppController::workerRunning(const std::string& name) const {
    const std::lock_guard lock(workerNamesMutex_);
    return runningWorkers_.count(name) > 0;
}

// --- workers

void AppController::runInitialisation() {
    InitHooks hooks;
    hooks.extractCityDatabase = [this] {
        return store_.extractCityDatabase(channels::store::cityArchiveBytes());
    };
    hooks.fillLocationLists = [this] {
        runOnUi(this, [this] { pointing_->fillLocationLists(); });
    };
    hooks.lookupCityCoordinates = [this] {
        runOnUi(this, [this] { pointing_->lookupCityCoordinates(); });
    };
    hooks.fillAntennaList = [this] {
        runOnUi(this, [this] { pointing_->fillAntennaList(); });
    };
    hooks.runPointingCalculation = [this] {
        runOnUi(this, [this] { pointing_->runPointingCalculation(); });
    };
    hooks.createDiagramSprites = [this] {
        runOnUi(this, [this] { window_->pointingTab()->diagramCanvas()->createSprites(); });
    };
    const InitOutcome outcome =
        initialiseMainWindow(state_, store_, *this, hooks, clock_, stopInit_);
    initOutcome_ = outcome;
    if (outcome == InitOutcome::Fatal) {
        store_.cleanupWorkFiles();
        postToUi(this, [this] { emit quitRequested(); });
    }
    initDone_ = true;
}

// --- online update

void AppController::setUpUpdateFlow() {
    updateView_ = new UpdateWindowView(
        window_.get(), [this] { update::transferMonitorTick(*updateFlow_); },
        [this] { deferredTimerTick(); }, [this] { endFromUpdate(); }, this);
    updateFlow_.reset(new update::UpdateFlow{updateState_, *updateView_, downloader_, store_,
                                             clock_, state_.downloadMode});
    update::UpdateFlow& flow = *updateFlow_;
    flow.dataVersion = [this] {
        return state_.dataVersion();
    };
    flow.dataDate = [this] {
        return state_.dataDate();
    };
    update::UpdateHooks& h = flow.hooks;
    h.runSoftwareCheck = [this] {
        update::runSoftwareCheck(*updateFlow_);
    };
    h.startWorker = [this](const std::string& name, std::function<void()> job) {
        start(name, std::move(job));
    };
    h.startListLoaders = [this] {
        start("latest channels", [this] { loadNewsList(info::ListKind::LatestChannels); });
        start("sng list", [this] { loadNewsList(info::ListKind::Sng); });
    };
    h.checkLocalPages = [this] {
        runLocalPages();
    };
    h.setQueryControlsEnabled = [this](bool enabled) {
        postToUi(window_.get(), [w = window_.get(), enabled] {
            w->parameterTab()->showResultsButton()->setEnabled(enabled);
            w->parameterTab()->providerShowResultsButton()->setEnabled(enabled);
            w->parameterTab()->channelSearchButton()->setEnabled(enabled);
            w->pointingTab()->provinceList()->setEnabled(enabled);
            w->pointingTab()->cityList()->setEnabled(enabled);
        });
    };
    h.queryButtonEnabled = [this] {
        bool enabled = false;
        runOnUi(window_.get(),
                [&] { enabled = window_->parameterTab()->showResultsButton()->isEnabled(); });
        return enabled;
    };
    h.closeAllFiles = [this] {
        marker_.release();
    };
    h.startInstanceMarker = [this] {
        marker_.hold(state_.paths.instanceMarker);
    };
    h.extractCityDatabase = [this] {
        return store_.extractCityDatabase(channels::store::cityArchiveBytes());
    };
    h.handOverToRestartHelper = [this] {
        return handOverToRestartHelper(false);
    };
    h.databaseInUse = [this] {
        return store_.databaseBusy().load();
    };
    h.handOverToReplaceHelper = [this] {
        return handOverToReplaceHelper();
    };
}

bool AppController::handOverToRestartHelper(bool afterStartUpFailure) {
    if (afterStartUpFailure) {
        marker_.hold(state_.paths.instanceMarker);
    }
    update::RestartHandOver handOver;
    handOver.programFile = programFilePath();
    handOver.programFolder = env_.programFolder;
    handOver.clock = &clock_;
    handOver.processEvents = [this] {
        processEvents();
    };
    const bool started = update::handOverToRestartHelper(handOver);
    helperHandedOver_ = started;
    return started;
}

std::string AppController::programFilePath() const {
    return (env_.programFile.empty() ? env_.programFolder / env_.executableName : env_.programFile)
        .string();
}

bool AppController::handOverToReplaceHelper() {
    update::ReplaceHandOver handOver;
    handOver.programFile = programFilePath();
    handOver.programFolder = env_.programFolder;
    handOver.clock = &clock_;
    handOver.processEvents = [this] {
        processEvents();
    };
    const bool started = update::handOverToReplaceHelper(handOver);
    helperHandedOver_ = started;
    return started;
}

void AppController::runReplaceHelperRole() {
    update::ReplaceHelperRole role;
    role.arguments = env_.arguments;
    role.instanceMarker = state_.paths.instanceMarker;
    role.softwareDownload = state_.paths.softwareDownload;
    role.packageKey = updateFlow_->packageKey;
    role.packageSizeLimit = updateFlow_->packageSizeLimit;
    role.clock = &clock_;
    role.showMessage = [this](const std::string& caption, const std::string& text) {
        updateView_->showMessage(caption, text);
    };
    role.cleanupWorkFiles = [this] {
        store_.cleanupWorkFiles();
    };
    update::runReplaceHelper(role);
}

void AppController::runRestartHelperRole() {
    update::RestartHelperRole role;
    role.arguments = env_.arguments;
    role.instanceMarker = state_.paths.instanceMarker;
    role.clock = &clock_;
    role.showMessage = [this](const std::string& caption, const std::string& text) {
        updateView_->showMessage(caption, text);
    };
    role.cleanupWorkFiles = [this] {
        store_.cleanupWorkFiles();
    };
    update::runRestartHelper(role);
}

// The flows end the program: from the download window, with or without a restart under way,
// or from the main window.
void AppController::endFromUpdate() {
    if (downloadWindow_) {
        downloadOutcome_ =
            helperHandedOver_ ? DownloadWindowOutcome::Restarted : DownloadWindowOutcome::Quit;
        downloadWindow_->done(0);
        return;
    }
    emit quitRequested();
}

void AppController::deferredTimerTick() {
    info::runDeferredListJob(
        updateState_.listsPending, updateState_.serverRoot(),
        {[this] {
             loadNewsList(info::ListKind::LatestChannels);
             loadNewsList(info::ListKind::Sng);
         },
         [this](const std::string& url) {
             window_->newsBanner()->showOnlineUrl(
                 QString::fromStdString(url),
                 QString::fromStdString((state_.paths.workFolder / "news.htm").string()));
         }});
    updateView_->deferredTimer().stop();
}

void AppController::loadNewsList(info::ListKind kind) {
    const auto sink = window_->newsTab()->newsLists()->makeSink();
    info::loadList(kind,
                   {updateState_.serverReached, updateState_.serverRoot(),
                    [](const std::string& url) { return update::fetchText(url); },
                    state_.paths.workFolder},
                   *sink);
}

void AppController::runLocalPages() {
    LauncherSetup launcher;
    launcher.places = env_.shortcuts;
    launcher.currentFolder = env_.programFolder;
    launcher.target = programFilePath();
    launcher.icon = "zorvast";
    // Once a run: the data apply goes through this step again.
    if (!env_.iconFile.empty() && !iconWritten_.exchange(true)) {
        // Pictures are drawn on the window thread. A missing icon costs the entry nothing.
        runOnUi(window_.get(), [this] { writeApplicationIconFile(env_.iconFile); });
    }
    checkLocalPages(state_, *this, launcher, clock_);
}

void AppController::runSplash() {
    SplashWindowView view(window_.get(), splash_, window_.get(), window_->logoButton());
    runSplashSequence(view, clock_, state_.downloadMode);
}

void AppController::showSatelliteInfo() {
    auto* parameters = window_->parameterTab();
    const std::optional<SatelliteEntry> entry =
        state_.satelliteAt(parameters->satelliteList()->currentIndex());
    const std::string text =
        entry
            ? pointing::satelliteInfoText(parameters->satelliteList()->currentText().toStdString(),
                                          entry->s_rema, entry->s_max, entry->s_min)
            : std::string(pointing::kDefaultDetailText);
    parameters->detailText()->setText(q(text));
}

void AppController::findSatellite() {
    // Only the index is copied: the two lists hold the same satellites in the same order.
    auto* pointingList = window_->pointingTab()->satelliteList();
    {
        const QSignalBlocker quiet(pointingList);
        pointingList->setCurrentIndex(window_->parameterTab()->satelliteList()->currentIndex());
    }
    window_->tabs()->setCurrentIndex(MainWindow::PointingTabIndex);
    pointing_->runPointingCalculation();
}

} // namespace zorvast::shell::ui
