#include "channels/store/DatabaseStore.h"
#include "channels/store/StoredFile.h"
#include "common/Zip.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace zorvast::channels::store {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using common::ManualClock;
using testing::readAll;
using testing::TempFolder;

std::string storedBytes(std::size_t size, std::string_view head = kStoredMarker) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>(i % 251);
    }
    bytes.replace(0, head.size(), head);
    return bytes;
}

std::string plainDatabase(std::size_t size) {
    std::string bytes = storedBytes(size, "");
    bytes.replace(0, kJetHeaderLength,
                  std::string(reinterpret_cast<const char*>(kJetHeaderPrefix), kJetHeaderLength));
    return bytes;
}

class StoreTest : public ::testing::Test {
protected:
    StoreTest()
        : paths(storePathsFor(temp.path() / "tmp", temp.path() / "program")),
          store(paths, clock, hooks()) {
        fs::create_directories(paths.workFolder);
        fs::create_directories(paths.programFolder);
    }

    StoreHooks hooks() {
        StoreHooks h;
        h.closeOpenFiles = [this] {
            ++closeCalls;
            if (onClose) {
                onClose();
            }
        };
        h.closeCursor = [this] {
            return cursorOpen && !(cursorOpen = false);
        };
        h.closeConnection = [this] {
            return connectionOpen && !(connectionOpen = false);
        };
        h.processEvents = [this] {
            ++eventRuns;
        };
        return h;
    }

    TempFolder temp;
    ManualClock clock;
    StorePaths paths;
    int closeCalls = 0;
    int eventRuns = 0;
    bool cursorOpen = false;
    bool connectionOpen = false;
    std::function<void()> onClose;
    DatabaseStore store;
};

TEST(StorePaths, WorkFolderSitsDirectlyInTheTemporaryFolder) {
    for (const char* tmp : {"/var/tmp", "/var/tmp/"}) {
        const StorePaths p = storePathsFor(tmp, "/opt/zorvast");
        EXPECT_EQ(p.workFolder, "/var/tmp/satdata_temp") << tmp;
        EXPECT_EQ(p.storedFile, "/var/tmp/satdata_temp/satdata.str");
        EXPECT_EQ(p.workDatabasePath, "/var/tmp/satdata_temp/satdata.tmp");
        EXPECT_EQ(p.cityDatabasePath, "/var/tmp/satdata_temp/city.dat");
        EXPECT_EQ(p.instanceMarker, "/var/tmp/satdata_temp/ready.tmp");
        EXPECT_EQ(p.stagingFolder, "/var/tmp/satdata_temp1");
        EXPECT_EQ(p.helperFolder, "/var/tmp/satdata_temp2");
        EXPECT_EQ(p.dataPackage, "/opt/zorvast/satdata.sta");
        EXPECT_EQ(p.dataDownload, "/var/tmp/downloads/satdata.tmp");
        EXPECT_EQ(p.softwareDownload, "/var/tmp/downloads/plumo.tmp");
    }
    const StorePaths cached =
        storePathsFor("/run/user/1/zorvast", "/opt/zorvast", "/home/u/.cache/zorvast/downloads");
    EXPECT_EQ(cached.dataDownload, "/home/u/.cache/zorvast/downloads/satdata.tmp");
    EXPECT_EQ(cached.softwareDownload, "/home/u/.cache/zorvast/downloads/plumo.tmp");
}

TEST(CheckStoredFile, Codes) {
    TempFolder temp;
    const struct {
        const char* what;
        std::string bytes;
        int code;
    } cases[] = {
        {"stored, exactly 500000 bytes", storedBytes(500000), 1},
        {"stored, 499999 bytes", storedBytes(499999), -2},
        {"empty", "", -2},
        {"plain database", plainDatabase(600000), 0},
        {"600000 bytes of something else", storedBytes(600000, "something"), -3},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(checkStoredFile(temp.write("f.str", c.bytes)), c.code) << c.what;
    }
    EXPECT_EQ(checkStoredFile(temp.file("missing.str")), -1);
    fs::create_directories(temp.file("folder.str"));
    EXPECT_EQ(checkStoredFile(temp.file("folder.str")), -1);
}

TEST_F(StoreTest, WorkingCopyOfTheSmallestStoredFile) {
    const std::string stored = storedBytes(500000);
    temp.write("tmp/satdata_temp/satdata.str", stored);
    ASSERT_TRUE(store.prepareWorkingCopy());
    const std::string copy = readAll(paths.workDatabasePath.string());
    ASSERT_EQ(copy.size(), 500057u);
    EXPECT_EQ(std::memcmp(copy.data(), kJetHeaderPrefix, kJetHeaderLength), 0);
    EXPECT_EQ(copy.substr(66), stored.substr(9));
    // Stored again, the copy gives back the stored file.
    const Bytes again =
        storedFromDatabase({reinterpret_cast<const std::uint8_t*>(copy.data()), copy.size()});
    EXPECT_EQ(std::string(again.begin(), again.end()), stored);
}

