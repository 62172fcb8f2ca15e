// Runs the program's life: start-up, the main-window initialisation, the local pages and the
// exit. It composes the window, the tab controllers and the wirings of this folder; the core
// sequences drive the window through the views implemented here.
#pragma once

#include "channels/store/DatabaseStore.h"
#include "common/WorkerPool.h"
#include "info/pages/InfoState.h"
#include "shell/startup/AppState.h"
#include "shell/startup/MainWindowInit.h"
#include "shell/startup/StartUp.h"
#include "shell/ui/AppEnvironment.h"
#include "shell/ui/InitWindowView.h"
#include "shell/ui/LocalPagesWindowView.h"
#include "shell/ui/StartUpWindowView.h"
#include "update/check/UpdateFlow.h"
#include "update/check/UpdateState.h"
#include "update/net/DownloadService.h"
#include "update/roles/InstanceMarker.h"

#include <QObject>

#include <atomic>
#include <memory>

namespace zorvast::pointing::ui {
class PointingController;
}
namespace zorvast::channels::ui {
class ParameterController;
}

namespace zorvast::shell::ui {

class InformationWiring;
class MainWindow;
class TabWiring;
class UpdateWiring;

class AppController : public QObject {
    Q_OBJECT
public:
    explicit AppController(AppEnvironment environment, QObject* parent = nullptr);
    ~AppController() override;

    // The start-up sequence; Running means the window goes on.
    StartUpResult startUp();
    // Stops a running initialisation and removes every working file.
    void shutDown();

    MainWindow* window() const { return window_.get(); }
    pointing::ui::PointingController* pointing() const { return pointing_; }
    channels::ui::ParameterController* parameters() const { return parameters_; }
    AppState& state() { return state_; }
    channels::store::DatabaseStore& store() { return store_; }
    // The update flow of this run: its state, and the mirror draw an end-to-end test fixes.
    update::UpdateFlow& updateFlow();
    // Set once the initialisation worker has ended, whatever its outcome.
    bool initialisationDone() const { return initDone_; }
    InitOutcome initialisationOutcome() const { return initOutcome_; }

signals:
    // The program must end (a fatal error after its message).
    void quitRequested();

private:
    void runInitialisation();
    void runLocalPages();
    void runSplash();

    AppEnvironment env_;
    common::Clock& clock_;
    AppState state_;
    channels::store::DatabaseStore store_;
    update::InstanceMarker marker_;
    update::UpdateState updateState_;
    info::InfoState infoState_;
    update::DownloadService downloader_;
    std::unique_ptr<MainWindow> window_;
    pointing::ui::PointingController* pointing_ = nullptr;
    channels::ui::ParameterController* parameters_ = nullptr;
    StartUpWindowView startUpView_;
    InitWindowView initView_;
    LocalPagesWindowView pagesView_;
    std::unique_ptr<TabWiring> tabs_;
    std::unique_ptr<UpdateWiring> update_;
    std::unique_ptr<InformationWiring> information_;
    std::atomic<bool> iconWritten_{false};
    std::atomic<bool> initDone_{false};
    std::atomic<InitOutcome> initOutcome_{InitOutcome::Stopped};
    // Last: destroyed first, it joins the workers while everything they use still exists.
    common::WorkerPool workers_;
};

} // namespace zorvast::shell::ui
