#include "shell/startup/StartUp.h"

#include "channels/Messages.h"
#include "channels/jet/JetConnection.h"
#include "channels/jet/JetCursor.h"
#include "common/Files.h"
#include "common/FolderHandle.h"
#include "common/Hooks.h"
#include "common/platform/Platform.h"
#include "shell/Messages.h"
#include "update/package/DataApply.h"

namespace zorvast::shell {

namespace {

void startWorker(StartUpContext& c, const char* name, const std::function<void()>& job) {
    if (job) {
        c.workers.start(name, job);
    }
}

StartUpResult folderFailure(StartUpContext& c, const char* caption, const char* text,
                            bool cleanUp = true) {
    if (c.view.askRetryCancel(caption, text) == Answer::Retry && c.hooks.handOverToRestartHelper) {
        if (c.hooks.handOverToRestartHelper()) {
            // The restarted copy finds the working files and makes them anew: leave them.
            c.view.processEvents();
            return StartUpResult::Quit;
        }
        c.view.showMessage(messages::kCaptionError208, messages::kRestartFailure);
    }
    if (cleanUp) {
        c.store.cleanupWorkFiles();
    }
    return StartUpResult::Quit;
}

} // namespace

std::optional<std::string> readDataVersion(const std::filesystem::path& path) {
    channels::jet::JetConnection connection;
    if (!connection.open(path.string())) {
        return std::nullopt;
    }
    channels::jet::JetCursor cursor;
    cursor.attach(connection);
    if (!cursor.openTable("sys")) {
        return std::nullopt;
    }
    cursor.moveFirst();
    if (cursor.atEnd()) {
        return std::nullopt;
    }
    return cursor.readText("s_ver");
}

StartUpResult startUp(StartUpContext& c) {
    const auto& paths = c.state.paths;

    // Update roles: the same program file, started under a helper's name.
    if (c.executableName == kReplaceHelperName) {
        common::callIfSet(c.hooks.runReplaceHelper);
        return StartUpResult::Quit;
    }
    if (c.executableName == kRestartHelperName) {
        common::callIfSet(c.hooks.runRestartHelper);
        return StartUpResult::Quit;
    }

    // The working folders live in a folder only this user can reach. One that is a link, a
    // file or another user's is never used, not even wiped: it may lead to someone else's files.
    const std::filesystem::path area = paths.workFolder.parent_path();
    if (common::platform::preparePrivateFolder(area) !=
        common::platform::PrivateFolderStatus::Ready) {
        return folderFailure(c, messages::kCaptionError101, messages::kFolderReadError, false);
    }

    // Only a lock held by another running copy means another copy runs; a marker nobody holds
    // is a leftover, and one that cannot be looked at is an error the user is told about.
    if (common::folderExists(paths.workFolder)) {
        const update::MarkerResult stale = update::removeStaleMarker(paths.instanceMarker);
        if (stale == update::MarkerResult::OtherCopyRuns) {
            return StartUpResult::QuitSilently;
        }
        if (stale == update::MarkerResult::Error) {
            return folderFailure(c, messages::kCaptionError101, messages::kFolderReadError);
        }
        c.store.cleanupWorkFiles();
    }

    const std::optional<common::FolderHandle> areaFolder = common::FolderHandle::open(area);
    if (!areaFolder || !areaFolder->makeFolder(paths.workFolder.filename().string(), 0700)) {
        return folderFailure(c, messages::kCaptionError101, messages::kFolderReadError);
    }
    const update::MarkerResult held = c.marker.hold(paths.instanceMarker);
    if (held == update::MarkerResult::OtherCopyRuns) {
        return StartUpResult::QuitSilently; // started at the same moment as ours
    }
    if (held == update::MarkerResult::Error) {
        return folderFailure(c, messages::kCaptionError101, messages::kFolderReadError);
    }

    c.view.showSplash();
    c.view.prepareMainWindow();
    c.state.downloadMode = false;
    c.store.databaseBusy() = false;
    common::callIfSet(c.hooks.resetUpdateState);

    if (common::fileExists(paths.dataPackage)) {
        if (common::folderExists(paths.workFolder)) {
            // Read once and checked whole in memory before any of it is written: a damaged,
            // altered or unsigned package is no data at all.
            const std::optional<update::VerifiedPackage> package =
                update::readVerifiedDataPackage(paths.dataPackage, c.packageKey);
            if (!package || !update::writePackageFiles(*package, paths.workFolder)) {
                c.state.downloadMode = true;
                c.view.processEvents();
            }
        }
        if (!common::folderExists(paths.workFolder)) {
            return folderFailure(c, messages::kCaptionError101a, messages::kFolderMissingError);
        }
    } else {
        c.state.downloadMode = true;
    }

    if (!c.store.prepareWorkingCopy()) {
        c.state.downloadMode = true;
    } else {
        c.view.processEvents();
        startWorker(c, "latest channels", c.hooks.loadLatestChannelList);
        startWorker(c, "sng list", c.hooks.loadSngList);
        startWorker(c, kLocalPagesWorker, c.hooks.checkLocalPages);
        if (c.store.waitForDatabase()) {
            c.view.showMessage(messages::kCaptionError118, channels::messages::kBusyText);
            return StartUpResult::Running;
        }
        c.store.databaseBusy() = true;
        const std::optional<std::string> version = readDataVersion(paths.workDatabasePath);
        if (version) {
            c.state.setDataVersion(*version);
        } else {
            c.state.downloadMode = true;
        }
        c.store.removeWorkingCopy();
        c.view.processEvents();
        c.store.databaseBusy() = false;
    }

    if (c.state.downloadMode) {
        switch (c.view.runDownloadWindow()) {
        case DownloadWindowOutcome::Closed:
            break;
        case DownloadWindowOutcome::Quit:
            c.store.cleanupWorkFiles();
            return StartUpResult::Quit;
        case DownloadWindowOutcome::Restarted:
            // The restarted copy finds the working files and makes them anew: leave them.
            return StartUpResult::Quit;
        }
    } else {
        startWorker(c, "data check", c.hooks.runDataCheck);
    }

    c.view.setMainWindowEnabled(false);
    startWorker(c, kInitialisationWorker, c.hooks.initialiseMainWindow);
    startWorker(c, "splash", c.hooks.splashWorker);
    c.view.processEvents();
    return StartUpResult::Running;
}

} // namespace zorvast::shell
