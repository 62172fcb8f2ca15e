#include "update/package/DataApply.h"

#include "channels/jet/JetConnection.h"
#include "channels/store/StoredFile.h"
#include "common/Files.h"
#include "common/Zip.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <memory>
#include <system_error>

namespace zorvast::update {

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr const char* kBusyText = "上一次数据访问未完成，稍候请再重试。";
constexpr const char* kReadErrorText = "读数据错误，软件无法运行，即将退出。";
constexpr const char* kDelayedExtractText =
    "数据更新中发生读写错误，请稍后再次进入本软件，尝试自动恢复。";
constexpr const char* kDelayedMissingText =
    "数据更新中发生读取错误，请稍后再次进入本软件，尝试自动恢复。";
constexpr const char* kRestartFailedText =
    "更新过程中写数据时失败，请检查C盘是否已满或有无读写权限。";
constexpr const char* kCityFailedText = "失败，写临时数据发生错误，软件将被迫退出。";
constexpr const char* kStagedUnreadableText =
    " ◎ 新数据无法打开，已保留现有数据，下次启动软件将重试。";

struct ArchiveCloser {
    void operator()(zip_t* archive) const { zip_discard(archive); }
};

void call(const std::function<void()>& hook) {
    if (hook) {
        hook();
    }
}

void step(UpdateFlow& flow, int number) {
    if (flow.onApplyStep) {
        flow.onApplyStep(number);
    }
}

bool largerThan(const fs::path& file, std::uint64_t bytes) {
    const std::optional<std::uint64_t> size = common::fileSize(file);
    return size && *size > bytes;
}

// Writes all of `bytes` to `fd`, going on after short writes and interruptions.
bool writeAll(int fd, const char* bytes, std::size_t count) {
    while (count > 0) {
        const ssize_t written = ::write(fd, bytes, count);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes += written;
        count -= static_cast<std::size_t>(written);
    }
    return true;
}

bool syncFile(const fs::path& file) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool synced = ::fsync(fd) == 0;
    return ::close(fd) == 0 && synced;
}

// After a rename the folder entry itself must reach the disk too.
void syncFolderOf(const fs::path& file) {
    const fs::path folder = file.has_parent_path() ? file.parent_path() : fs::path(".");
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

fs::path partialNameFor(const fs::path& target) {
    static std::atomic<unsigned> counter{0};
    fs::path partial = target;
    partial += ".part-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
    return partial;
}

// The files (not folders) of the staging folder copied over those of the working folder, each
// keeping its modification time: the data date shown is the packaged file's.
void copyStagedFiles(const fs::path& from, const fs::path& to) {
    std::error_code ec;
    fs::directory_iterator it(from, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        std::error_code fileError;
        if (!fs::is_regular_file(it->symlink_status(fileError))) {
            continue;
        }
        const fs::path target = to / it->path().filename();
        if (fs::copy_file(it->path(), target, fs::copy_options::overwrite_existing, fileError)) {
            struct stat info {};
            if (::stat(it->path().c_str(), &info) == 0) {
                const struct timespec times[2] = {info.st_atim, info.st_mtim};
                ::utimensat(AT_FDCWD, target.c_str(), times, 0);
            }
        }
    }
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
    flow.view.setStatusText(kStagedUnreadableText);
    flow.view.processEvents();
    startUpdateWorker(flow, "software check", flow.hooks.runSoftwareCheck);
}

void endAfterCleanup(UpdateFlow& flow, const char* caption, const char* text) {
    flow.view.showMessage(caption, text);
    flow.store.cleanupWorkFiles();
    flow.view.endProgram();
}

} // namespace

