// Runs the program's life: start-up, the main-window initialisation, the local pages and the
// exit, with the core sequences driving the window through the views implemented here.
#pragma once

#include "channels/store/DatabaseStore.h"
#include "info/lists/NewsLists.h"
#include "info/pages/InfoState.h"
#include "shell/startup/AppState.h"
#include "shell/startup/LocalPagesStep.h"
#include "shell/startup/MainWindowInit.h"
#include "shell/startup/StartUp.h"
#include "update/check/UpdateFlow.h"
#include "update/check/UpdateState.h"
#include "update/net/DownloadService.h"
#include "update/roles/InstanceMarker.h"

#include <QObject>
#include <QPointer>

#include <atomic>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace zorvast::pointing::ui {
class PointingController;
}
namespace zorvast::channels::ui {
class ParameterController;
}
namespace zorvast::update::ui {
class DownloadWindow;
}

namespace zorvast::shell::ui {

class MainWindow;
class SplashWindow;
class UpdateWindowView;

struct AppEnvironment {
    std::filesystem::path temporaryFolder; // the private area (common/PrivateFolder.h)
    std::filesystem::path programFolder;   // the current folder at launch
    // Package downloads, kept across runs to be resumed (common/PrivateFolder.h); empty: a
    // folder in the temporary folder.
    std::filesystem::path downloadFolder;
    // The name the program was started under (argv[0] without its folder): a helper's name
    // makes this run a helper role.
    std::string executableName;
    // The command line after argv[0]: what a helper role is handed.
    std::vector<std::string> arguments;
    ShortcutPlaces shortcuts;
    common::Clock* clock = nullptr; // the system clock when null
    // The running program's own file (/proc/self/exe resolved): started once more as a helper,
    // and what the helper restarts or replaces. Empty: the program folder + the executable's
    // name.
    std::filesystem::path programFile;
    // Where the desktop entry's icon "zorvast" is written with the launcher entries; empty:
    // nowhere.
    std::filesystem::path iconFile;
};

// The environment of this process; `commandLine` is argv as main received it.
AppEnvironment systemEnvironment(const std::vector<std::string>& commandLine);

class AppController : public QObject,
                      private StartUpView,
                      private MainWindowInitView,
                      private LocalPagesView,
                      private WorkerStarter {
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
    update::UpdateFlow& updateFlow() { return *updateFlow_; }
    // Set once the initialisation worker has ended, whatever its outcome.
    bool initialisationDone() const { return initDone_; }
    InitOutcome initialisationOutcome() const { return initOutcome_; }

signals:
    // The program must end (a fatal error after its message).
    void quitRequested();

private:
    // StartUpView
    void showSplash() override;
    void prepareMainWindow() override;
    Answer askRetryCancel(const std::string& caption, const std::string& text) override;
    void showMessage(const std::string& caption, const std::string& text) override;
    DownloadWindowOutcome runDownloadWindow() override;
    void setMainWindowEnabled(bool enabled) override;
    void processEvents() override;
    // MainWindowInitView
    void setEnabled(InitControl control, bool enabled) override;
    void clearList(InitList list) override;
    void addListItem(InitList list, const std::string& text) override;
    void removeListItem(InitList list, int index) override;
    void selectListItem(InitList list, int index) override;
    void setGridShape(int rows, int columns) override;
    void setGridColumnWidths(const std::vector<int>& widths) override;
    void setGridText(int row, int column, const std::string& text) override;
    void mergeGridRow(int row) override;
    void setGridRowBackground(int row, Rgb colour) override;
    void setGridRowLayout(int row, const GridRowLayout& layout) override;
    void setDetailText(const std::string& text) override;
    void checkFeedDefaults() override;
    // LocalPagesView
    void showPage(info::PageView view, const std::filesystem::path& file) override;
    void setStatusText(const std::string& text) override;
    void setForumSections(const std::vector<std::string>& names) override;
    // WorkerStarter
    void start(const std::string& name, std::function<void()> job) override;

    void runInitialisation();
    void runLocalPages();
    void loadNewsList(info::ListKind kind);
    void refreshNewsTab();
    void refreshWithLockOut(const std::function<void()>& reload);
    void setUpInformationPages();
    void onTabChanged(int index);
    void refreshTradeTab();
    void setUpUpdateFlow();
    void deferredTimerTick();
    void endFromUpdate();
    bool handOverToRestartHelper(bool afterStartUpFailure);
    void runRestartHelperRole();
    bool handOverToReplaceHelper();
    bool workerRunning(const std::string& name) const;
    std::string programFilePath() const;
    void runReplaceHelperRole();
    void runSplash();
    // The logo button opens the about box modally.
    void openAbout();
    void showSatelliteInfo();
    void findSatellite();

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
    UpdateWindowView* updateView_ = nullptr;
    std::unique_ptr<update::UpdateFlow> updateFlow_;
    QPointer<update::ui::DownloadWindow> downloadWindow_;
    DownloadWindowOutcome downloadOutcome_ = DownloadWindowOutcome::Closed;
    // A helper took over (restart or replacement): the working files and the downloads are
    // left to it and the copy it starts when this run ends.
    std::atomic<bool> helperHandedOver_{false};
    std::atomic<bool> iconWritten_{false};
    QPointer<SplashWindow> splash_;
    std::atomic<bool> stopInit_{false};
    std::atomic<bool> initDone_{false};
    std::atomic<InitOutcome> initOutcome_{InitOutcome::Stopped};
    std::atomic<int> workersRunning_{0};
    // Running workers by name, for the end of the run.
    mutable std::mutex workerNamesMutex_;
    std::multiset<std::string> runningWorkers_;
};

} // namespace zorvast::shell::ui
