// The context the update flows run in: the checks, the package download and its monitor tick,
// and the two data applies. Everything outside the update core comes in here: the window
// through UpdateView, the other parts of the program through UpdateHooks, and the services
// (fetch, download, store, clock) by reference.
//
// Threads: the checks and the applies run on workers, the tick on the window thread. The view
// must therefore accept every call from any thread and carry it to the window in the order it
// was issued; showMessage blocks its caller until the user has pressed OK.
//
// One flow lives as long as the program (workers started by it keep a reference):
//     UpdateFlow flow{updateState, view, downloadService, store, clock, appState.downloadMode};
//     flow.dataVersion = [&] { return appState.dataVersion(); };
//     flow.dataDate = [&] { return appState.dataDate(); };
//     flow.hooks.startWorker = ...;  // and the other hooks
// then runDataCheck or runFirstDataCheck on a worker, and transferMonitorTick from the
// TransferMonitor timer.
#pragma once

#include "channels/store/DatabaseStore.h"
#include "common/Clock.h"
#include "update/check/UpdateState.h"
#include "update/net/DownloadService.h"
#include "update/package/PackageSignature.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace zorvast::update {

inline constexpr std::uint64_t kPackageSizeLimit = 256ull * 1024 * 1024;

// How package transfers deal with slow and broken links. A dead or silent mirror is ended by
// the service's own time-outs and retries, never by the monitor tick.
struct TransferPolicy {
    // Connection attempts before any byte has arrived: the first and this many more, this far
    // apart.
    std::chrono::milliseconds retryWait{5000};
    int retryCount = 3;
    // After a break, the transfer resumes where it stopped after each of these waits in turn;
    // when they are used up the mirror has failed.
    std::vector<std::chrono::milliseconds> resumeWaits{
        std::chrono::seconds(2), std::chrono::seconds(4), std::chrono::seconds(8),
        std::chrono::seconds(16)};
    // DNS, TCP and TLS together; a distant server or a satellite link needs seconds for it.
    std::chrono::milliseconds connectTimeout{20000};
    // No byte for this long, before the first one (a proxy scanning the file) or between two.
    std::chrono::milliseconds noDataTimeout{30000};
};

// The two progress bars a transfer can move.
enum class ProgressBar {
    Main,   // the download bar lying over the main window's progress bar
    Window, // the bar of DownloadWindow (first-download mode)
};

class UpdateView {
public:
    virtual ~UpdateView() = default;

    // The main window's status line.
    virtual std::string statusText() = 0;
    virtual void setStatusText(const std::string& text) = 0;
    virtual void appendStatusText(const std::string& text) = 0;
    // The label of DownloadWindow.
    virtual void setDownloadLabel(const std::string& text) = 0;
    // The short version field beside the status line.
    virtual void setVersionText(const std::string& text) = 0;

    // Only the main download bar is ever hidden.
    virtual void setDownloadBarVisible(bool visible) = 0;
    virtual void setBarRange(ProgressBar bar, int minimum, int maximum) = 0;
    virtual void setBarValue(ProgressBar bar, int value) = 0;
    virtual int barValue(ProgressBar bar) = 0;

    // Interval 0 stops the timer; TransferMonitor ticks call transferMonitorTick, the
    // one-shot DeferredTimer reloads the server's lists and news banner.
    virtual void setTransferMonitorInterval(int milliseconds) = 0;
    virtual void setDeferredTimerInterval(int milliseconds) = 0;

    virtual void processEvents() = 0;
    // A modal box with the OK button only and no icon.
    virtual void showMessage(const std::string& caption, const std::string& text) = 0;
    // A modal box with OK and Cancel and the information icon; true for OK.
    virtual bool askOkCancel(const std::string& caption, const std::string& text) = 0;
    // Ends the program. The flows return right after calling it.
    virtual void endProgram() = 0;
};

