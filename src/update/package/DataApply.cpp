#include "update/package/DataApply.h"

#include "channels/Messages.h"
#include "channels/jet/JetConnection.h"
#include "channels/store/StoredFile.h"
#include "common/Files.h"
#include "common/FolderHandle.h"
#include "common/Hooks.h"
#include "update/Messages.h"
#include "update/net/DownloadService.h"
#include "update/package/PackageManifest.h"

#include <functional>
#include <memory>

namespace zorvast::update {

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr const char* kStagedCopy = "satdata.tmp";

void step(UpdateFlow& flow, int number) {
    if (flow.onApplyStep) {
        flow.onApplyStep(number);
    }
}

// The working copy the second connection proves the new data with, made from the verified
// bytes of the package's database. False when there is none to make.
bool writeStagedCopy(const fs::path& stagingFolder, const VerifiedPackage& package) {
    const std::optional<common::FolderHandle> staging = common::FolderHandle::open(stagingFolder);
    if (!staging) {
        return false;
    }
    staging->removeFile(kStagedCopy);
    const std::string* stored = package.entry("satdata.str");
    if (!stored) {
        return false;
    }
    const channels::store::Bytes copy = channels::store::workingCopyFromStored(
        {reinterpret_cast<const std::uint8_t*>(stored->data()), stored->size()});
    return !copy.empty() &&
           common::writeFileAtomically(
               *staging, kStagedCopy, {reinterpret_cast<const char*>(copy.data()), copy.size()},
               {.durability = common::Durability::Disposable, .mode = 0600, .exactMode = true});
}

// The verified archive bytes become satdata.sta: written as a fresh file under the download's
// name (the download itself, or whatever was put there, is removed first, never written
// through), flushed, and renamed over satdata.sta. A crash leaves the old package or the new
// one, never half of one, and nothing beside them that the clean-up does not remove.
bool storePackage(const channels::store::StorePaths& paths, const VerifiedPackage& package) {
    const std::optional<common::FolderHandle> program =
        common::FolderHandle::open(paths.programFolder);
    if (!program) {
        return false;
    }
    const std::string fresh = paths.dataDownload.filename().string();
    if (!common::writeFileAtomically(*program, paths.dataPackage.filename().string(),
                                     package.archiveBytes,
                                     {.durability = common::Durability::Durable,
                                      .mode = 0644,
                                      .exactMode = true,
                                      .temporaryName = fresh})) {
        return false;
    }
    // The download is installed: nothing is left to resume.
    discardDownload(paths.dataDownload);
    return true;
}

std::string dateOrEmpty(const fs::path& file) {
    return fileDateText(file).value_or(std::string());
}

// A staged database that does not open leaves everything as it was: the running data, the
// marker, the controls. The next start tries the update again.
void keepRunningData(UpdateFlow& flow) {
    const channels::store::StorePaths& paths = flow.store.paths();
    common::removeTree(paths.stagingFolder);
    flow.store.databaseBusy() = false;
    if (flow.hooks.setQueryControlsEnabled) {
        flow.hooks.setQueryControlsEnabled(true);
    }
    flow.view.setDownloadBarVisible(false);
    flow.view.setStatusText(kStatusStagedDataUnreadable);
    flow.view.processEvents();
    startUpdateWorker(flow, "software check", flow.hooks.runSoftwareCheck);
}

void endAfterCleanup(UpdateFlow& flow, const char* caption, const char* text) {
    flow.view.showMessage(caption, text);
    flow.store.cleanupWorkFiles();
    flow.view.endProgram();
}

} // namespace

PackageVerdict verdictOf(PackageFault fault) {
    switch (fault) {
    case PackageFault::None:
        return PackageVerdict::Usable;
    case PackageFault::Unreadable:
    case PackageFault::Damaged:
        return PackageVerdict::Unreadable;
    case PackageFault::NotFlat:
    case PackageFault::Unsigned:
    case PackageFault::Unusable:
        break;
    }
    return PackageVerdict::Unusable;
}

