// What every end-to-end update test starts from: a suite folder that stands in for the home,
// configuration and temporary folders, the old package a scene's program has and the new one
// the publisher offers, new scenes, the publisher itself, and the checks of how a run ended.
#pragma once

#include "e2e/PublishedPackages.h"
#include "e2e/UpdateScene.h"
#include "shell/ui/AppController.h"
#include "support/ChannelFixture.h"
#include "support/TempFolder.h"
#include "update/roles/InstanceMarker.h"

#include <QProcess>
#include <QProgressBar>
#include <QStringList>
#include <QTest>

#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace zorvast::testing::e2e {

// The test classes derive from it and call setUp() in initTestCase() and tearDown() in
// cleanupTestCase().
class UpdateSuite {
protected:
    std::unique_ptr<testing::TempFolder> suite_;
    fs::path suiteRoot_;
    int scenes_ = 0;
    std::string oldStored_;
    std::string newStored_;
    std::string oldPackage_;
    fs::path newSource_; // the new package as the data build makes it, unsigned

    std::unique_ptr<Scene> newScene() {
        const std::string name = std::to_string(++scenes_) + "-" + QTest::currentTestFunction();
        return std::make_unique<Scene>(suiteRoot_ / name);
    }

    void writeOldPackage(const Scene& s) { writeBytes(s.program() / "satdata.sta", oldPackage_); }

    // tools/publish writes the server tree for the new package into `out`.
    void publish(const fs::path& out, const std::vector<std::string>& mirrors,
                 const char* program = ZORVAST_PROGRAM, const QStringList& extra = {}) {
        QStringList arguments = {
            ZORVAST_SOURCE_DIR "/tools/publish/publish.py",
            "--data-package",
            QString::fromStdString(newSource_.string()),
            "--program",
            program,
            "--signing-key",
            ZORVAST_SOURCE_DIR "/keys/test-package.sec",
            "--out",
            QString::fromStdString(out.string()),
            "--build",
            ZORVAST_BINARY_DIR,
        };
        for (const std::string& mirror : mirrors) {
            arguments << "--mirror" << QString::fromStdString(mirror);
        }
        arguments << extra;
        QProcess publisher;
        publisher.start("/usr/bin/python3", arguments);
        QVERIFY2(publisher.waitForFinished(60000), "the publisher did not end");
        QVERIFY2(publisher.exitStatus() == QProcess::NormalExit && publisher.exitCode() == 0,
                 publisher.readAllStandardError().constData());
        QVERIFY(fs::exists(out / "satdata.sta"));
    }

    // The run ended with the new data in place: stored, working, signed as published, and the
    // window usable with the marker held again.
    void checkUpdated(Scene& s, AppController& controller, const fs::path& published) {
        QTRY_COMPARE_WITH_TIMEOUT(statusOf(controller), kUpdatedText, 30000);
        QVERIFY2(readBytes(s.program() / "satdata.sta") == readBytes(published),
                 "satdata.sta is not the published package");
        QCOMPARE(packageVersion(s.program() / "satdata.sta", s.scratch()),
                 std::optional<std::string>(kNewVersion));
        QVERIFY2(readBytes(s.workFolder() / "satdata.str") == newStored_,
                 "the working folder does not hold the new database");
        QCOMPARE(joined(namesIn(s.program())), std::string("satdata.sta"));
        QVERIFY(!fs::exists(s.workFolder() / "satdata.tmp"));
        QTRY_VERIFY(controller.initialisationDone());
        QTRY_VERIFY_WITH_TIMEOUT(queryControlsEnabled(controller.window()), 10000);
        QVERIFY(controller.window()->isEnabled());
        QTRY_VERIFY(controller.window()->downloadProgress()->isHidden());
        update::InstanceMarker probe;
        QVERIFY2(!probe.hold(s.marker()), "nobody holds the instance marker after the update");
    }

