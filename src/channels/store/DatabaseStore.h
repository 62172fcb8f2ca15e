// The file side of the channel database: the working folder, the working copy rebuilt before
// every access and removed after it, the single-access flag, and the clean-up at exit.
#pragma once

#include "common/Clock.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>

namespace zorvast::channels::store {

struct StorePaths {
    std::filesystem::path workFolder;       // private area + "satdata_temp"
    std::filesystem::path storedFile;       // workFolder/satdata.str
    std::filesystem::path workDatabasePath; // workFolder/satdata.tmp
    std::filesystem::path cityDatabasePath; // workFolder/city.dat
    std::filesystem::path cityArchive;      // workFolder/city.tmp
    std::filesystem::path instanceMarker;   // workFolder/ready.tmp
    std::filesystem::path programFolder;    // the current folder at launch
    std::filesystem::path dataPackage;      // programFolder/satdata.sta
    std::filesystem::path downloadFolder;   // partial downloads, kept across runs
    std::filesystem::path dataDownload;     // downloadFolder/satdata.tmp
    std::filesystem::path softwareDownload; // downloadFolder/plumo.tmp
    std::filesystem::path stagingFolder;    // workFolder + "1"
    std::filesystem::path helperFolder;     // workFolder + "2"
};

// `temporaryFolder` is the private area standing in for the user's temporary folder (see
// common/platform/Platform.h), with or without a trailing separator; `downloadFolder` holds the
// package downloads (empty: "downloads" in the temporary folder).
StorePaths storePathsFor(const std::filesystem::path& temporaryFolder,
                         const std::filesystem::path& programFolder,
                         const std::filesystem::path& downloadFolder = {});

// -1 cannot be opened, -2 shorter than 500000 bytes, 0 a plain Jet database, 1 a stored
// file, -3 anything else.
int checkStoredFile(const std::filesystem::path& path);

// What the store needs from the rest of the program; every member may be left empty.
struct StoreHooks {
    std::function<void()> closeOpenFiles;  // release any file the program holds open
    std::function<bool()> closeCursor;     // true when a cursor was open and is now closed
    std::function<bool()> closeConnection; // true when a connection was open and is now closed
    std::function<void()> processEvents;   // let pending window events run
};

class DatabaseStore {
public:
    DatabaseStore(StorePaths paths, common::Clock& clock, StoreHooks hooks = {});

    const StorePaths& paths() const { return paths_; }

    // Rebuilds the working copy from the stored file; true when a good copy (more than
    // 500000 bytes) exists afterwards. The copy is written under another name and renamed
    // into place, so an access never reads a copy while it is rewritten.
    bool prepareWorkingCopy();

    // Deletes the working copy; when that fails, up to ten more attempts 3000 ms apart,
    // closing open files before each, until the file is gone.
    void removeWorkingCopy();

    // Waits while the busy flag is set, 1000 ms at a time; true when it is still set after the
    // 61st wait (the caller gives up).
    bool waitForDatabase();

    std::atomic<bool>& databaseBusy() { return databaseBusy_; }

    // Closes what is open and removes every working file and folder.
    void cleanupWorkFiles();

    // Writes the city archive into the working folder and unpacks it (city.dat); false on any
    // failure, with the archive file removed either way.
    bool extractCityDatabase(std::span<const std::uint8_t> archive);

private:
    StorePaths paths_;
    common::Clock& clock_;
    StoreHooks hooks_;
    std::atomic<bool> databaseBusy_{false};
};

} // namespace zorvast::channels::store
