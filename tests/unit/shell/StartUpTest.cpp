#include "shell/startup/StartUp.h"

#include "common/Files.h"
#include "support/AlteredPackages.h"
#include "support/ChannelFixture.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <stdexcept>
#include <thread>

namespace zorvast::shell {
namespace {

namespace fs = std::filesystem;
using channels::store::DatabaseStore;
using channels::store::storePathsFor;
using common::ManualClock;
using testing::readAll;
using testing::TempFolder;

update::PublicKey testPackageKey() {
    const auto key = update::readPublicKeyFile(ZORVAST_SOURCE_DIR "/keys/test-package.pub");
    if (!key) {
        throw std::runtime_error("keys/test-package.pub unreadable");
    }
    return *key;
}

struct FakeView final : StartUpView {
    std::vector<std::string> events;
    Answer answer = Answer::Cancel;
    DownloadWindowOutcome downloadOutcome = DownloadWindowOutcome::Closed;
    void showSplash() override { events.push_back("splash"); }
    void prepareMainWindow() override { events.push_back("prepare"); }
    Answer askRetryCancel(const std::string& caption, const std::string& text) override {
        events.push_back("ask " + caption + " " + text);
        return answer;
    }
    void showMessage(const std::string& caption, const std::string& text) override {
        events.push_back("message " + caption + " " + text);
    }
    DownloadWindowOutcome runDownloadWindow() override {
        events.push_back("download window");
        return downloadOutcome;
    }
    void setMainWindowEnabled(bool enabled) override {
        events.push_back(enabled ? "enable" : "disable");
    }
    void processEvents() override {}
};

struct RecordingWorkers final : WorkerStarter {
    std::vector<std::string> started;
    void start(const std::string& name, std::function<void()> job) override {
        started.push_back(name);
        job();
    }
};

class StartUpTest : public ::testing::Test {
public:
    bool handOverWorks = true;
    StartUpTest()
        : paths(storePathsFor(temp.path() / "tmp", temp.path() / "program")), state(paths),
          store(paths, clock) {
        fs::create_directories(temp.path() / "tmp");
        fs::create_directories(paths.programFolder);
    }

    StartUpResult run(const std::string& name = "zorvast") {
        StartUpHooks hooks;
        auto record = [this](const char* what) {
            return [this, what] {
                called.push_back(what);
            };
        };
        hooks.runReplaceHelper = record("replace helper");
        hooks.runRestartHelper = record("restart helper");
        hooks.handOverToRestartHelper = [this] {
            called.push_back("hand over");
            return handOverWorks;
        };
        hooks.loadLatestChannelList = record("lists");
        hooks.loadSngList = record("sng");
        hooks.checkLocalPages = record("pages");
        hooks.runDataCheck = record("data check");
        hooks.initialiseMainWindow = record("init");
        hooks.splashWorker = record("splash worker");
        return runWith(hooks, name);
    }

    // This copy's state, window and workers with the given hooks, the test key trusted.
    StartUpResult runWith(StartUpHooks hooks, const std::string& name) {
        StartUpContext context{.state = state,
                               .store = store,
                               .marker = marker,
                               .view = view,
                               .workers = workers,
                               .hooks = std::move(hooks),
                               .executableName = name,
                               .packageKey = testPackageKey()};
        return startUp(context);
    }

    static std::string goodDatabase(const std::string& version = "261209") {
        return testing::storedDatabase({testing::satlistTable(testing::satellitesWith(3, 1, 2)),
                                        testing::supTable({"a", "b", "c"}),
                                        testing::sysTable(version)});
    }

    // The entries a good package carries, signed with the test key.
    static std::vector<common::ArchiveEntry> goodEntries() {
        return testing::signedPackageEntries({{"satdata.str", goodDatabase()},
                                              {"nch.str", "a\r\nb\r\n"},
                                              {"sng.str", "c\r\n"},
                                              {"home.htm", "<p>home</p>"}});
    }

    void writeGoodPackage(const std::string& version = "261209") {
        testing::writePackage(paths.dataPackage.string(), goodDatabase(version));
    }

    void writeArchive(const std::vector<common::ArchiveEntry>& entries) {
        std::string error;
        ASSERT_TRUE(common::createArchive(paths.dataPackage.string(), entries, &error)) << error;
    }

    // Everything in the working folder but the instance marker.
    std::vector<std::string> workingFiles() const {
        std::vector<std::string> names;
        for (const auto& item : fs::directory_iterator(paths.workFolder)) {
            const std::string name = item.path().filename().string();
            if (item.path() != paths.instanceMarker) {
                names.push_back(name);
            }
        }
        return names;
    }