bool packageArchiveAcceptable(const fs::path& archive, std::uint64_t sizeLimit) {
    const std::optional<std::uint64_t> size = common::fileSize(archive);
    if (!size || *size > sizeLimit) {
        return false;
    }
    int code = 0;
    std::unique_ptr<zip_t, ArchiveCloser> opened(zip_open(archive.c_str(), ZIP_RDONLY, &code));
    if (!opened) {
        return false;
    }
    const zip_int64_t count = zip_get_num_entries(opened.get(), 0);
    if (count < 0) {
        return false;
    }
    for (zip_uint64_t i = 0; i < static_cast<zip_uint64_t>(count); ++i) {
        zip_uint8_t system = 0;
        zip_uint32_t attributes = 0;
        if (zip_file_get_external_attributes(opened.get(), i, 0, &system, &attributes) != 0) {
            return false;
        }
        // Unix packers keep the file mode in the upper half; extraction would write a link's
        // target text as a plain file, so refuse the entry outright.
        if (system == ZIP_OPSYS_UNIX && ((attributes >> 16) & S_IFMT) == S_IFLNK) {
            return false;
        }
    }
    return true;
}

PackageVerdict examinePackage(const fs::path& archive, const fs::path& folder, const PublicKey& key,
                              std::uint64_t sizeLimit,
                              const std::function<bool(const fs::path& folder)>& contentUsable) {
    if (!common::fileExists(archive) || !packageArchiveAcceptable(archive, sizeLimit)) {
        return PackageVerdict::Unreadable;
    }
    common::ExtractLimits limits;
    limits.maxTotalBytes = sizeLimit;
    limits.maxEntryBytes = std::min(limits.maxEntryBytes, sizeLimit);
    const common::ExtractResult extracted =
        common::extractArchive(archive.string(), folder.string(), limits);
    if (!extracted.ok) {
        return PackageVerdict::Unreadable;
    }
    if ((contentUsable && !contentUsable(folder)) || !verifyPackageFolder(folder, key)) {
        return PackageVerdict::Unusable;
    }
    return PackageVerdict::Usable;
}

PackageVerdict examineDataPackage(const fs::path& archive, const fs::path& folder,
                                  const PublicKey& key, std::uint64_t sizeLimit) {
    return examinePackage(archive, folder, key, sizeLimit, [](const fs::path& unpacked) {
        return largerThan(unpacked / "satdata.str", kMinimumDatabaseBytes) &&
               largerThan(unpacked / "nch.str", kMinimumListBytes) &&
               largerThan(unpacked / "sng.str", kMinimumListBytes);
    });
}

bool checkDataPackage(UpdateFlow& flow) {
    const channels::store::StorePaths& paths = flow.store.paths();
    common::removeTree(paths.stagingFolder);
    const PackageVerdict verdict = examineDataPackage(paths.dataDownload, paths.stagingFolder,
                                                      flow.packageKey, flow.packageSizeLimit);
    if (verdict == PackageVerdict::Usable) {
        flow.view.processEvents();
        return true;
    }
    if (verdict == PackageVerdict::Unusable) {
        flow.clock.sleepFor(500ms);
    }
    common::removeTree(paths.stagingFolder);
    flow.view.processEvents();
    return false;
}