TEST_F(StoreTest, WorkingCopyOfALargeStoredFileIsExactAndLeavesNothingElse) {
    // Several megabytes of bytes that repeat on no power of two, so a chunk copied twice or
    // skipped shows.
    std::string stored = storedBytes(5'000'003);
    for (std::size_t i = 9; i < stored.size(); i += 4093) {
        stored[i] = static_cast<char>(i / 4093);
    }
    temp.write("tmp/satdata_temp/satdata.str", stored);
    ASSERT_TRUE(store.prepareWorkingCopy());
    const std::string copy = readAll(paths.workDatabasePath.string());
    ASSERT_EQ(copy.size(), stored.size() + kJetHeaderLength - kStoredMarker.size());
    EXPECT_EQ(std::memcmp(copy.data(), kJetHeaderPrefix, kJetHeaderLength), 0);
    EXPECT_TRUE(copy.substr(kJetHeaderLength) == stored.substr(kStoredMarker.size()));
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(paths.workFolder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"satdata.str", "satdata.tmp"}));
}

TEST_F(StoreTest, ALinkInPlaceOfTheStoredFileIsFollowedOnlyToARegularFile) {
    temp.write("elsewhere.str", storedBytes(600000));
    fs::create_symlink(temp.file("elsewhere.str"), paths.storedFile);
    EXPECT_TRUE(store.prepareWorkingCopy());
    fs::remove(paths.storedFile);
    store.removeWorkingCopy();
    fs::create_directories(temp.file("folder.str"));
    fs::create_symlink(temp.file("folder.str"), paths.storedFile);
    EXPECT_FALSE(store.prepareWorkingCopy());
    EXPECT_FALSE(fs::exists(paths.workDatabasePath));
}

TEST_F(StoreTest, RefusedStoredFilesBuildNoCopy) {
    const struct {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"plain database under the stored name", plainDatabase(600000)},
        {"other first bytes", storedBytes(600000, "plumo_xxx")},
        {"too short", storedBytes(1000)},
    };
    for (const auto& c : cases) {
        temp.write("tmp/satdata_temp/satdata.str", c.bytes);
        EXPECT_FALSE(store.prepareWorkingCopy()) << c.what;
        EXPECT_FALSE(fs::exists(paths.workDatabasePath)) << c.what;
        EXPECT_EQ(std::distance(fs::directory_iterator(paths.workFolder), {}), 1) << c.what;
    }
    fs::remove(paths.storedFile);
    EXPECT_FALSE(store.prepareWorkingCopy());
}

TEST_F(StoreTest, RebuildingNeverChangesACopyThatIsOpen) {
    temp.write("tmp/satdata_temp/satdata.str", storedBytes(600000));
    ASSERT_TRUE(store.prepareWorkingCopy());
    std::ifstream reader(paths.workDatabasePath, std::ios::binary);
    std::string changed = storedBytes(700000);
    changed[100] = 'x';
    temp.write("tmp/satdata_temp/satdata.str", changed);
    ASSERT_TRUE(store.prepareWorkingCopy());
    const std::string seen((std::istreambuf_iterator<char>(reader)), {});
    EXPECT_EQ(seen.size(), 600057u); // the open reader still sees the whole old copy
    EXPECT_EQ(readAll(paths.workDatabasePath.string()).size(), 700057u);
}

TEST_F(StoreTest, RemovingTheCopy) {
    store.removeWorkingCopy(); // nothing there
    EXPECT_EQ(clock.sleepCount(), 0u);

    temp.write("tmp/satdata_temp/satdata.tmp", "x");
    store.removeWorkingCopy();
    EXPECT_FALSE(fs::exists(paths.workDatabasePath));
    EXPECT_EQ(clock.sleepCount(), 0u);
}

TEST_F(StoreTest, RemovalRetriesUntilTheCopyIsGone) {
    // A non-empty folder under the copy's name cannot be removed until its content goes.
    temp.write("tmp/satdata_temp/satdata.tmp/held", "x");
    onClose = [&] {
        if (closeCalls == 2) {
            fs::remove(paths.workDatabasePath / "held");
        }
    };
    store.removeWorkingCopy();
    EXPECT_FALSE(fs::exists(paths.workDatabasePath));
    EXPECT_EQ(clock.sleeps(), (std::vector<std::chrono::milliseconds>{3000ms, 3000ms}));
}