    TempFolder temp;
    ManualClock clock;
    channels::store::StorePaths paths;
    AppState state;
    DatabaseStore store;
    update::InstanceMarker marker;
    FakeView view;
    RecordingWorkers workers;
    std::vector<std::string> called;
};

TEST_F(StartUpTest, UpdateRolesRunInsteadOfTheProgram) {
    EXPECT_EQ(run("plumo_updata_89858656.exe"), StartUpResult::Quit);
    EXPECT_EQ(run("plumo_updata_69656858.exe"), StartUpResult::Quit);
    EXPECT_EQ(called, (std::vector<std::string>{"replace helper", "restart helper"}));
    EXPECT_FALSE(fs::exists(paths.workFolder));
    // The names are compared exactly.
    EXPECT_EQ(run("PLUMO_UPDATA_89858656.EXE"), StartUpResult::Running);
}

TEST_F(StartUpTest, WithDataTheWorkersStartInOrder) {
    writeGoodPackage();
    ASSERT_EQ(run(), StartUpResult::Running);
    EXPECT_EQ(state.dataVersion(), "261209");
    EXPECT_FALSE(state.downloadMode);
    EXPECT_EQ(workers.started,
              (std::vector<std::string>{"latest channels", "sng list", "local pages", "data check",
                                        "initialisation", "splash"}));
    EXPECT_EQ(view.events, (std::vector<std::string>{"splash", "prepare", "disable"}));
    EXPECT_TRUE(fs::exists(paths.storedFile));
    EXPECT_TRUE(fs::exists(paths.workFolder / "nch.str"));
    EXPECT_FALSE(fs::exists(paths.workDatabasePath)); // removed after the read
    EXPECT_TRUE(marker.held());
    EXPECT_FALSE(store.databaseBusy());
}

TEST_F(StartUpTest, EveryDataFailureLeadsToTheDownloadWindow) {
    const struct {
        const char* what;
        std::function<void(StartUpTest&)> arrange;
    } cases[] = {
        {"no package",
         [](StartUpTest&) {
         }},
        {"package is no ZIP",
         [](StartUpTest& t) {
             t.temp.write("program/satdata.sta", std::string(2000, 'x'));
         }},
        {"stored file damaged",
         [](StartUpTest& t) {
             testing::writePackage(t.paths.dataPackage.string(), std::string(1000001, 'x'));
         }},
        {"stored file too small for a package",
         [](StartUpTest& t) {
             testing::writePackage(t.paths.dataPackage.string(),
                                   testing::storedDatabase({testing::sysTable("1")}, 600000));
         }},
        {"package unsigned",
         [](StartUpTest& t) {
             testing::writePackage(t.paths.dataPackage.string(), goodDatabase(), {}, {}, false);
         }},
        {"stored file too short",
         [](StartUpTest& t) {
             testing::writePackage(t.paths.dataPackage.string(), "plumo_str");
         }},
        {"no table sys",
         [](StartUpTest& t) {
             testing::writePackage(t.paths.dataPackage.string(),
                                   testing::storedDatabase({testing::supTable({"a"})}));
         }},
        {"empty table sys",
         [](StartUpTest& t) {
             auto sys = testing::sysTable("1");
             sys.rows.clear();
             testing::writePackage(t.paths.dataPackage.string(), testing::storedDatabase({sys}));
         }},
        {"sys without s_ver",
         [](StartUpTest& t) {
             jetwriter::Table sys{"sys", {{"other", jetwriter::ColumnType::Text, 9}}, {{"1"}}};
             testing::writePackage(t.paths.dataPackage.string(), testing::storedDatabase({sys}));
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(temp.path() / "tmp");
        fs::remove_all(paths.programFolder);
        fs::create_directories(temp.path() / "tmp");
        fs::create_directories(paths.programFolder);
        marker.release();
        view.events.clear();
        workers.started.clear();
        state.downloadMode = false;
        c.arrange(*this);
        ASSERT_EQ(run(), StartUpResult::Running);
        EXPECT_TRUE(state.downloadMode);
        EXPECT_EQ(view.events,
                  (std::vector<std::string>{"splash", "prepare", "download window", "disable"}));
        const auto& w = workers.started;
        EXPECT_EQ(std::count(w.begin(), w.end(), "data check"), 0);
        EXPECT_EQ(w.back(), "splash");
        EXPECT_FALSE(fs::exists(paths.workDatabasePath));
    }
}

// A package that is not exactly what was signed is no data: nothing of it is unpacked, the
// download window comes, and the package itself is left as it was.
TEST_F(StartUpTest, APackageAlteredAfterSigningIsNeverUnpacked) {
    const struct {
        const char* what;
        std::function<void(StartUpTest&)> arrange;
    } cases[] = {
        {"stored bytes of satdata.str flipped",
         [](StartUpTest& t) {
             t.writeArchive(goodEntries());
             const std::string bytes = readAll(t.paths.dataPackage.string());
             common::writeFileBytes(t.paths.dataPackage,
                                    testing::withStoredBytesFlipped(bytes, "satdata.str"));
         }},
        {"satdata.str changed and zipped again with the old signature",
         [](StartUpTest& t) {
             t.writeArchive(testing::withContentChanged(goodEntries(), "satdata.str", 700000));
         }},
        {"a page changed and zipped again with the old signature",
         [](StartUpTest& t) {
             t.writeArchive(testing::withContentChanged(goodEntries(), "home.htm"));
         }},
        {"signed with another key",
         [](StartUpTest& t) {
             auto entries = goodEntries();
             entries.pop_back();
             const auto other = update::generateKeyPair();
             ASSERT_TRUE(other);
             t.writeArchive(testing::signedPackageEntries(entries, other->secretKey));
         }},
    };
    // The same entries as signed start normally: the cases differ from it only by the fault.
    writeArchive(goodEntries());
    ASSERT_EQ(run(), StartUpResult::Running);
    ASSERT_FALSE(state.downloadMode);
    ASSERT_EQ(readAll(paths.storedFile.string()), goodDatabase());

    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        marker.release();
        store.cleanupWorkFiles();
        view.events.clear();
        workers.started.clear();
        state.downloadMode = false;
        c.arrange(*this);
        const std::string before = readAll(paths.dataPackage.string());
        struct stat statBefore {};
        ASSERT_EQ(::stat(paths.dataPackage.c_str(), &statBefore), 0);

        ASSERT_EQ(run(), StartUpResult::Running);

        EXPECT_TRUE(state.downloadMode);
        EXPECT_EQ(view.events,
                  (std::vector<std::string>{"splash", "prepare", "download window", "disable"}));
        EXPECT_EQ(workers.started, (std::vector<std::string>{"initialisation", "splash"}))
            << "as without a package: no list loaders, no data check";
        EXPECT_EQ(workingFiles(), std::vector<std::string>{}) << "nothing of it unpacked";
        EXPECT_TRUE(marker.held());
        EXPECT_EQ(readAll(paths.dataPackage.string()), before) << "the package is left alone";
        struct stat statAfter {};
        ASSERT_EQ(::stat(paths.dataPackage.c_str(), &statAfter), 0);
        EXPECT_EQ(statAfter.st_ino, statBefore.st_ino);
        EXPECT_EQ(statAfter.st_mtim.tv_sec, statBefore.st_mtim.tv_sec);
        EXPECT_EQ(statAfter.st_mtim.tv_nsec, statBefore.st_mtim.tv_nsec);
    }
}

TEST_F(StartUpTest, ALinkAtThePackagePathIsNotFollowed) {
    const fs::path elsewhere = temp.path() / "elsewhere.sta";
    testing::writePackage(elsewhere.string(), goodDatabase());
    fs::create_symlink(elsewhere, paths.dataPackage);
    ASSERT_EQ(run(), StartUpResult::Running);
    EXPECT_TRUE(state.downloadMode);
    EXPECT_EQ(workingFiles(), std::vector<std::string>{});
    EXPECT_TRUE(fs::is_symlink(paths.dataPackage));
}

TEST_F(StartUpTest, NoPackageNeverOpensTheDatabase) {
    ASSERT_EQ(run(), StartUpResult::Running);
    EXPECT_EQ(workers.started, (std::vector<std::string>{"initialisation", "splash"}));
    EXPECT_TRUE(state.dataVersion().empty());
}

TEST_F(StartUpTest, QuittingFromTheDownloadWindowCleansUp) {
    view.downloadOutcome = DownloadWindowOutcome::Quit;
    EXPECT_EQ(run(), StartUpResult::Quit);
    EXPECT_FALSE(fs::exists(paths.workFolder));
    EXPECT_TRUE(workers.started.empty());
}

// The restarted copy wipes the working folder itself once this one has let go of its marker;
// a clean-up here would race it.
TEST_F(StartUpTest, ARestartFromTheDownloadWindowEndsWithoutCleaningUp) {
    view.downloadOutcome = DownloadWindowOutcome::Restarted;
    EXPECT_EQ(run(), StartUpResult::Quit);
    EXPECT_TRUE(fs::exists(paths.instanceMarker));
    EXPECT_TRUE(workers.started.empty());
}

TEST_F(StartUpTest, ASecondCopyEndsSilently) {
    writeGoodPackage();
    ASSERT_EQ(run(), StartUpResult::Running);
    ASSERT_TRUE(marker.held());

    // Another copy with its own state, the same folders.
    AppState otherState(paths);
    DatabaseStore otherStore(paths, clock);
    update::InstanceMarker otherMarker;
    FakeView otherView;
    RecordingWorkers otherWorkers;
    StartUpContext other{.state = otherState,
                         .store = otherStore,
                         .marker = otherMarker,
                         .view = otherView,
                         .workers = otherWorkers,
                         .executableName = "zorvast"};
    EXPECT_EQ(startUp(other), StartUpResult::QuitSilently);
    EXPECT_TRUE(otherView.events.empty());
    EXPECT_TRUE(otherWorkers.started.empty());
    // The first copy keeps its folder and marker.
    EXPECT_TRUE(fs::exists(paths.instanceMarker));
    EXPECT_TRUE(fs::exists(paths.storedFile));
}

TEST_F(StartUpTest, AStaleMarkerAfterACrashIsCleanedAway) {
    temp.write("tmp/satdata_temp/ready.tmp", "ready\r\n");
    temp.write("tmp/satdata_temp/leftover.tmp", "old");
    temp.write("tmp/satdata_temp1/staged", "old");
    writeGoodPackage();
    ASSERT_EQ(run(), StartUpResult::Running);
    EXPECT_FALSE(fs::exists(paths.workFolder / "leftover.tmp"));
    EXPECT_FALSE(fs::exists(paths.stagingFolder));
    EXPECT_TRUE(marker.held());
    EXPECT_EQ(state.dataVersion(), "261209");
}

TEST_F(StartUpTest, AWorkFolderThatCannotBeCreated) {
    for (Answer answer : {Answer::Retry, Answer::Cancel}) {
        SCOPED_TRACE(answer == Answer::Retry ? "retry" : "cancel");
        called.clear();
        view.events.clear();
        view.answer = answer;
        fs::remove_all(temp.path() / "tmp");
        temp.write("tmp", "a file where the temporary folder should be");
        EXPECT_EQ(run(), StartUpResult::Quit);
        ASSERT_EQ(view.events.size(), 1u);
        EXPECT_EQ(view.events[0], "ask 错误101 存取临时目录错误。点击[重试]重新尝试读取，"
                                  "点击[取消]则结束本软件运行。");
        EXPECT_EQ(called, answer == Answer::Retry ? std::vector<std::string>{"hand over"}
                                                  : std::vector<std::string>{});
        // A hand-over that fails says so before the program ends.
        if (answer == Answer::Retry) {
            called.clear();
            view.events.clear();
            handOverWorks = false;
            EXPECT_EQ(run(), StartUpResult::Quit);
            ASSERT_EQ(view.events.size(), 2u);
            EXPECT_EQ(view.events[1], "message 错误208 重启过程中读写临时数据时失败，"
                                      "请检查C盘是否已满或有无读写权限。");
            handOverWorks = true;
        }
        fs::remove(temp.path() / "tmp");
    }
}

// What another local user can plant in the place of the private area: the program refuses with
// the folder error, and neither works in it nor wipes anything it leads to.
TEST_F(StartUpTest, APrivateAreaThatIsNotReallyOursIsNeverUsed) {
    writeGoodPackage();
    const fs::path area = temp.path() / "tmp";
    const fs::path elsewhere = temp.path() / "other user's";
    struct Case {
        const char* what;
        std::function<void()> plant;
        bool needsRoot;
    };
    const std::vector<Case> cases = {
        {"a link to another folder", [&] { fs::create_directory_symlink(elsewhere, area); }, false},
        {"a plain file", [&] { temp.write("tmp", "planted"); }, false},
        {"a folder of another user, open to all",
         [&] {
             fs::create_directories(area / "satdata_temp");
             temp.write("tmp/satdata_temp/ready.tmp", "ready\r\n");
             temp.write("tmp/satdata_temp/home.htm", "<script>planted</script>");
             fs::permissions(area, fs::perms::all, fs::perm_options::replace);
             ASSERT_EQ(::chown(area.c_str(), 65534, 65534), 0);
         },
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.needsRoot && ::geteuid() != 0) {
            std::printf("skipped \"%s\": needs root to give a folder to another user\n", c.what);
            continue;
        }
        fs::remove_all(area);
        fs::remove_all(elsewhere);
        temp.write("other user's/satdata_temp/keep.txt", "theirs");
        c.plant();
        view.events.clear();
        called.clear();
        view.answer = Answer::Cancel;
        EXPECT_EQ(run(), StartUpResult::Quit);
        ASSERT_EQ(view.events.size(), 1u);
        EXPECT_EQ(view.events[0], "ask 错误101 存取临时目录错误。点击[重试]重新尝试读取，"
                                  "点击[取消]则结束本软件运行。");
        EXPECT_FALSE(marker.held());
        EXPECT_EQ(testing::readAll((elsewhere / "satdata_temp" / "keep.txt").string()), "theirs");
        if (c.needsRoot) {
            EXPECT_EQ(testing::readAll((area / "satdata_temp" / "home.htm").string()),
                      "<script>planted</script>");
        }
        EXPECT_TRUE(fs::exists(paths.dataPackage));
    }
    fs::remove_all(area);
}

TEST_F(StartUpTest, AMarkerThatCannotBeLookedAtIsAnErrorNotAnotherCopy) {
    writeGoodPackage();
    // Something other than a marker file holds its name: a folder, a link.
    const std::vector<std::function<void()>> plants = {
        [&] { fs::create_directories(paths.instanceMarker / "inside"); },
        [&] {
            fs::create_directories(paths.workFolder);
            fs::create_symlink(temp.path() / "elsewhere", paths.instanceMarker);
        },
    };
    for (const auto& plant : plants) {
        fs::remove_all(paths.workFolder);
        plant();
        view.events.clear();
        view.answer = Answer::Cancel;
        EXPECT_EQ(run(), StartUpResult::Quit);
        ASSERT_EQ(view.events.size(), 1u);
        EXPECT_EQ(view.events[0], "ask 错误101 存取临时目录错误。点击[重试]重新尝试读取，"
                                  "点击[取消]则结束本软件运行。");
        EXPECT_FALSE(fs::exists(temp.path() / "elsewhere"));
        // The clean-up after the message clears the way for the next start.
        view.events.clear();
        EXPECT_EQ(run(), StartUpResult::Running);
        EXPECT_TRUE(marker.held());
        marker.release();
    }
}

TEST_F(StartUpTest, OurOwnAreaWithALooseModeIsClosedAndUsed) {
    writeGoodPackage();
    fs::permissions(temp.path() / "tmp", fs::perms::all, fs::perm_options::replace);
    ASSERT_EQ(run(), StartUpResult::Running);
    EXPECT_EQ(fs::status(temp.path() / "tmp").permissions(), fs::perms::owner_all);
    EXPECT_TRUE(marker.held());
    EXPECT_FALSE(state.downloadMode);
}

TEST_F(StartUpTest, ALinkPlantedAsTheWorkingFolderIsRemovedNotFollowed) {
    writeGoodPackage();
    temp.write("victim/satdata.str", "the user's own file");
    fs::create_directory_symlink(temp.path() / "victim", paths.workFolder);
    ASSERT_EQ(run(), StartUpResult::Running);
    EXPECT_FALSE(fs::is_symlink(fs::symlink_status(paths.workFolder)));
    EXPECT_TRUE(fs::is_directory(paths.workFolder));
    EXPECT_EQ(testing::readAll((temp.path() / "victim" / "satdata.str").string()),
              "the user's own file");
}

TEST_F(StartUpTest, ABusyDatabaseStopsBeforeTheInitialisation) {
    writeGoodPackage();
    store.databaseBusy() = true;
    // The flag is cleared by the sequence itself at its window-preparation step; keep it
    // set from a worker hook that runs after that step.
    StartUpHooks hooks;
    hooks.loadLatestChannelList = [this] {
        store.databaseBusy() = true;
    };
    EXPECT_EQ(runWith(hooks, "zorvast"), StartUpResult::Running);
    EXPECT_EQ(view.events.back(), "message 错误118 上一次数据访问未完成，稍候请再重试。");
    EXPECT_EQ(clock.sleepCount(), 61u);
    EXPECT_EQ(workers.started, (std::vector<std::string>{"latest channels"}));
    EXPECT_TRUE(state.dataVersion().empty());
}

} // namespace
} // namespace zorvast::shell