void applyDataPackage(UpdateFlow& flow) {
    const channels::store::StorePaths& paths = flow.store.paths();
    const fs::path stagedDatabase = paths.stagingFolder / "satdata.str";
    const fs::path stagedCopy = paths.stagingFolder / "satdata.tmp";

    step(flow, 1);
    if (flow.store.waitForDatabase()) {
        flow.view.showMessage("错误118", kBusyText);
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
    std::error_code ec;
    fs::remove(stagedCopy, ec);
    if (const std::optional<std::string> stored = common::readFileBytes(stagedDatabase)) {
        const channels::store::Bytes copy = channels::store::workingCopyFromStored(
            {reinterpret_cast<const std::uint8_t*>(stored->data()), stored->size()});
        if (!copy.empty()) {
            common::writeFileBytes(stagedCopy,
                                   {reinterpret_cast<const char*>(copy.data()), copy.size()});
        }
    }

    step(flow, 4);
    {
        channels::jet::JetConnection second;
        if (!second.open(stagedCopy.string(), "")) {
            keepRunningData(flow);
            return;
        }
        step(flow, 5);
        second.close();
    }
    // The plain database has done its job; it must not travel into the working folder.
    fs::remove(stagedCopy, ec);
    call(flow.hooks.closeAllFiles);
    if (common::folderExists(paths.workFolder)) {
        common::removeTree(paths.workFolder);
    }
    common::createFolders(paths.workFolder);
    call(flow.hooks.startInstanceMarker);
    copyStagedFiles(paths.stagingFolder, paths.workFolder);

    step(flow, 6);
    flow.view.processEvents();
    flow.store.databaseBusy() = false;

    step(flow, 7);
    // One rename: a crash leaves either the old package or the new one, never neither.
    replaceFileAtomically(paths.dataDownload, paths.dataPackage);

    step(flow, 8);
    flow.view.processEvents();
    call(flow.hooks.startListLoaders);
    call(flow.hooks.checkLocalPages);
    flow.view.processEvents();
    flow.clock.sleepFor(3000ms);

    step(flow, 9);
    if (!common::fileExists(paths.storedFile)) {
        endAfterCleanup(flow, "错误201", kReadErrorText);
        return;
    }

    step(flow, 10);
    if (flow.hooks.extractCityDatabase && !flow.hooks.extractCityDatabase()) {
        endAfterCleanup(flow, "错误106", kCityFailedText);
        return;
    }
    flow.view.setDownloadBarVisible(false);
    if (flow.hooks.setQueryControlsEnabled) {
        flow.hooks.setQueryControlsEnabled(true);
    }
    flow.view.processEvents();

    step(flow, 11);
    flow.view.setStatusText(" ◎ 最新数据日期：" + dateOrEmpty(paths.storedFile) + "。");
    flow.clock.sleepFor(5000ms);

    step(flow, 12);
    if (!common::fileExists(paths.storedFile)) {
        if (!common::fileExists(paths.dataPackage)) {
            endAfterCleanup(flow, "错误203", kDelayedMissingText);
            return;
        }
        const common::ExtractResult extracted =
            common::extractArchive(paths.dataPackage.string(), paths.workFolder.string());
        if (!extracted.ok) {
            endAfterCleanup(flow, "错误202", kDelayedExtractText);
            return;
        }
        flow.view.setStatusText(" ◎ 数据已延迟替换，最新数据日期：" +
                                dateOrEmpty(paths.storedFile) + "。");
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

void applyFirstDataPackage(UpdateFlow& flow) {
    const channels::store::StorePaths& paths = flow.store.paths();

    step(flow, 1);
    flow.clock.sleepFor(2000ms);
    call(flow.hooks.closeAllFiles);

    // The stored package is replaced by the rename of the copy, so it is never deleted first.
    step(flow, 2);
    step(flow, 3);
    if (!copyFileAtomically(paths.dataDownload, paths.dataPackage)) {
        flow.view.showMessage("错误205", kReadErrorText);
        flow.view.endProgram();
        return;
    }

    step(flow, 4);
    flow.view.setDownloadLabel(" ◎ 最新版本更新成功！");

    step(flow, 5);
    if (!flow.hooks.handOverToRestartHelper || !flow.hooks.handOverToRestartHelper()) {
        endAfterCleanup(flow, "错误206", kRestartFailedText);
        return;
    }

    step(flow, 6);
    flow.view.processEvents();
    flow.clock.sleepFor(500ms);
    step(flow, 7);
    flow.view.endProgram();
}

bool copyFileAtomically(const fs::path& from, const fs::path& to, unsigned permissions) {
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        return false;
    }
    const fs::path partial = partialNameFor(to);
    const int out = ::open(partial.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (out < 0) {
        ::close(in);
        return false;
    }
    bool ok = true;
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(in, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            ok = got == 0;
            break;
        }
        if (!writeAll(out, buffer, static_cast<std::size_t>(got))) {
            ok = false;
            break;
        }
    }
    ::close(in);
    // Set explicitly: the creation mode is narrowed by the umask.
    ok = ::fchmod(out, static_cast<mode_t>(permissions)) == 0 && ok;
    ok = ::fsync(out) == 0 && ok;
    ok = ::close(out) == 0 && ok;
    ok = ok && ::rename(partial.c_str(), to.c_str()) == 0;
    if (!ok) {
        ::unlink(partial.c_str());
        return false;
    }
    syncFolderOf(to);
    return true;
}

bool replaceFileAtomically(const fs::path& from, const fs::path& to) {
    if (!syncFile(from) || ::rename(from.c_str(), to.c_str()) != 0) {
        return false;
    }
    syncFolderOf(to);
    return true;
}

} // namespace zorvast::update
