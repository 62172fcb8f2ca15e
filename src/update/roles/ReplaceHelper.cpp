#include "update/roles/ReplaceHelper.h"

#include "common/FolderHandle.h"
#include "common/Hooks.h"
#include "common/ProgramVersion.h"
#include "update/Messages.h"
#include "update/package/PackageManifest.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <system_error>

namespace zorvast::update {

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Fresh names are tried this often before a folder full of planted names is given up on.
constexpr int kPartialAttempts = 8;

void tell(const ReplaceHelperRole& role) {
    if (role.showMessage) {
        role.showMessage(kCaptionError204, kTextReplaceFailed);
    }
}

void removeDownload(const ReplaceHelperRole& role) {
    std::error_code ec;
    fs::remove(role.softwareDownload, ec);
}

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Whether `name` in `folder` is the file open as `fd`, not something put in its place.
bool nameIsFile(const common::FolderHandle& folder, const std::string& name, int fd) {
    struct stat ours {};
    const std::optional<struct stat> there = folder.entryStatus(name);
    return there && ::fstat(fd, &ours) == 0 && sameFile(*there, ours);
}

// The old file's permissions, made runnable for whoever may read it; a new file's when there
// is no old regular file.
mode_t programMode(const std::optional<struct stat>& old) {
    if (!old || !S_ISREG(old->st_mode)) {
        return 0755;
    }
    mode_t mode = old->st_mode & 0777;
    mode |= S_IXUSR | ((mode & S_IRGRP) ? S_IXGRP : 0u) | ((mode & S_IROTH) ? S_IXOTH : 0u);
    return mode;
}

// The file being written beside the target, open for writing and reading back, created new
// under a fresh name: a file or link already at a name is never opened, let alone followed.
struct PartialFile {
    common::UniqueFd fd;
    std::string name;
};

std::optional<PartialFile> createPartial(const ReplaceHelperRole& role,
                                         const common::FolderHandle& folder,
                                         const std::string& target) {
    for (int attempt = 0; attempt < kPartialAttempts; ++attempt) {
        std::string name =
            role.partialName ? role.partialName(target) : common::FolderHandle::partialName(target);
        if (!common::FolderHandle::plainName(name)) {
            return std::nullopt;
        }
        common::UniqueFd fd = folder.createFile(name, 0600, true);
        if (fd) {
            return PartialFile{std::move(fd), std::move(name)};
        }
        if (errno != EEXIST) {
            return std::nullopt;
        }
    }
    return std::nullopt;
}

// What the file holds now, checked against the package's signature in place of the program the
// package carried: only bytes that were signed go on.
bool writtenAsSigned(int fd, const VerifiedPackage& package, const PublicKey& key) {
    const std::optional<std::string> written = common::readAllFrom(fd);
    if (!written || written->size() <= kMinimumProgramBytes) {
        return false;
    }
    std::vector<PackageEntry> entries;
    for (const common::UnpackedEntry& entry : package.entries) {
        if (!entry.folder) {
            entries.push_back(
                {entry.relative, entry.relative == kNewProgramFile ? *written : entry.data});
        }
    }
    return verifyPackageEntries(entries, key);
}

// The new program written beside `target`, checked and renamed over it: `target` is always
// either the old program or the whole new one, and the file renamed into place is the one
// whose bytes were checked.
bool installProgram(const ReplaceHelperRole& role, const fs::path& target,
                    const VerifiedPackage& package) {
    const std::string* program = package.entry(kNewProgramFile);
    const std::string name = target.filename().string();
    if (!program || !common::FolderHandle::plainName(name)) {
        return false;
    }
    const fs::path folderPath = target.has_parent_path() ? target.parent_path() : fs::path(".");
    const std::optional<common::FolderHandle> folder = common::FolderHandle::open(folderPath);
    if (!folder) {
        return false;
    }
    // Only a program that is there is replaced; a link there is replaced too, never followed.
    const std::optional<struct stat> old = folder->entryStatus(name);
    if (!old || S_ISDIR(old->st_mode)) {
        return false;
    }
    std::optional<PartialFile> partial = createPartial(role, *folder, name);
    if (!partial) {
        return false;
    }
    const int fd = partial->fd.get();
    bool ok = common::writeAllTo(fd, *program);
    if (ok && role.afterWrite) {
        role.afterWrite(folderPath, partial->name);
    }
    ok = ok && writtenAsSigned(fd, package, role.packageKey);
    ok = ok && ::fchmod(fd, programMode(old)) == 0 && ::fsync(fd) == 0;
    ok = ok && nameIsFile(*folder, partial->name, fd) && folder->rename(partial->name, name);
    if (!ok) {
        // Removed only while the name is still ours: whatever someone put there stays theirs.
        if (nameIsFile(*folder, partial->name, fd)) {
            folder->removeFile(partial->name);
        }
        return false;
    }
    ::fsync(folder->fd());
    // The name now holds what was checked, unless someone slipped in before the rename.
    return nameIsFile(*folder, name, fd);
}

} // namespace

std::uint64_t newProgramBytes(const VerifiedPackage& package) {
    const std::string* program = package.entry(kNewProgramFile);
    return program ? program->size() : 0;
}

bool programPackageUsable(const VerifiedPackage& package) {
    // Signed as a program newer than the one running here (this helper is the old program).
    const std::optional<PackageManifest> manifest = manifestOf(package);
    return newProgramBytes(package) > kMinimumProgramBytes && manifest &&
           checkRelease(package, PackageKind::Software, Version(manifest->version),
                        Version(common::programVersion())) == ReleaseFault::None;
}

bool handOverToReplaceHelper(const ReplaceHandOver& handOver) {
    return startHelper(handOver, kReplaceHelperFile, 500ms);
}

ReplaceOutcome runReplaceHelper(const ReplaceHelperRole& role) {
    common::Clock& clock = role.clock ? *role.clock : common::systemClock();
    const std::optional<std::string> target = handedOverPath(role.arguments);
    if (!target) {
        tell(role);
        common::callIfSet(role.cleanupWorkFiles);
        return ReplaceOutcome::HandOverMissing;
    }
    if (!waitForMarkerRelease(role.instanceMarker, clock, role.oldProgramLimit)) {
        // The running program keeps its working folder; only the download goes.
        tell(role);
        removeDownload(role);
        return ReplaceOutcome::OldProgramRunning;
    }
    const std::optional<VerifiedPackage> package = readVerifiedPackage(
        role.softwareDownload, role.packageKey, role.packageSizeLimit, programPackageUsable);
    if (!package) {
        tell(role);
        removeDownload(role);
        common::callIfSet(role.cleanupWorkFiles);
        return ReplaceOutcome::PackageRefused;
    }
    if (!installProgram(role, *target, *package)) {
        tell(role);
        removeDownload(role);
        common::callIfSet(role.cleanupWorkFiles);
        return ReplaceOutcome::InstallFailed;
    }
    removeDownload(role);
    // The clean-up comes first: the new program makes the working folder anew as it starts.
    common::callIfSet(role.cleanupWorkFiles);
    const ProgramStart start{.program = *target, .arguments = {*target}};
    return startProgram(role.start, start) ? ReplaceOutcome::Started : ReplaceOutcome::StartFailed;
}

} // namespace zorvast::update