// The parts of the program the flows call into. Every member may be left empty: an empty
// action does nothing, an empty question has the answer written beside it.
struct UpdateHooks {
    // The software check, run on the calling thread (the flows start it on a worker through
    // startWorker when they ask for a new thread).
    std::function<void()> runSoftwareCheck;
    // Starts `job` on a new worker thread. Empty: the job runs at once on the calling thread.
    std::function<void(const std::string& name, std::function<void()> job)> startWorker;
    // The two list loaders of the information pages, each on a new worker.
    std::function<void()> startListLoaders;
    // The local-pages step (pages, data date, launcher entries), on the calling thread.
    std::function<void()> checkLocalPages;
    // Both "显示结果" buttons, "搜 索", and the province and city lists.
    std::function<void(bool enabled)> setQueryControlsEnabled;
    // Whether the combined query's "显示结果" is enabled. Empty: false.
    std::function<bool()> queryButtonEnabled;
    // Releases every file the program holds open, the instance marker included.
    std::function<void()> closeAllFiles;
    // Holds the instance marker in the working folder again.
    std::function<void()> startInstanceMarker;
    // Writes out and unpacks the city database. Empty: true.
    std::function<bool()> extractCityDatabase;
    // Hands the restart over to the restart helper; false when the helper folder could not be
    // prepared. Empty: false.
    std::function<bool()> handOverToRestartHelper;
    // Whether a database access is under way (the program is not ended during one). Empty:
    // false.
    std::function<bool()> databaseInUse;
    // Hands the new program over to the replacement helper; false when that failed. Empty:
    // false.
    std::function<bool()> handOverToReplaceHelper;
};

// Called at the start of each numbered step of a data apply (1 to 13 in normal mode, 1 to 6 in
// first-download mode) and once more, with the next number, after the last. Tests stop the
// process there.
using ApplyStepHook = std::function<void(int step)>;

struct UpdateFlow {
    UpdateState& state;
    UpdateView& view;
    Downloader& downloader;
    channels::store::DatabaseStore& store;
    common::Clock& clock;
    std::atomic<bool>& downloadMode; // true: texts go to DownloadWindow
    UpdateHooks hooks;

    // The local data version (table sys, field s_ver) and the data date text; read when used.
    std::function<std::string()> dataVersion;
    std::function<std::string()> dataDate;

    // The data servers in order, and the fetch of their short answers.
    std::vector<std::string> dataServers = dataServerList();
    std::function<std::string(const std::string& url)> fetch = defaultFetch;
    RandomDraw randomDraw = systemRandomDraw();

    // The key packages must be signed with, and the largest package (downloaded file and
    // inflated content alike) that is looked at.
    PublicKey packageKey = builtInPackageKey();
    std::uint64_t packageSizeLimit = kPackageSizeLimit;

    TransferPolicy transferPolicy;
    // The calendar time a release statement's age is measured against.
    std::function<std::time_t()> now = [] {
        return std::time(nullptr);
    };

    ApplyStepHook onApplyStep;

    // The one transfer record of the run, reused for every package; guarded by taskMutex.
    std::mutex taskMutex;
    DownloadTask task;

    // Set while a monitor tick runs: processEvents inside a tick may deliver the next one.
    std::atomic<bool> tickRunning{false};

    static std::string defaultFetch(const std::string& url);
};

// The data check of normal mode, on its own worker.
void runDataCheck(UpdateFlow& flow);

// The data check of first-download mode, started with DownloadWindow.
void runFirstDataCheck(UpdateFlow& flow);

// Once per run, after the checks: a note on the status line when the server's signed release
// statement is older than kStaleStatementDays (its data may no longer be kept up to date).
void noteStaleStatement(UpdateFlow& flow);

// The last step every software check ends with: after a short wait the lists and the news
// banner are marked for reloading and the one-shot DeferredTimer is set to 5000 ms.
void scheduleDeferredReload(UpdateFlow& flow);

// The software check: the server's program version against ours; a newer one starts the
// software package download. Ends with the deferred reload unless no mirror was found.
void runSoftwareCheck(UpdateFlow& flow);

// Shows a text where the current mode shows texts: the DownloadWindow label (first-download
// mode) or the status line.
void showUpdateText(UpdateFlow& flow, const std::string& downloadLabel,
                    const std::string& statusLine);

// Runs `job` through startWorker, or at once when there is none.
void startUpdateWorker(UpdateFlow& flow, const std::string& name, std::function<void()> job);

} // namespace zorvast::update
