#include "launcher/UserFolder.h"

#include "common/platform/Platform.h"
#include "launcher/ProgramImage.h"
#include "update/check/UpdateFlow.h"
#include "update/check/UpdateState.h"
#include "update/check/Version.h"
#include "update/package/DataApply.h"
#include "update/package/PackageManifest.h"
#include "update/package/VerifiedPackage.h"

#include <sodium.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace zorvast::launcher {

namespace fs = std::filesystem;
using common::FolderHandle;
using common::UniqueFd;

namespace {

constexpr std::size_t kStampMaxBytes = 4096;

std::string errorText(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

bool ownedByUs(const struct stat& info) {
    return info.st_uid == ::geteuid();
}

bool othersMayWrite(const struct stat& info) {
    return (info.st_mode & (S_IWGRP | S_IWOTH)) != 0;
}

std::optional<FolderHandle> openParent(const fs::path& parent) {
    UniqueFd fd(::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd) {
        return std::nullopt;
    }
    return FolderHandle(std::move(fd));
}

// Waits for another start to finish with the folder; false when it takes longer than
// `seconds` or the lock cannot be had at all.
UniqueFd openLockFile(const FolderHandle& folder) {
    UniqueFd lock(::openat(folder.fd(), kLockName,
                           O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0600));
    struct stat info {};
    if (!lock || ::fstat(lock.get(), &info) != 0 || !S_ISREG(info.st_mode) || !ownedByUs(info)) {
        return UniqueFd();
    }
    return lock;
}

bool takeLock(const FolderHandle& folder, UniqueFd& lock, int seconds, std::string& error) {
    lock = openLockFile(folder);
    if (!lock) {
        // Something else has the name (a link, a folder, a file of another owner): the folder
        // is the user's, so it goes, and the lock is made anew.
        folder.removeTree(kLockName);
        lock = openLockFile(folder);
    }
    if (!lock) {
        error = "cannot use the lock file " + std::string(kLockName) + " in the program folder";
        return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (::flock(lock.get(), LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR) {
            error = errorText("cannot lock the program folder");
            return false;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            error = "another start of the program has held its folder for " +
                    std::to_string(seconds) + " s";
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

std::string digestText(std::string_view bytes) {
    unsigned char digest[crypto_generichash_BYTES];
    crypto_generichash(digest, sizeof digest, reinterpret_cast<const unsigned char*>(bytes.data()),
                       bytes.size(), nullptr, 0);
    return update::toHex(std::string_view(reinterpret_cast<const char*>(digest), sizeof digest));
}

// A regular file of ours, read only when small enough.
std::optional<std::string> readOwnFile(const FolderHandle& folder, const char* name,
                                       std::uint64_t limit) {
    const UniqueFd fd = folder.openFile(name);
    struct stat info {};
    if (!fd || ::fstat(fd.get(), &info) != 0 || !ownedByUs(info) ||
        static_cast<std::uint64_t>(info.st_size) > limit) {
        return std::nullopt;
    }
    std::optional<std::string> bytes = common::readAllFrom(fd.get());
    if (bytes && bytes->size() > limit) {
        return std::nullopt;
    }
    return bytes;
}

// The folder's program when it can be started as it is: the user's own, not writable by
// others, executable by the user and whole. Checked through the handle that is returned.
UniqueFd openUsableProgram(const FolderHandle& folder) {
    UniqueFd fd = folder.openFile(kProgramName);
    struct stat info {};
    if (!fd || ::fstat(fd.get(), &info) != 0 || !ownedByUs(info) || othersMayWrite(info) ||
        (info.st_mode & S_IXUSR) == 0) {
        return UniqueFd();
    }
    const std::optional<std::string> image = common::readAllFrom(fd.get());
    if (!image || !programImageWhole(*image)) {
        return UniqueFd();
    }
    return fd;
}

struct DataPackage {
    std::string bytes;
    update::Version version;
};

// A data package that the program itself would accept at its start, with its signed version.
std::optional<DataPackage> usableDataPackage(std::optional<std::string> bytes,
                                             const update::PublicKey& key) {
    if (!bytes) {
        return std::nullopt;
    }
    std::optional<update::VerifiedPackage> package = update::verifyPackageBytes(
        std::move(*bytes), key, update::kPackageSizeLimit, update::dataPackageContentUsable);
    if (!package) {
        return std::nullopt;
    }
    const std::optional<update::PackageManifest> manifest = update::manifestOf(*package);
    if (!manifest || manifest->kind != update::PackageKind::Data) {
        return std::nullopt;
    }
    return DataPackage{std::move(package->archiveBytes), update::Version(manifest->version)};
}

bool isFolder(const FolderHandle& folder, const char* name) {
    const std::optional<struct stat> info = folder.entryStatus(name);
    return info && S_ISDIR(info->st_mode);
}

} // namespace

std::optional<fs::path> userProgramFolder(const char* xdgDataHome, const char* home) {
    if (xdgDataHome && fs::path(xdgDataHome).is_absolute()) {
        return fs::path(xdgDataHome) / "zorvast";
    }
    if (home && fs::path(home).is_absolute()) {
        return fs::path(home) / ".local" / "share" / "zorvast";
    }
    return std::nullopt;
}

FolderResult prepareUserFolder(const FolderSetup& setup) {
    FolderResult result;
    const fs::path userFolder = setup.userFolder.lexically_normal();
    const std::string where = userFolder.string();
    if (!userFolder.is_absolute() || !userFolder.has_filename() ||
        !FolderHandle::plainName(userFolder.filename().string())) {
        result.error = "not a usable program folder: " + where;
        return result;
    }
    if (::sodium_init() < 0) {
        result.error = "the signature library cannot start";
        return result;
    }

    // Missing folders above it are made private, as freedesktop's data folders are.
    if (!common::platform::makeMissingFolders(userFolder.parent_path())) {
        result.error = errorText("cannot make the folders above " + where);
        return result;
    }
    const std::optional<FolderHandle> parent = openParent(userFolder.parent_path());
    struct stat parentInfo {};
    if (!parent || ::fstat(parent->fd(), &parentInfo) != 0) {
        result.error = errorText("cannot open " + userFolder.parent_path().string());
        return result;
    }
    // Root started with another user's home (sudo keeps HOME) would leave that user a program
    // folder they cannot write.
    if (::geteuid() == 0 && parentInfo.st_uid != 0) {
        result.error = userFolder.parent_path().string() +
                       " belongs to another user: as root, start the program with root's own "
                       "home (sudo -H)";
        return result;
    }
    std::optional<FolderHandle> folder = parent->makeFolder(userFolder.filename().string(), 0700);
    struct stat folderInfo {};
    if (!folder || ::fstat(folder->fd(), &folderInfo) != 0) {
        result.error = where + " is not a folder (a link or a file has its name)";
        return result;
    }
    if (!ownedByUs(folderInfo)) {
        result.error = where + " belongs to another user";
        return result;
    }
    // The program and its data are started and read from here: nobody else may change them.
    if ((folderInfo.st_mode & 077) != 0 && ::fchmod(folder->fd(), 0700) != 0) {
        result.error = errorText("cannot make " + where + " private");
        return result;
    }

    UniqueFd lock;
    if (!takeLock(*folder, lock, setup.lockSeconds, result.error)) {
        return result;
    }

    const std::optional<FolderHandle> system = FolderHandle::open(setup.systemFolder);
    const std::optional<std::string> systemProgram =
        system ? system->readFile(kProgramName) : std::nullopt;
    if (!systemProgram || !programImageWhole(*systemProgram)) {
        result.error = "the installed program " + (setup.systemFolder / kProgramName).string() +
                       " is missing or damaged: reinstall the package";
        return result;
    }

    ReadyFolder ready;
    const std::string stamp = "program " + digestText(*systemProgram) + "\n";
    ready.program = openUsableProgram(*folder);
    if (!ready.program || readOwnFile(*folder, kStampName, kStampMaxBytes) != stamp) {
        if (isFolder(*folder, kProgramName) ||
            !folder->replaceFile(kProgramName, *systemProgram, 0755, true)) {
            result.error = "cannot copy the program into " + where;
            return result;
        }
        ready.programCopied = true;
        // Written after the program: a start cut off in between copies it once more.
        if (!folder->replaceFile(kStampName, stamp, 0600, true)) {
            result.error = "cannot write " + std::string(kStampName) + " in " + where;
            return result;
        }
        ready.program = openUsableProgram(*folder);
        if (!ready.program) {
            result.error = "the program copied into " + where + " cannot be started";
            return result;
        }
    }

    // The user's data package stays when it is usable and not older than the installed one:
    // it may have been updated online since.
    const std::optional<DataPackage> systemData =
        usableDataPackage(system->readFile(kDataPackageName), setup.packageKey);
    if (!systemData) {
        ready.warning = "the installed data package " +
                        (setup.systemFolder / kDataPackageName).string() +
                        " is missing or damaged: reinstall the package";
    } else {
        const std::optional<DataPackage> userData = usableDataPackage(
            readOwnFile(*folder, kDataPackageName, update::kPackageSizeLimit), setup.packageKey);
        if (!userData || systemData->version.newerThan(userData->version)) {
            // Without it the program asks the servers for data, so a failure here is no
            // reason not to start.
            ready.dataCopied = !isFolder(*folder, kDataPackageName) &&
                               folder->replaceFile(kDataPackageName, systemData->bytes, 0644, true);
            if (!ready.dataCopied) {
                ready.warning = "cannot copy the data package into " + where;
            }
        }
    }

    ready.folder = std::move(*folder);
    result.ready = std::move(ready);
    return result;
}

} // namespace zorvast::launcher
