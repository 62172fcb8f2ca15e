// The online update as the program runs it: the update flow with its window side, the
// download window of first-download mode, the deferred timer, the hand-overs to the helpers,
// the helper roles themselves, and the end of the program an update asks for.
#pragma once

#include "channels/store/DatabaseStore.h"
#include "common/Clock.h"
#include "common/WorkerPool.h"
#include "info/lists/NewsLists.h"
#include "shell/startup/AppState.h"
#include "shell/startup/StartUp.h"
#include "shell/ui/AppEnvironment.h"
#include "update/check/UpdateFlow.h"
#include "update/check/UpdateState.h"
#include "update/net/DownloadService.h"
#include "update/roles/InstanceMarker.h"
#include "update/roles/RestartHelper.h"

#include <QPointer>

#include <atomic>
#include <functional>
#include <memory>

class QObject;

namespace zorvast::update::ui {
class DownloadWindow;
}

namespace zorvast::shell::ui {

class MainWindow;
class UpdateWindowView;

// What the update works with; all of it outlives the wiring.
struct UpdateParts {
    MainWindow& window;
    AppState& state;
    channels::store::DatabaseStore& store;
    update::InstanceMarker& marker;
    update::UpdateState& updateState;
    update::DownloadService& downloader;
    common::Clock& clock;
    common::WorkerStarter& workers;
    const AppEnvironment& environment;
};

// The other parts the update calls into; an empty member does nothing.
struct UpdateWiringHooks {
    std::function<void(info::ListKind kind)> loadNewsList; // on the calling thread
    std::function<void()> checkLocalPages;                 // on the calling thread
    std::function<void()> endProgram;                      // on the window thread
};

class UpdateWiring {
public:
    // The window side is made a child of `owner`.
    UpdateWiring(QObject* owner, UpdateParts parts, UpdateWiringHooks hooks);
    ~UpdateWiring();
    UpdateWiring(const UpdateWiring&) = delete;
    UpdateWiring& operator=(const UpdateWiring&) = delete;

    update::UpdateFlow& flow() { return *flow_; }
    UpdateWindowView& view() { return *view_; }

    // The update state of a new start: no server reached, the server list loaded.
    void resetState();
    void runDataCheck();
    // Shows the download window modally; its creation starts the first-download check.
    DownloadWindowOutcome runDownloadWindow();

    // True when the helper was started; then the working files are left to it.
    bool handOverToRestartHelper(bool afterStartUpFailure);
    bool helperHandedOver() const { return helperHandedOver_; }
    void runRestartHelperRole();
    void runReplaceHelperRole();

    void stopDownloads();

private:
    bool handOverToReplaceHelper();
    update::HelperHandOver helperHandOver() const;
    update::UpdateHooks flowHooks();
    void deferredTimerTick();
    void endFromUpdate();

    UpdateParts parts_;
    UpdateWiringHooks hooks_;
    UpdateWindowView* view_ = nullptr; // owned by the owner given at construction
    std::unique_ptr<update::UpdateFlow> flow_;
    QPointer<update::ui::DownloadWindow> downloadWindow_;
    DownloadWindowOutcome downloadOutcome_ = DownloadWindowOutcome::Closed;
    // A helper took over (restart or replacement): the working files and the downloads are
    // left to it and the copy it starts when this run ends.
    std::atomic<bool> helperHandedOver_{false};
};

} // namespace zorvast::shell::ui
