#include "update/package/DataApply.h"

#include "UpdateFakes.h"
#include "channels/jet/JetConnection.h"
#include "support/AlteredPackages.h"
#include "support/PackageVersion.h"
#include "update/roles/RestartHelper.h"

#include <gtest/gtest.h>
#include <zip.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>

namespace zorvast::update {
namespace {

using testing::dataPackageEntries;
using zorvast::testing::packageVersion;
namespace fs = std::filesystem;
using testing::FlowFixture;
using testing::readAll;
using testing::signedEntries;
using testing::storedDatabaseWithVersion;
using testing::writeArchive;

constexpr const char* kNewDate = "2025年3月7日";

std::string filler(std::size_t bytes) {
    return std::string("plumo_str") + std::string(bytes - 9, '\x5a');
}

std::string randomBytes(std::size_t count, unsigned seed) {
    std::mt19937 generator(seed);
    std::string bytes(count, '\0');
    for (char& c : bytes) {
        c = static_cast<char>(generator() & 0xff);
    }
    return bytes;
}

std::vector<common::ArchiveEntry> sizedEntries(std::size_t database, std::size_t nch,
                                               std::size_t sng) {
    return {{"satdata.str", filler(database)},
            {"nch.str", std::string(nch, 'n')},
            {"sng.str", std::string(sng, 's')}};
}

class CheckDataPackage : public ::testing::Test, public FlowFixture {
public:
    bool check(const std::vector<common::ArchiveEntry>& entries) {
        writeArchive(paths.dataDownload, entries);
        clock.clearSleeps();
        return checkDataPackage(flow) != nullptr;
    }
};

TEST_F(CheckDataPackage, SizesOfTheThreeFiles) {
    struct Case {
        std::size_t database, nch, sng;
        bool usable;
    };
    const std::vector<Case> cases = {
        {1000000, 2, 2, false}, {1000001, 2, 2, true},  {1000001, 1, 2, false},
        {1000001, 2, 1, false}, {1000001, 0, 2, false}, {600000, 50, 50, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("satdata.str " + std::to_string(c.database) + ", nch.str " +
                     std::to_string(c.nch) + ", sng.str " + std::to_string(c.sng));
        EXPECT_EQ(check(signedEntries(sizedEntries(c.database, c.nch, c.sng))), c.usable);
        EXPECT_EQ(fs::exists(paths.stagingFolder / "satdata.str"), c.usable)
            << "left extracted only when usable";
        EXPECT_EQ(sleepsInMs(),
                  c.usable ? std::vector<std::string>{} : std::vector<std::string>{"500"});
    }
}

TEST_F(CheckDataPackage, MissingFilesFailToo) {
    std::vector<common::ArchiveEntry> entries = sizedEntries(1000001, 2, 2);
    entries.erase(entries.begin() + 2);
    EXPECT_FALSE(check(signedEntries(entries)));
}

TEST_F(CheckDataPackage, UnsignedOrAlteredPackagesFail) {
    struct Case {
        const char* what;
        std::function<std::vector<common::ArchiveEntry>()> entries;
    };
    const auto good = [] {
        return signedEntries(sizedEntries(1000001, 2, 2));
    };
    const std::vector<Case> cases = {
        {"unsigned",
         [] {
             return sizedEntries(1000001, 2, 2);
         }},
        {"one byte changed",
         [&] {
             auto e = good();
             e[0].data[700000] ^= 0x01;
             return e;
         }},
        {"an entry added",
         [&] {
             auto e = good();
             e.push_back({"extra.htm", "<html></html>"});
             return e;
         }},
        {"an entry dropped",
         [] {
             auto e = sizedEntries(1000001, 2, 2);
             e.push_back({"news.htm", "x"});
             auto signedOnes = signedEntries(e);
             signedOnes.erase(signedOnes.begin() + 3);
             return signedOnes;
         }},
        {"signed with another key",
         [] {
             const auto pair = generateKeyPair();
             return signedEntries(sizedEntries(1000001, 2, 2), pair->secretKey);
         }},
        {"a subfolder",
         [] {
             auto e = sizedEntries(1000001, 2, 2);
             e.push_back({"pages/home.htm", "<html></html>"});
             return signedEntries(e);
         }},
    };
    ASSERT_TRUE(check(good())) << "the unaltered package passes";
    for (const Case& c : cases) {
        EXPECT_FALSE(check(c.entries())) << c.what;
        EXPECT_FALSE(fs::exists(paths.stagingFolder)) << c.what;
        EXPECT_EQ(sleepsInMs(), std::vector<std::string>{"500"}) << c.what;
    }
}

TEST_F(CheckDataPackage, UnreadableDownloadsFailWithoutTheWait) {
    EXPECT_FALSE(checkDataPackage(flow)) << "no download at all";
    EXPECT_TRUE(clock.sleeps().empty());

    writeArchive(paths.dataDownload, signedEntries(sizedEntries(1000001, 2, 2)));
    const std::string whole = readAll(paths.dataDownload.string());
    common::writeFileBytes(paths.dataDownload, whole.substr(0, whole.size() - 200));
    EXPECT_FALSE(checkDataPackage(flow)) << "truncated";
    common::writeFileBytes(paths.dataDownload, "<html><body>404 Not Found</body></html>");
    EXPECT_FALSE(checkDataPackage(flow)) << "an error page";
    EXPECT_TRUE(clock.sleeps().empty());
    EXPECT_FALSE(fs::exists(paths.stagingFolder));
}

TEST_F(CheckDataPackage, EntriesEscapingTheStagingFolderFail) {
    const fs::path outside = temp.path() / "tmp" / "evil.txt";
    const std::vector<std::string> names = {"../evil.txt", "a/../../evil.txt",
                                            (temp.path() / "tmp" / "evil.txt").string()};
    for (const std::string& name : names) {
        auto entries = sizedEntries(1000001, 2, 2);
        entries.push_back({name, "owned"});
        EXPECT_FALSE(check(signedEntries(entries))) << name;
        EXPECT_FALSE(fs::exists(outside)) << name;
        EXPECT_FALSE(fs::exists(paths.stagingFolder)) << name;
    }
}

TEST_F(CheckDataPackage, ALinkEntryFails) {
    writeArchive(paths.dataDownload, signedEntries(sizedEntries(1000001, 2, 2)));
    ASSERT_TRUE(checkDataPackage(flow));
    // The same package with one more entry marked as a Unix symbolic link.
    int code = 0;
    zip_t* archive = zip_open(paths.dataDownload.c_str(), 0, &code);
    ASSERT_NE(archive, nullptr);
    static const char kTarget[] = "/etc/passwd";
    zip_source_t* source = zip_source_buffer(archive, kTarget, sizeof kTarget - 1, 0);
    const zip_int64_t index = zip_file_add(archive, "link.str", source, 0);
    ASSERT_GE(index, 0);
    ASSERT_EQ(zip_file_set_external_attributes(archive, static_cast<zip_uint64_t>(index), 0,
                                               ZIP_OPSYS_UNIX, (S_IFLNK | 0777u) << 16),
              0);
    ASSERT_EQ(zip_close(archive), 0);
    EXPECT_FALSE(checkDataPackage(flow));
    EXPECT_FALSE(fs::exists(paths.stagingFolder));
}

TEST_F(CheckDataPackage, PackagesBeyondTheSizeBoundFail) {
    flow.packageSizeLimit = 2000000;
    // Incompressible: the downloaded file itself is beyond the bound.
    auto big = sizedEntries(1000001, 2, 2);
    big.push_back({"noise.bin", randomBytes(2500000, 7)});
    EXPECT_FALSE(check(signedEntries(big)));
    EXPECT_GT(*common::fileSize(paths.dataDownload), flow.packageSizeLimit);
    EXPECT_TRUE(clock.sleeps().empty());

    // A small file that inflates beyond the bound.
    auto bomb = sizedEntries(1000001, 2, 2);
    bomb.push_back({"zeros.bin", std::string(3000000, '\0')});
    EXPECT_FALSE(check(signedEntries(bomb)));
    EXPECT_LT(*common::fileSize(paths.dataDownload), flow.packageSizeLimit);
    EXPECT_FALSE(fs::exists(paths.stagingFolder));

    flow.packageSizeLimit = kPackageSizeLimit;
    EXPECT_TRUE(check(signedEntries(bomb))) << "the same package within the usual bound";
}

class DataApply : public ::testing::Test, public FlowFixture {
public:
    void prepareUpdate(const std::vector<common::ArchiveEntry>& entries) {
        installRunningData("261209");
        downloadPackage(entries);
        checked = checkDataPackage(flow);
        ASSERT_TRUE(checked);
        journal.lines.clear();
        clock.clearSleeps();
    }
    void prepareGoodUpdate() {
        prepareUpdate(signedEntries(dataPackageEntries(storedDatabaseWithVersion("261210"))));
    }
    void apply() { applyDataPackage(flow, *checked); }

    std::shared_ptr<const VerifiedPackage> checked;
};

TEST_F(DataApply, ReplacesTheDataWhileTheProgramRuns) {
    prepareGoodUpdate();
    const std::string newStored = readAll((paths.stagingFolder / "satdata.str").string());

    apply();

    const std::vector<std::string> expected = {
        "controls disabled",
        "close all files",
        "marker held",
        "list loaders",
        "local pages",
        "city database",
        "bar hidden",
        "controls enabled",
        std::string("status  ◎ 最新数据日期：") + kNewDate + "。",
        "worker software check",
        "software check",
    };
    EXPECT_EQ(journal.all(), expected) << journal.dump();
    EXPECT_EQ(sleepsInMs(), (std::vector<std::string>{"3000", "5000", "2000"}));
    EXPECT_FALSE(store.databaseBusy());
    EXPECT_FALSE(view.ended);

    // The working folder holds the new files, the marker again, and no plain database.
    EXPECT_EQ(readAll(paths.storedFile.string()), newStored);
    EXPECT_EQ(readAll((paths.workFolder / "news.htm").string()), "<html>news</html>");
    EXPECT_TRUE(marker.held());
    EXPECT_TRUE(fs::exists(paths.instanceMarker));
    EXPECT_FALSE(removeStaleMarker(paths.instanceMarker)) << "a second copy still ends";
    EXPECT_FALSE(fs::exists(paths.workDatabasePath));
    EXPECT_EQ(fileDateText(paths.storedFile), kNewDate);

    // The verified bytes became the stored package; the download is gone and nothing else
    // was left beside the program.
    EXPECT_FALSE(fs::exists(paths.dataDownload));
    EXPECT_EQ(readAll(paths.dataPackage.string()), newPackageBytes);
    std::vector<std::string> besideProgram;
    for (const auto& item : fs::directory_iterator(paths.programFolder)) {
        besideProgram.push_back(item.path().filename().string());
    }
    EXPECT_EQ(besideProgram, std::vector<std::string>{"satdata.sta"});
    EXPECT_EQ(packageVersion(paths.dataPackage, temp.path() / "scratch"), "261210");
}

// Whatever happens to the download (or to the staged files) after the check, the apply installs
// the package that was checked: it never reads a path of it again.
void swapDownload(FlowFixture& f, const std::string& how) {
    const fs::path other = f.temp.path() / "other.sta";
    writeArchive(other, signedEntries(dataPackageEntries(storedDatabaseWithVersion("261299"))));
    if (how == "another signed package") {
        fs::copy_file(other, f.paths.dataDownload, fs::copy_options::overwrite_existing);
    } else if (how == "a link to another package") {
        fs::remove(f.paths.dataDownload);
        fs::create_symlink(other, f.paths.dataDownload);
    } else if (how == "damaged") {
        common::writeFileBytes(f.paths.dataDownload, "<html>404</html>");
    } else if (how == "removed") {
        fs::remove(f.paths.dataDownload);
    }
    // The staged copies are not what is installed either.
    common::writeFileBytes(f.paths.stagingFolder / "news.htm", "<html>planted</html>");
    common::writeFileBytes(f.paths.stagingFolder / "satdata.str",
                           storedDatabaseWithVersion("261299"));
}

const char* const kSwaps[] = {"another signed package", "a link to another package", "damaged",
                              "removed"};

TEST_F(DataApply, TheCheckedPackageIsInstalledWhateverHappensToTheDownload) {
    for (const char* how : kSwaps) {
        SCOPED_TRACE(how);
        FlowFixture f;
        f.installRunningData("261209");
        f.downloadPackage(signedEntries(dataPackageEntries(storedDatabaseWithVersion("261210"))));
        const auto package = checkDataPackage(f.flow);
        ASSERT_TRUE(package);
        swapDownload(f, how);

        applyDataPackage(f.flow, *package);

        EXPECT_FALSE(f.view.ended);
        EXPECT_EQ(readAll(f.paths.dataPackage.string()), f.newPackageBytes);
        EXPECT_EQ(packageVersion(f.paths.dataPackage, f.temp.path() / "scratch"), "261210");
        EXPECT_EQ(readAll(f.paths.storedFile.string()), *package->entry("satdata.str"));
        EXPECT_EQ(readAll((f.paths.workFolder / "news.htm").string()), "<html>news</html>");
        EXPECT_FALSE(fs::exists(fs::symlink_status(f.paths.dataDownload)));
        EXPECT_TRUE(fs::exists(f.temp.path() / "other.sta")) << "a link is removed, not followed";
    }
}

TEST_F(DataApply, ABusyDatabaseStopsTheApply) {
    prepareGoodUpdate();
    store.databaseBusy() = true;

    apply();

    EXPECT_EQ(journal.all(),
              std::vector<std::string>{"message 错误118 上一次数据访问未完成，稍候请再重试。"})
        << journal.dump();
    EXPECT_EQ(clock.sleepCount(), 61u);
    EXPECT_EQ(readAll(paths.dataPackage.string()), oldPackageBytes);
    EXPECT_TRUE(fs::exists(paths.dataDownload));
    EXPECT_TRUE(marker.held());
}

TEST_F(DataApply, AStagedDatabaseThatDoesNotOpenKeepsTheRunningData) {
    // Signed and large enough, but no stored database: no working copy can be built.
    auto entries = dataPackageEntries(std::string(1000001, 'x'));
    prepareUpdate(signedEntries(entries));
    const std::string runningStored = readAll(paths.storedFile.string());

    apply();

    const std::vector<std::string> expected = {
        "controls disabled",
        "controls enabled",
        "bar hidden",
        "status  ◎ 新数据无法打开，已保留现有数据，下次启动软件将重试。",
        "worker software check",
        "software check",
    };
    EXPECT_EQ(journal.all(), expected) << journal.dump();
    EXPECT_FALSE(store.databaseBusy());
    EXPECT_TRUE(controlsEnabled);
    EXPECT_FALSE(view.ended);
    EXPECT_EQ(readAll(paths.storedFile.string()), runningStored);
    EXPECT_EQ(readAll(paths.dataPackage.string()), oldPackageBytes);
    EXPECT_TRUE(marker.held()) << "never released";
    EXPECT_FALSE(removeStaleMarker(paths.instanceMarker));
    EXPECT_FALSE(fs::exists(paths.stagingFolder));
}

TEST_F(DataApply, AStagedDatabaseWithGarbageAfterTheMarkerKeepsTheRunningData) {
    prepareUpdate(signedEntries(dataPackageEntries(filler(1200000))));
    apply();
    EXPECT_TRUE(journal.has("status  ◎ 新数据无法打开，已保留现有数据，下次启动软件将重试。"))
        << journal.dump();
    EXPECT_EQ(readAll(paths.dataPackage.string()), oldPackageBytes);
}

TEST_F(DataApply, TheNewDatabaseMissingEndsTheProgram) {
    prepareGoodUpdate();
    flow.onApplyStep = [this](int step) {
        if (step == 9) {
            fs::remove(paths.storedFile);
        }
    };
    apply();
    EXPECT_TRUE(journal.has("message 错误201 读数据错误，软件无法运行，即将退出。"))
        << journal.dump();
    EXPECT_TRUE(view.ended);
    EXPECT_FALSE(fs::exists(paths.workFolder)) << "cleaned up";
    EXPECT_FALSE(journal.has("software check"));
    EXPECT_EQ(readAll(paths.dataPackage.string()), newPackageBytes);
}

TEST_F(DataApply, TheCityDatabaseFailingEndsTheProgram) {
    prepareGoodUpdate();
    cityExtracts = false;
    apply();
    EXPECT_TRUE(journal.has("message 错误106 失败，写临时数据发生错误，软件将被迫退出。"))
        << journal.dump();
    EXPECT_TRUE(view.ended);
    EXPECT_FALSE(journal.has("software check"));
}

TEST_F(DataApply, DelayedReplacement) {
    struct Case {
        const char* what;
        std::function<void(FlowFixture&)> meanwhile; // at step 12, after the stored file went
        std::string message;                         // empty: the delayed success
    };
    const std::vector<Case> cases = {
        {"the stored package is unpacked again", [](FlowFixture&) {}, ""},
        {"the stored package is broken",
         [](FlowFixture& f) { common::writeFileBytes(f.paths.dataPackage, "garbage"); },
         "message 错误202 数据更新中发生读写错误，请稍后再次进入本软件，尝试自动恢复。"},
        {"the stored package is gone", [](FlowFixture& f) { fs::remove(f.paths.dataPackage); },
         "message 错误203 数据更新中发生读取错误，请稍后再次进入本软件，尝试自动恢复。"},
        {"the stored package was altered after signing",
         [](FlowFixture& f) {
             writeArchive(
                 f.paths.dataPackage,
                 zorvast::testing::withContentChanged(
                     signedEntries(dataPackageEntries(storedDatabaseWithVersion("261210"))),
                     "satdata.str", 700000));
         },
         "message 错误202 数据更新中发生读写错误，请稍后再次进入本软件，尝试自动恢复。"},
        {"the stored package is unsigned",
         [](FlowFixture& f) {
             writeArchive(f.paths.dataPackage,
                          dataPackageEntries(storedDatabaseWithVersion("261210")));
         },
         "message 错误202 数据更新中发生读写错误，请稍后再次进入本软件，尝试自动恢复。"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FlowFixture f;
        f.installRunningData("261209");
        f.downloadPackage(signedEntries(dataPackageEntries(storedDatabaseWithVersion("261210"))));
        const auto checked = checkDataPackage(f.flow);
        ASSERT_TRUE(checked);
        f.flow.onApplyStep = [&](int step) {
            if (step == 12) {
                fs::remove(f.paths.storedFile);
                c.meanwhile(f);
            }
            if (step == 11) {
                f.controlsEnabled = false; // a query has started meanwhile
            }
        };
        f.clock.clearSleeps();

        applyDataPackage(f.flow, *checked);

        if (c.message.empty()) {
            EXPECT_TRUE(f.journal.has(std::string("status  ◎ 数据已延迟替换，最新数据日期：") +
                                      kNewDate + "。"))
                << f.journal.dump();
            EXPECT_TRUE(fs::exists(f.paths.storedFile));
            EXPECT_EQ(f.journal.count("controls enabled"), 2) << f.journal.dump();
            EXPECT_EQ(f.sleepsInMs(), (std::vector<std::string>{"3000", "5000", "2000", "2000"}));
            EXPECT_TRUE(f.journal.has("software check"));
            EXPECT_FALSE(f.view.ended);
        } else {
            EXPECT_TRUE(f.journal.has(c.message)) << f.journal.dump();
            EXPECT_TRUE(f.view.ended);
            EXPECT_FALSE(fs::exists(f.paths.workFolder));
            EXPECT_FALSE(f.journal.has("software check"));
        }
    }
}

TEST_F(DataApply, DelayedReplacementLeavesEnabledControlsAlone) {
    prepareGoodUpdate();
    flow.onApplyStep = [this](int step) {
        if (step == 12) {
            fs::remove(paths.storedFile);
        }
    };
    apply();
    EXPECT_EQ(journal.count("controls enabled"), 1) << journal.dump();
    EXPECT_EQ(journal.count("bar hidden"), 1) << journal.dump();
}

class FirstDataApply : public ::testing::Test, public FlowFixture {
public:
    FirstDataApply() {
        downloadMode = true;
        fs::create_directories(paths.workFolder);
        downloadPackage(signedEntries(dataPackageEntries(storedDatabaseWithVersion("261210"))));
        checked = checkDataPackage(flow);
        journal.lines.clear();
    }
    void apply() {
        ASSERT_TRUE(checked);
        applyFirstDataPackage(flow, *checked);
    }

    std::shared_ptr<const VerifiedPackage> checked;
};

TEST_F(FirstDataApply, StoresTheDownloadAndRestarts) {
    common::writeFileBytes(paths.dataPackage, "a damaged old package");
    apply();
    const std::vector<std::string> expected = {
        "close all files",
        "label  ◎ 最新版本更新成功！",
        "hand over",
        "end program",
    };
    EXPECT_EQ(journal.all(), expected) << journal.dump();
    EXPECT_EQ(sleepsInMs(), (std::vector<std::string>{"2000", "500"}));
    EXPECT_EQ(readAll(paths.dataPackage.string()), newPackageBytes);
    std::vector<std::string> besideProgram;
    for (const auto& item : fs::directory_iterator(paths.programFolder)) {
        besideProgram.push_back(item.path().filename().string());
    }
    EXPECT_EQ(besideProgram, std::vector<std::string>{"satdata.sta"})
        << "the verified bytes took the download's place";
}

TEST_F(FirstDataApply, TheCheckedPackageIsStoredWhateverHappensToTheDownload) {
    for (const char* how : kSwaps) {
        SCOPED_TRACE(how);
        FlowFixture f;
        f.downloadMode = true;
        fs::create_directories(f.paths.workFolder);
        f.downloadPackage(signedEntries(dataPackageEntries(storedDatabaseWithVersion("261210"))));
        const auto package = checkDataPackage(f.flow);
        ASSERT_TRUE(package);
        swapDownload(f, how);

        applyFirstDataPackage(f.flow, *package);

        EXPECT_FALSE(f.journal.has("message 错误205 读数据错误，软件无法运行，即将退出。"))
            << f.journal.dump();
        EXPECT_EQ(readAll(f.paths.dataPackage.string()), f.newPackageBytes);
        EXPECT_FALSE(fs::is_symlink(f.paths.dataPackage));
        EXPECT_EQ(packageVersion(f.paths.dataPackage, f.temp.path() / "scratch"), "261210");
    }
}

TEST_F(FirstDataApply, AStoreThatFailsEndsWithoutCleaningUp) {
    // A folder holds the name: the new file cannot be renamed over it.
    fs::create_directories(paths.dataPackage / "in the way");
    apply();
    const std::vector<std::string> expected = {
        "close all files",
        "message 错误205 读数据错误，软件无法运行，即将退出。",
        "end program",
    };
    EXPECT_EQ(journal.all(), expected) << journal.dump();
    EXPECT_TRUE(fs::exists(paths.workFolder)) << "no clean-up after this one";
    EXPECT_TRUE(fs::is_directory(paths.dataPackage));
    for (const auto& item : fs::directory_iterator(paths.programFolder)) {
        const std::string name = item.path().filename().string();
        EXPECT_TRUE(name == "satdata.sta" || name == "satdata.tmp") << "left behind: " << name;
    }
}

TEST_F(FirstDataApply, AHandOverThatFailsEndsAfterCleaningUp) {
    handOverWorks = false;
    apply();
    const std::vector<std::string> expected = {
        "close all files",
        "label  ◎ 最新版本更新成功！",
        "hand over",
        "message 错误206 更新过程中写数据时失败，请检查C盘是否已满或有无读写权限。",
        "end program",
    };
    EXPECT_EQ(journal.all(), expected) << journal.dump();
    EXPECT_FALSE(fs::exists(paths.workFolder));
    EXPECT_FALSE(fs::exists(paths.dataDownload)) << "the clean-up removes the download";
    EXPECT_EQ(readAll(paths.dataPackage.string()), newPackageBytes) << "the package stays";
}

TEST_F(FirstDataApply, TheRestartHelperTakesOver) {
    std::vector<ProgramStart> started;
    RestartHandOver handOver;
    handOver.programFile = paths.programFolder / "zorvast";
    handOver.programFolder = paths.programFolder;
    handOver.clock = &clock;
    handOver.start = [&](const ProgramStart& start) {
        started.push_back(start);
        return true;
    };
    flow.hooks.handOverToRestartHelper = [&] {
        return handOverToRestartHelper(handOver);
    };

    apply();

    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(started[0].program, handOver.programFile);
    EXPECT_EQ(started[0].arguments,
              (std::vector<std::string>{kRestartHelperFile, handOver.programFile.string()}));
    EXPECT_FALSE(fs::exists(paths.helperFolder));
    EXPECT_EQ(sleepsInMs(), (std::vector<std::string>{"2000", "300", "500"}));
    EXPECT_TRUE(view.ended);
    EXPECT_FALSE(
        journal.has("message 错误206 更新过程中写数据时失败，请检查C盘是否已满或有无读写权限。"));
}

TEST_F(FirstDataApply, AHelperThatDoesNotStartGives206) {
    RestartHandOver handOver;
    handOver.programFile = paths.programFolder / "zorvast";
    handOver.start = [](const ProgramStart&) {
        return false;
    };
    flow.hooks.handOverToRestartHelper = [&] {
        return handOverToRestartHelper(handOver);
    };

    apply();

    EXPECT_TRUE(
        journal.has("message 错误206 更新过程中写数据时失败，请检查C盘是否已满或有无读写权限。"))
        << journal.dump();
    EXPECT_TRUE(view.ended);
    EXPECT_FALSE(fs::exists(paths.workFolder));
}

// The process dies at each step boundary of the apply; what lies beside the program must
// always be a whole, signed package that the next start can read: the old one or the new one.
TEST(DataApplyCrash, TheStoredPackageSurvivesAnInterruptionAtEveryStep) {
    for (int stop = 1; stop <= 14; ++stop) {
        SCOPED_TRACE("killed at step " + std::to_string(stop));
        FlowFixture f;
        f.installRunningData("261209");
        f.downloadPackage(signedEntries(dataPackageEntries(storedDatabaseWithVersion("261210"))));
        const auto checked = checkDataPackage(f.flow);
        ASSERT_TRUE(checked);

        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            f.flow.onApplyStep = [stop](int step) {
                if (step == stop) {
                    ::_exit(0);
                }
            };
            applyDataPackage(f.flow, *checked);
            ::_exit(3); // the boundary never came
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        ASSERT_EQ(WEXITSTATUS(status), 0);

        ASSERT_TRUE(fs::exists(f.paths.dataPackage));
        const std::string bytes = readAll(f.paths.dataPackage.string());
        const bool isOld = bytes == f.oldPackageBytes;
        const bool isNew = bytes == f.newPackageBytes;
        EXPECT_TRUE(isOld || isNew);
        EXPECT_EQ(isNew, stop >= 8) << "replaced in step 7";
        EXPECT_EQ(examineDataPackage(f.paths.dataPackage, f.temp.path() / "check",
                                     testing::testPublicKey()),
                  PackageVerdict::Usable);
        EXPECT_EQ(packageVersion(f.paths.dataPackage, f.temp.path() / "start"),
                  isNew ? "261210" : "261209");
        // Nothing but the two names the clean-up knows lies beside the program.
        for (const auto& item : fs::directory_iterator(f.paths.programFolder)) {
            const std::string name = item.path().filename().string();
            EXPECT_TRUE(name == "satdata.sta" || name == "satdata.tmp") << "left behind: " << name;
        }
    }
}

TEST(DataApplyCrash, TheFirstDownloadCopyIsWholeOrAbsent) {
    for (int stop = 1; stop <= 7; ++stop) {
        SCOPED_TRACE("killed at step " + std::to_string(stop));
        FlowFixture f;
        f.downloadMode = true;
        f.downloadPackage(signedEntries(dataPackageEntries(storedDatabaseWithVersion("261210"))));
        const auto checked = checkDataPackage(f.flow);
        ASSERT_TRUE(checked);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            f.flow.onApplyStep = [stop](int step) {
                if (step == stop) {
                    ::_exit(0);
                }
            };
            applyFirstDataPackage(f.flow, *checked);
            ::_exit(3);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        ASSERT_EQ(WEXITSTATUS(status), 0);
        EXPECT_EQ(fs::exists(f.paths.dataPackage), stop >= 4);
        if (fs::exists(f.paths.dataPackage)) {
            EXPECT_EQ(readAll(f.paths.dataPackage.string()), f.newPackageBytes);
        }
    }
}

} // namespace
} // namespace zorvast::update
