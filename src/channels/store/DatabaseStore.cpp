#include "channels/store/DatabaseStore.h"

#include "channels/store/StoredFile.h"
#include "common/Files.h"
#include "common/FolderHandle.h"
#include "common/Zip.h"

#include <cerrno>
#include <chrono>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zorvast::channels::store {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

constexpr int kRemoveRetries = 10;
constexpr int kBusyWaits = 61;

std::span<const std::uint8_t> bytesOf(const std::string& text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

fs::path withSuffix(const fs::path& folder, const char* suffix) {
    fs::path result = folder;
    result += suffix;
    return result;
}

// Copies everything from `inOffset` to the end of `in` onto `out`: in the kernel where it can,
// through a buffer where it cannot (another file system, an older kernel).
bool copyRest(int in, off_t inOffset, int out) {
#if defined(__linux__)
    bool kernelCopy = true;
#endif
    std::vector<char> buffer;
    while (true) {
#if defined(__linux__)
        if (kernelCopy) {
            const ssize_t n =
                ::copy_file_range(in, &inOffset, out, nullptr, std::size_t{1} << 30, 0);
            if (n > 0) {
                continue;
            }
            if (n == 0) {
                return true;
            }
            if (errno == EINTR) {
                continue;
            }
            if (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) {
                return false;
            }
            kernelCopy = false;
        }
#endif
        if (buffer.empty()) {
            buffer.resize(std::size_t{1} << 20);
        }
        const ssize_t got = ::pread(in, buffer.data(), buffer.size(), inOffset);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return false;
        }
        if (got == 0) {
            return true;
        }
        inOffset += got;
        for (ssize_t done = 0; done < got;) {
            const ssize_t put =
                ::write(out, buffer.data() + done, static_cast<std::size_t>(got - done));
            if (put < 0 && errno == EINTR) {
                continue;
            }
            if (put <= 0) {
                return false;
            }
            done += put;
        }
    }
}

bool writeAll(int out, const void* data, std::size_t size) {
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t put = ::write(out, bytes, size);
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put <= 0) {
            return false;
        }
        bytes += put;
        size -= static_cast<std::size_t>(put);
    }
    return true;
}

// The working copy of the stored file open as `stored`: the Jet header, then everything after
// the marker, written beside `target` and renamed onto it. Not flushed to disk: the copy lives
// for one access and is deleted right after it.
bool copyStoredToWorking(int stored, const fs::path& target) {
    struct stat info {};
    if (::fstat(stored, &info) != 0 || !S_ISREG(info.st_mode)) {
        return false;
    }
    unsigned char head[kJetHeaderLength];
    ssize_t got = 0;
    while (got < static_cast<ssize_t>(sizeof head)) {
        const ssize_t n =
            ::pread(stored, head + got, sizeof head - static_cast<std::size_t>(got), got);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return false;
        }
        if (n == 0) {
            break;
        }
        got += n;
    }
    if (classifyStoredHead({head, static_cast<std::size_t>(got)},
                           static_cast<std::uint64_t>(info.st_size)) != StoredKind::Stored) {
        return false;
    }
    // A working copy is thrown away at the end of the run: no flush needed.
    const common::FileContent content = [&](int out) {
        return writeAll(out, kJetHeaderPrefix, kJetHeaderLength) &&
               copyRest(stored, static_cast<off_t>(kStoredMarker.size()), out);
    };
    return common::writeFileAtomically(target, content,
                                       {.durability = common::Durability::Disposable})
        .ok();
}

} // namespace

StorePaths storePathsFor(const fs::path& temporaryFolder, const fs::path& programFolder,
                         const fs::path& downloadFolder) {
    StorePaths paths;
    std::string base = temporaryFolder.string();
    if (base.empty() || base.back() != '/') {
        base += '/';
    }
    paths.workFolder = base + "satdata_temp";
    paths.storedFile = paths.workFolder / "satdata.str";
    paths.workDatabasePath = paths.workFolder / "satdata.tmp";
    paths.cityDatabasePath = paths.workFolder / "city.dat";
    paths.cityArchive = paths.workFolder / "city.tmp";
    paths.instanceMarker = paths.workFolder / "ready.tmp";
    paths.programFolder = programFolder;
    paths.dataPackage = programFolder / "satdata.sta";
    paths.downloadFolder = downloadFolder.empty() ? fs::path(base) / "downloads" : downloadFolder;
    paths.dataDownload = paths.downloadFolder / "satdata.tmp";
    paths.softwareDownload = paths.downloadFolder / "plumo.tmp";
    paths.stagingFolder = withSuffix(paths.workFolder, "1");
    paths.helperFolder = withSuffix(paths.workFolder, "2");
    return paths;
}

int checkStoredFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::error_code ec;
    const auto size = fs::file_size(path, ec);
    if (!in || ec) {
        return -1;
    }
    // Only the head decides; the rest of the file need not be read.
    std::string head(kJetHeaderLength, '\0');
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<std::size_t>(in.gcount()));
    return static_cast<int>(classifyStoredHead(bytesOf(head), size));
}

DatabaseStore::DatabaseStore(StorePaths paths, common::Clock& clock, StoreHooks hooks)
    : paths_(std::move(paths)), clock_(clock), hooks_(std::move(hooks)) {}

bool DatabaseStore::prepareWorkingCopy() {
    if (!common::fileExists(paths_.storedFile)) {
        return false;
    }
    // One descriptor for the check and the copy, so both see the same file; O_NONBLOCK so that
    // a pipe swapped in after the check cannot hold the open up.
    const int stored = ::open(paths_.storedFile.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (stored < 0) {
        return false;
    }
    const bool copied = copyStoredToWorking(stored, paths_.workDatabasePath);
    ::close(stored);
    if (!copied) {
        return false;
    }
    const std::optional<std::uint64_t> size = common::fileSize(paths_.workDatabasePath);
    return size && *size > kMinimumStoredSize;
}

void DatabaseStore::removeWorkingCopy() {
    std::error_code ec;
    if (!fs::exists(paths_.workDatabasePath, ec)) {
        return;
    }
    if (fs::remove(paths_.workDatabasePath, ec) && !ec) {
        return;
    }
    for (int attempt = 0; attempt < kRemoveRetries; ++attempt) {
        clock_.sleepFor(3000ms);
        if (hooks_.closeOpenFiles) {
            hooks_.closeOpenFiles();
        }
        fs::remove(paths_.workDatabasePath, ec);
        if (!fs::exists(paths_.workDatabasePath, ec)) {
            return; // gone: waiting on would only hold the caller up
        }
    }
}

bool DatabaseStore::waitForDatabase() {
    for (int waits = 0; databaseBusy_.load(); ++waits) {
        if (waits == kBusyWaits) {
            return true;
        }
        clock_.sleepFor(1000ms);
    }
    return false;
}

void DatabaseStore::cleanupWorkFiles() {
    if (hooks_.closeOpenFiles) {
        hooks_.closeOpenFiles();
    }
    clock_.sleepFor(200ms);
    if (hooks_.closeCursor && hooks_.closeCursor()) {
        clock_.sleepFor(200ms);
    }
    if (hooks_.closeConnection && hooks_.closeConnection()) {
        clock_.sleepFor(200ms);
    }
    for (const fs::path& folder : {paths_.workFolder, paths_.stagingFolder, paths_.helperFolder}) {
        common::removeTree(folder);
    }
    // What a package write left beside the program; partial downloads stay to be resumed.
    std::error_code ec;
    for (const char* name : {"satdata.tmp", "plumo.tmp"}) {
        const fs::path file = paths_.programFolder / name;
        if (fs::is_regular_file(fs::symlink_status(file, ec))) {
            fs::remove(file, ec);
        }
    }
    if (hooks_.processEvents) {
        hooks_.processEvents();
    }
    clock_.sleepFor(200ms);
}

bool DatabaseStore::extractCityDatabase(std::span<const std::uint8_t> archive) {
    // Through the folder's handle: a link planted at the archive's name is replaced, never
    // written through.
    const std::optional<common::FolderHandle> folder =
        common::FolderHandle::open(paths_.workFolder);
    const bool written =
        folder &&
        folder->replaceFile(paths_.cityArchive.filename().string(),
                            {reinterpret_cast<const char*>(archive.data()), archive.size()}, 0600);
    if (hooks_.processEvents) {
        hooks_.processEvents();
    }
    bool ok = false;
    if (written) {
        const common::ExtractResult result =
            common::extractArchive(paths_.cityArchive.string(), paths_.workFolder.string());
        ok = result.ok && common::fileExists(paths_.cityDatabasePath);
    }
    if (folder) {
        folder->removeFile(paths_.cityArchive.filename().string());
    }
    return ok;
}

} // namespace zorvast::channels::store
