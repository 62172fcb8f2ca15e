// The start-up sequence, from the executable's name to the running main window. The window
// side and the other parts of the program come in through StartUpView and StartUpHooks, so
// the whole order of steps runs in tests without a window.
#pragma once

#include "channels/store/DatabaseStore.h"
#include "common/WorkerPool.h"
#include "shell/startup/AppState.h"
#include "update/package/PackageSignature.h"
#include "update/roles/InstanceMarker.h"

#include <functional>
#include <optional>
#include <string>

namespace zorvast::shell {

// The start-up's workers that write into the working folder; the end of the run waits for them.
inline constexpr const char* kLocalPagesWorker = "local pages";
inline constexpr const char* kInitialisationWorker = "initialisation";

inline constexpr const char* kReplaceHelperName = "plumo_updata_89858656.exe";
inline constexpr const char* kRestartHelperName = "plumo_updata_69656858.exe";

enum class Answer { Ok, Retry, Cancel };

enum class DownloadWindowOutcome {
    Closed,    // closed otherwise: start-up goes on with the main window
    Quit,      // the user left: the working files go
    Restarted, // the restart helper takes over: the working files are left to the new copy
};

class StartUpView {
public:
    virtual ~StartUpView() = default;
    virtual void showSplash() = 0;
    // Window preparation before the data: lists made non-editable, the news grid laid out
    // and cleared, the logo button's pictures, the deferred timer stopped.
    virtual void prepareMainWindow() = 0;
    virtual Answer askRetryCancel(const std::string& caption, const std::string& text) = 0;
    virtual void showMessage(const std::string& caption, const std::string& text) = 0;
    // Shows the download window modally until the user quits from it or the first package has
    // been stored and the restart handed over.
    virtual DownloadWindowOutcome runDownloadWindow() = 0;
    virtual void setMainWindowEnabled(bool enabled) = 0;
    virtual void processEvents() = 0;
};

using common::WorkerStarter;

// The parts of the program start-up calls into. An empty member does nothing.
struct StartUpHooks {
    std::function<void()> runReplaceHelper;
    std::function<void()> runRestartHelper;
    // True when the restart helper was started; false shows "错误208".
    std::function<bool()> handOverToRestartHelper;
    std::function<void()> resetUpdateState; // serverReached cleared, server list loaded
    std::function<void()> loadLatestChannelList;
    std::function<void()> loadSngList;
    std::function<void()> checkLocalPages;
    std::function<void()> runDataCheck;
    std::function<void()> initialiseMainWindow;
    std::function<void()> splashWorker;
};

enum class StartUpResult {
    Running,     // the window goes on
    Quit,        // clean-up done where the sequence asks for it; end the process
    QuitSilently // another copy runs: end at once
};

struct StartUpContext {
    AppState& state;
    channels::store::DatabaseStore& store;
    update::InstanceMarker& marker;
    StartUpView& view;
    WorkerStarter& workers;
    StartUpHooks hooks;
    // The name the program was started under (argv[0] without its folder), which picks the
    // helper roles; not the file's own name: the helpers are the program's own file.
    std::string executableName;
    // satdata.sta is unpacked only when signed with this key.
    update::PublicKey packageKey{};
};

StartUpResult startUp(StartUpContext& context);

// The data version from table sys of the working copy at `path`; nullopt when the file,
// the table or the field cannot be read.
std::optional<std::string> readDataVersion(const std::filesystem::path& path);

} // namespace zorvast::shell