bool dataPackageContentUsable(const VerifiedPackage& package) {
    const auto largerThan = [&package](const char* name, std::uint64_t bytes) {
        const std::string* content = package.entry(name);
        return content && content->size() > bytes;
    };
    return largerThan("satdata.str", kMinimumDatabaseBytes) &&
           largerThan("nch.str", kMinimumListBytes) && largerThan("sng.str", kMinimumListBytes);
}

std::optional<VerifiedPackage> readVerifiedDataPackage(const fs::path& archive,
                                                       const PublicKey& key,
                                                       std::uint64_t sizeLimit,
                                                       PackageFault* fault) {
    return readVerifiedPackage(archive, key, sizeLimit, dataPackageContentUsable, fault);
}

PackageVerdict examineDataPackage(const fs::path& archive, const fs::path& folder,
                                  const PublicKey& key, std::uint64_t sizeLimit) {
    PackageFault fault = PackageFault::None;
    const std::optional<VerifiedPackage> package =
        readVerifiedDataPackage(archive, key, sizeLimit, &fault);
    if (!package) {
        return verdictOf(fault);
    }
    return writePackageFiles(*package, folder) ? PackageVerdict::Usable
                                               : PackageVerdict::Unreadable;
}

std::shared_ptr<const VerifiedPackage> checkDataPackage(UpdateFlow& flow) {
    const channels::store::StorePaths& paths = flow.store.paths();
    common::removeTree(paths.stagingFolder);
    PackageFault fault = PackageFault::None;
    std::optional<VerifiedPackage> package =
        readVerifiedDataPackage(paths.dataDownload, flow.packageKey, flow.packageSizeLimit, &fault);
    // Signed as data, as the version announced, and newer than ours: no replay of an older
    // package, no second install of the same one.
    if (package && checkRelease(*package, PackageKind::Data, flow.state.announcedDataVersion(),
                                Version(flow.dataVersion ? flow.dataVersion() : std::string())) !=
                       ReleaseFault::None) {
        flow.state.releaseRefused = true;
        package.reset();
        fault = PackageFault::Unusable;
    }
    if (package && writePackageFiles(*package, paths.stagingFolder)) {
        flow.view.processEvents();
        return std::make_shared<const VerifiedPackage>(std::move(*package));
    }
    // A package that unpacked but is not ours or too small gets the short wait; a damaged or
    // missing download does not.
    if (!package && verdictOf(fault) == PackageVerdict::Unusable) {
        flow.clock.sleepFor(500ms);
    }
    common::removeTree(paths.stagingFolder);
    flow.view.processEvents();
    return nullptr;
}