    // The failed update left everything as it was and the program runs on; the program folder
    // holds `programFolder`.
    void checkUnchanged(Scene& s, AppController& controller,
                        const std::string& programFolder = "satdata.sta") {
        QVERIFY2(readBytes(s.program() / "satdata.sta") == oldPackage_,
                 "satdata.sta changed although the update failed");
        QVERIFY2(readBytes(s.workFolder() / "satdata.str") == oldStored_,
                 "the working database changed although the update failed");
        QVERIFY2(readBytes(s.workFolder() / "home.htm") == "<p>home</p>",
                 "files of the failed package reached the working folder");
        QVERIFY(!fs::exists(s.stagingFolder()));
        QCOMPARE(joined(namesIn(s.program())), programFolder);
        QTRY_VERIFY(controller.initialisationDone());
        QCOMPARE(controller.initialisationOutcome(), shell::InitOutcome::Ready);
        QTRY_VERIFY_WITH_TIMEOUT(controller.window()->isEnabled(), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(queryControlsEnabled(controller.window()), 10000);
        QTRY_VERIFY(controller.window()->downloadProgress()->isHidden());
        update::InstanceMarker probe;
        QVERIFY2(!probe.hold(s.marker()), "the instance marker was let go");
    }

    // The killed program's folder holds a whole package, the old or the new; a fresh start
    // reads it. `isNew` tells which of the two it was.
    void checkRestartReadsAValidPackage(Scene& s, const std::string& published, bool& isNew) {
        const std::string stored = readBytes(s.program() / "satdata.sta");
        QVERIFY2(stored == oldPackage_ || stored == published,
                 "satdata.sta is neither the old nor the new package");
        isNew = stored == published;
        QCOMPARE(packageVersion(s.program() / "satdata.sta", s.scratch()),
                 std::optional<std::string>(isNew ? kNewVersion : kOldVersion));

        useServers({kDeadServer});
        const timespec since = stamp(s.root / "restart.stamp");
        const fs::path log = s.root / "restart.log";
        const pid_t restarted = startProgram(s.program(), log);
        QVERIFY(restarted > 0);
        // Up and running on that data: the marker is held, and the initialisation has read the
        // database (the city database comes after that).
        const bool running = waitFor(
            [&] {
                return markerHeldBy(s.marker(), restarted) &&
                       writtenSince(s.workFolder() / "city.dat", since) &&
                       fs::exists(s.workFolder() / "satdata.str") &&
                       !fs::exists(s.workFolder() / "satdata.tmp");
            },
            30s);
        const bool sameData = running && readBytes(s.workFolder() / "satdata.str") ==
                                             (isNew ? newStored_ : oldStored_);
        ::kill(restarted, SIGTERM);
        const std::optional<int> status = waitForChild(restarted, 20s);
        if (!status) {
            ::kill(restarted, SIGKILL);
            waitForChild(restarted, 10s);
        }
        QVERIFY2(running, ("the restarted program did not come up:\n" + tailOf(log)).c_str());
        QVERIFY2(sameData, "the working folder does not hold the stored package's database");
        QVERIFY2(status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0,
                 ("the restarted program did not end cleanly:\n" + tailOf(log)).c_str());
        QVERIFY2(!fs::exists(s.workFolder()), "the clean exit left the working folder");
        QVERIFY(!fs::exists(s.stagingFolder()));
        QVERIFY(!fs::exists(s.helperFolder()));
        QCOMPARE(joined(namesIn(s.program())), std::string("satdata.sta"));
        QVERIFY2(waitFor([&] { return strayProcesses(s.root).empty(); }, 15s),
                 joined(strayProcesses(s.root)).c_str());
    }

    // The suite folder, the environment every program copy inherits, and the packages.
    void setUp() {
        suite_ = std::make_unique<testing::TempFolder>();
        suiteRoot_ = fs::canonical(suite_->path());
        // The real home, configuration and temporary folders stay untouched, also by the
        // program copies this test starts (they inherit the environment).
        const fs::path home = suiteRoot_ / "home";
        const fs::path runtime = suiteRoot_ / "runtime";
        for (const fs::path& f : {home / ".config", home / ".local/share", home / ".cache",
                                  home / ".local/state", runtime}) {
            fs::create_directories(f);
        }
        fs::permissions(runtime, fs::perms::owner_all, fs::perm_options::replace);
        qputenv("HOME", QByteArray::fromStdString(home.string()));
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString((home / ".config").string()));
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString((home / ".local/share").string()));
        qputenv("XDG_CACHE_HOME", QByteArray::fromStdString((home / ".cache").string()));
        qputenv("XDG_STATE_HOME", QByteArray::fromStdString((home / ".local/state").string()));
        qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(runtime.string()));
        qputenv("TMPDIR", QByteArray::fromStdString(suiteRoot_.string()));
        qputenv("QT_QPA_PLATFORM", "offscreen");
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox");
        useServers({kDeadServer});

        oldStored_ = testing::storedDatabase(
            {testing::satlistTable(testing::satellitesWith(40, 30, 35)),
             testing::supTable({"p1", "p2", "p3", "p4"}), testing::sysTable(kOldVersion)});
        const fs::path oldFile = suiteRoot_ / "old.sta";
        testing::writePackage(oldFile.string(), oldStored_, {{"home.htm", "<p>home</p>"}});
        oldPackage_ = readBytes(oldFile);

        // Just over the package check's size limit, with the lists and pages a data package
        // carries.
        newStored_ = testing::storedDatabase(
            {testing::satlistTable(testing::satellitesWith(41, 30, 35)),
             testing::supTable({"p1", "p2", "p3", "p4", "p5"}), testing::sysTable(kNewVersion)},
            1000100);
        QVERIFY(newStored_.size() > 1000000);
        std::vector<common::ArchiveEntry> pages;
        for (const char* page : {"home.htm", "news.htm", "tyro.htm", "datum.htm", "trade.htm"}) {
            pages.push_back({page, std::string("<html><body>") + page + " 261210</body></html>",
                             true, kNewDate});
        }
        // A picture that does not compress: the package takes some seconds on a slow link.
        std::mt19937 noise(261210);
        std::string picture(24000, '\0');
        for (char& byte : picture) {
            byte = static_cast<char>(noise() & 0xFF);
        }
        pages.push_back({"map.gif", picture, true, kNewDate});
        newSource_ = suiteRoot_ / "new.sta";
        testing::writePackage(newSource_.string(), newStored_, pages, kNewDate);
    }

    void tearDown() {
        const std::vector<std::string> strays = strayProcesses(suiteRoot_);
        suite_.reset();
        QVERIFY2(strays.empty(), joined(strays).c_str());
    }

    // The scene's program file, a copy of the 1.02 build under a name with a space.
    fs::path installProgram(const Scene& s) {
        const fs::path file = s.program() / "zorvast app";
        fs::copy_file(ZORVAST_PROGRAM, file);
        fs::permissions(file, static_cast<fs::perms>(0755));
        return file;
    }

    // The server offers the 1.03 build; the data on it is what the program already has.
    void publishNextProgram(const Scene& s, const std::string& mirror) {
        // No statement: it would name the newer data that dv.htm below no longer announces.
        CALL(publish(s.tree(), {mirror}, ZORVAST_NEXT_PROGRAM, {"--no-statement"}));
        QCOMPARE(readBytes(s.tree() / "sv.htm"), std::string("1.03"));
        writeBytes(s.tree() / "dv.htm", kOldVersion);
    }

    shell::ui::AppEnvironment programEnvironment(Scene& s) {
        shell::ui::AppEnvironment env = s.environment();
        env.executableName = "zorvast app";
        return env;
    }
};

} // namespace zorvast::testing::e2e