TEST_F(StoreTest, RemovalGivesUpAfterTenMoreAttempts) {
    temp.write("tmp/satdata_temp/satdata.tmp/held", "x");
    store.removeWorkingCopy();
    EXPECT_TRUE(fs::exists(paths.workDatabasePath));
    EXPECT_EQ(clock.sleepCount(), 10u);
    EXPECT_EQ(clock.totalSlept(), 30000ms);
    EXPECT_EQ(closeCalls, 10);
}

// Clears the busy flag when the n-th sleep is asked for.
class ClearingClock final : public common::Clock {
public:
    explicit ClearingClock(int clearAt) : clearAt_(clearAt) {}
    void sleepFor(std::chrono::milliseconds duration) override {
        inner.sleepFor(duration);
        if (flag && static_cast<int>(inner.sleepCount()) == clearAt_) {
            *flag = false;
        }
    }
    std::chrono::steady_clock::time_point now() const override { return inner.now(); }
    ManualClock inner;
    std::atomic<bool>* flag = nullptr;

private:
    int clearAt_;
};

TEST(WaitForDatabase, PollsOnceASecondUpToSixtyOneTimes) {
    const struct {
        int clearAt; // 0: not busy at all; -1: never cleared
        bool stillBusy;
        std::size_t sleeps;
    } cases[] = {{0, false, 0}, {1, false, 1}, {5, false, 5}, {61, false, 61}, {-1, true, 61}};
    for (const auto& c : cases) {
        ClearingClock clock(c.clearAt);
        DatabaseStore store(storePathsFor("/nonexistent", "/nonexistent"), clock);
        clock.flag = &store.databaseBusy();
        store.databaseBusy() = c.clearAt != 0;
        EXPECT_EQ(store.waitForDatabase(), c.stillBusy) << c.clearAt;
        EXPECT_EQ(clock.inner.sleepCount(), c.sleeps) << c.clearAt;
        EXPECT_EQ(clock.inner.totalSlept(), std::chrono::milliseconds(1000 * c.sleeps));
    }
}

TEST_F(StoreTest, CleanupRemovesEveryWorkingFile) {
    temp.write("tmp/satdata_temp/satdata.str", "s");
    temp.write("tmp/satdata_temp/sub/file", "s");
    temp.write("tmp/satdata_temp1/staged", "s");
    temp.write("tmp/satdata_temp2/helper", "s");
    temp.write("program/satdata.tmp", "download");
    temp.write("program/plumo.tmp", "download");
    temp.write("program/satdata.sta", "the package stays");
    temp.write("tmp/downloads/satdata.tmp", "a partial download stays to be resumed");
    cursorOpen = connectionOpen = true;
    store.cleanupWorkFiles();
    for (const fs::path& gone :
         {paths.workFolder, paths.stagingFolder, paths.helperFolder,
          paths.programFolder / "satdata.tmp", paths.programFolder / "plumo.tmp"}) {
        EXPECT_FALSE(fs::exists(gone)) << gone;
    }
    EXPECT_TRUE(fs::exists(paths.dataPackage));
    EXPECT_TRUE(fs::exists(paths.dataDownload));
    EXPECT_FALSE(cursorOpen);
    EXPECT_FALSE(connectionOpen);
    EXPECT_EQ(closeCalls, 1);
    EXPECT_EQ(eventRuns, 1);
    EXPECT_EQ(clock.sleeps(), (std::vector<std::chrono::milliseconds>{200ms, 200ms, 200ms, 200ms}));

    clock.clearSleeps();
    store.cleanupWorkFiles(); // nothing left: still safe, no waits for closed handles
    EXPECT_EQ(clock.sleeps(), (std::vector<std::chrono::milliseconds>{200ms, 200ms}));
}

TEST_F(StoreTest, CityDatabaseFromItsArchive) {
    const std::string archive = temp.file("city.zip");
    ASSERT_TRUE(common::createArchive(archive, {{"city.dat", "cities"}}));
    const std::string bytes = readAll(archive);
    EXPECT_TRUE(store.extractCityDatabase(
        {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()}));
    EXPECT_EQ(readAll(paths.cityDatabasePath.string()), "cities");
    EXPECT_FALSE(fs::exists(paths.cityArchive));

    fs::remove(paths.cityDatabasePath);
    const std::string broken = bytes.substr(0, bytes.size() / 2);
    EXPECT_FALSE(store.extractCityDatabase(
        {reinterpret_cast<const std::uint8_t*>(broken.data()), broken.size()}));
    EXPECT_FALSE(fs::exists(paths.cityArchive));

    fs::remove_all(paths.workFolder); // no folder to write into
    EXPECT_FALSE(store.extractCityDatabase(
        {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()}));
}

} // namespace
} // namespace zorvast::channels::store