void applyDataPackage(UpdateFlow& flow, const VerifiedPackage& package) {
    const channels::store::StorePaths& paths = flow.store.paths();
    const fs::path stagedCopy = paths.stagingFolder / kStagedCopy;

    step(flow, 1);
    if (flow.store.waitForDatabase()) {
        flow.view.showMessage(kCaptionError118, channels::messages::kBusyText);
        return;
    }

    // Files are closed only once the new data is known to open (step 5): a package that fails
    // must not cost the running program its marker or anything else it holds.
    step(flow, 2);
    flow.store.databaseBusy() = true;
    if (flow.hooks.setQueryControlsEnabled) {
        flow.hooks.setQueryControlsEnabled(false);
    }

    step(flow, 3);
    const bool copied = writeStagedCopy(paths.stagingFolder, package);

    step(flow, 4);
    {
        channels::jet::JetConnection second;
        if (!copied || !second.open(stagedCopy.string(), "")) {
            keepRunningData(flow);
            return;
        }
        step(flow, 5);
        second.close();
    }
    // The plain database has done its job.
    common::removeTree(stagedCopy);
    common::callIfSet(flow.hooks.closeAllFiles);
    if (common::folderExists(paths.workFolder)) {
        common::removeTree(paths.workFolder);
    }
    common::createFolders(paths.workFolder);
    common::callIfSet(flow.hooks.startInstanceMarker);
    // The verified bytes, not the staged files: those lie in a folder and could have changed.
    // Each file keeps its entry's date, which the program shows as the data date.
    writePackageFiles(package, paths.workFolder);

    step(flow, 6);
    flow.view.processEvents();
    flow.store.databaseBusy() = false;

    step(flow, 7);
    // The bytes that were verified become satdata.sta; the download is not read again.
    storePackage(paths, package);

    step(flow, 8);
    flow.view.processEvents();
    common::callIfSet(flow.hooks.startListLoaders);
    common::callIfSet(flow.hooks.checkLocalPages);
    flow.view.processEvents();
    flow.clock.sleepFor(3000ms);

    step(flow, 9);
    if (!common::fileExists(paths.storedFile)) {
        endAfterCleanup(flow, kCaptionError201, kTextDataUnreadable);
        return;
    }

    step(flow, 10);
    if (flow.hooks.extractCityDatabase && !flow.hooks.extractCityDatabase()) {
        endAfterCleanup(flow, kCaptionError106, kTextCityWriteFailed);
        return;
    }
    flow.view.setDownloadBarVisible(false);
    if (flow.hooks.setQueryControlsEnabled) {
        flow.hooks.setQueryControlsEnabled(true);
    }
    flow.view.processEvents();

    step(flow, 11);
    flow.view.setStatusText(statusNewDataDate(dateOrEmpty(paths.storedFile)));
    flow.clock.sleepFor(5000ms);

    step(flow, 12);
    if (!common::fileExists(paths.storedFile)) {
        if (!common::fileExists(paths.dataPackage)) {
            endAfterCleanup(flow, kCaptionError203, kTextDelayedReadFailed);
            return;
        }
        // Checked like every package before any of it reaches the working folder.
        const std::optional<VerifiedPackage> stored =
            readVerifiedDataPackage(paths.dataPackage, flow.packageKey, flow.packageSizeLimit);
        if (!stored || !writePackageFiles(*stored, paths.workFolder)) {
            endAfterCleanup(flow, kCaptionError202, kTextDelayedWriteFailed);
            return;
        }
        flow.view.setStatusText(statusDelayedReplacement(dateOrEmpty(paths.storedFile)));
        flow.clock.sleepFor(2000ms);
        const bool queryEnabled = flow.hooks.queryButtonEnabled && flow.hooks.queryButtonEnabled();
        if (!queryEnabled) {
            flow.view.setDownloadBarVisible(false);
            if (flow.hooks.setQueryControlsEnabled) {
                flow.hooks.setQueryControlsEnabled(true);
            }
        }
    }

    step(flow, 13);
    flow.view.processEvents();
    flow.clock.sleepFor(2000ms);
    startUpdateWorker(flow, "software check", flow.hooks.runSoftwareCheck);
    step(flow, 14);
}

void applyFirstDataPackage(UpdateFlow& flow, const VerifiedPackage& package) {
    const channels::store::StorePaths& paths = flow.store.paths();

    step(flow, 1);
    flow.clock.sleepFor(2000ms);
    common::callIfSet(flow.hooks.closeAllFiles);

    // The stored package is replaced by a rename, so it is never deleted first. What is stored
    // is the verified bytes, not a copy of the download.
    step(flow, 2);
    step(flow, 3);
    if (!storePackage(paths, package)) {
        flow.view.showMessage(kCaptionError205, kTextDataUnreadable);
        flow.view.endProgram();
        return;
    }

    step(flow, 4);
    flow.view.setDownloadLabel(kLabelUpdated);

    step(flow, 5);
    if (!flow.hooks.handOverToRestartHelper || !flow.hooks.handOverToRestartHelper()) {
        endAfterCleanup(flow, kCaptionError206, kTextRestartWriteFailed);
        return;
    }

    step(flow, 6);
    flow.view.processEvents();
    flow.clock.sleepFor(500ms);
    step(flow, 7);
    flow.view.endProgram();
}

} // namespace zorvast::update
