#include "channels/store/DatabaseStore.h"

#include "channels/store/StoredFile.h"
#include "common/Files.h"
#include "common/FolderHandle.h"
#include "common/Zip.h"

#include <fstream>
#include <string>
#include <system_error>

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
    if (!common::fileExists(paths_.storedFile) || checkStoredFile(paths_.storedFile) != 1) {
        return false;
    }
    const std::optional<std::string> stored = common::readFileBytes(paths_.storedFile);
    if (!stored) {
        return false;
    }
    const Bytes copy = workingCopyFromStored(bytesOf(*stored));
    if (copy.empty() ||
        !common::writeFileAtomically(paths_.workDatabasePath,
                                     {reinterpret_cast<const char*>(copy.data()), copy.size()})) {
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
