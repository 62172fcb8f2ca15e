// The first data download end to end: the download window, the store of the package and the
// restart through the restart helper (the built program as a child process).
#include "e2e/UpdateSuite.h"
#include "support/LocalHttpServer.h"
#include "update/roles/RestartHelper.h"

#include <QTest>

using namespace zorvast;
using namespace zorvast::testing::e2e;
using shell::StartUpResult;

class FirstDownloadTest : public QObject, public UpdateSuite {
    Q_OBJECT

private slots:
    void initTestCase() { setUp(); }
    void cleanupTestCase() { tearDown(); }

    void aFirstDownloadRestartsIntoTheNewData() {
        const auto s = newScene();
        const fs::path programFile = s->program() / "zorvast";
        fs::copy_file(ZORVAST_PROGRAM, programFile);
        fs::permissions(programFile, fs::perms::owner_all | fs::perms::group_read |
                                         fs::perms::group_exec | fs::perms::others_read |
                                         fs::perms::others_exec);
        testing::LocalHttpServer http({"--root", s->tree().string()});
        CALL(publish(s->tree(), {http.url("")}));
        // The restart helper and the restarted program inherit this list too.
        useServers({http.url("")});

        // The program file is the copy in the program folder (its folder and name).
        shell::ui::AppEnvironment env = s->environment();
        const timespec since = stamp(s->root / "start.stamp");
        DownloadWindowWatcher watcher;
        qApp->installEventFilter(&watcher);
        StartUpResult result = StartUpResult::Running;
        {
            AppController controller(env);
            result = controller.startUp();
        }
        qApp->removeEventFilter(&watcher);
        QCOMPARE(result, StartUpResult::Quit);
        QVERIFY(watcher.sawWindow());
        QVERIFY2(!watcher.texts().isEmpty() && watcher.texts().last() == kStoredText,
                 qPrintable(watcher.texts().join(" | ")));
        QVERIFY2(readBytes(s->program() / "satdata.sta") == readBytes(s->tree() / "satdata.sta"),
                 "satdata.sta is not the published package");

        // The helper is the program file, started by us under the helper's name; it starts the
        // program and ends.
        pid_t helper = 0;
        QVERIFY2(waitFor(
                     [&] {
                         helper = helperStartedFrom(programFile);
                         return helper > 0;
                     },
                     20s),
                 "no restart helper was started");
        const std::optional<int> helperStatus = waitForChild(helper, 30s);
        QVERIFY2(helperStatus && WIFEXITED(*helperStatus) && WEXITSTATUS(*helperStatus) == 0,
                 "the restart helper did not end cleanly");

        // The program started again from its folder, now in normal mode on the stored data.
        pid_t restarted = 0;
        const bool running = waitFor(
            [&] {
                restarted = processRunning(programFile);
                return restarted > 0 && markerHeldBy(s->marker(), restarted) &&
                       writtenSince(s->workFolder() / "city.dat", since) &&
                       fs::exists(s->workFolder() / "satdata.str");
            },
            30s);
        const bool sameData = running && readBytes(s->workFolder() / "satdata.str") == newStored_;
        if (restarted > 0) {
            ::kill(restarted, SIGTERM);
        }
        const bool ended = waitFor([&] { return processRunning(programFile) == 0; }, 20s, 10ms);
        if (!ended) {
            ::kill(restarted, SIGKILL);
        }
        QVERIFY2(running, "the restarted program did not come up with the data");
        QVERIFY2(sameData, "the restarted program does not work on the downloaded database");
        QVERIFY2(ended, "the restarted program did not end on SIGTERM");
        // Its clean exit removes its working files, the helper folder too.
        QVERIFY(waitFor([&] { return !fs::exists(s->workFolder()); }, 5s));
        QVERIFY(!fs::exists(s->helperFolder()));
        QCOMPARE(joined(namesIn(s->program())), std::string("satdata.sta, zorvast"));
        QVERIFY2(waitFor([&] { return strayProcesses(s->root).empty(); }, 15s),
                 joined(strayProcesses(s->root)).c_str());
    }

    // The built program, started under the restart helper's name with a program path as its
    // argument, starts that program in the folder it runs in and ends.
    void theRestartHelperStartsTheProgramItIsGiven() {
        const auto s = newScene();
        const fs::path target = s->program() / "start me";
        const fs::path out = s->root / "started.txt";
        writeBytes(target, "#!/bin/sh\npwd > \"" + out.string() + "\"\necho \"$0\" >> \"" +
                               out.string() + "\"\n");
        fs::permissions(target, static_cast<fs::perms>(0755));
        const std::optional<pid_t> helper = update::startDetached(
            {ZORVAST_PROGRAM, {update::kRestartHelperFile, target.string()}, s->program()});
        QVERIFY(helper.has_value());
        const std::optional<int> status = waitForChild(*helper, 30s);
        QVERIFY2(status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0,
                 "the restart helper did not end cleanly");
        QVERIFY(waitFor([&] { return lines(readBytes(out)).size() == 2; }, 10s));
        QCOMPARE(joined(lines(readBytes(out))), joined({s->program().string(), target.string()}));
        // It started the program and nothing else: no working files, nothing in the folder.
        QVERIFY(!fs::exists(s->workFolder()));
        QCOMPARE(joined(namesIn(s->program())), std::string("start me"));
    }

    void aFirstDownloadThatFailsWaitsForTheUser_data() {
        QTest::addColumn<bool>("serverAnswers");
        QTest::addColumn<QString>("labelStart");
        QTest::addColumn<QString>("labelEnd");
        QTest::newRow("no server")
            << false << QStringLiteral("下载失败！无法运行，请退出稍后再试，或进入")
            << QStringLiteral("下载最新版本。");
        QTest::newRow("only a broken package")
            << true << QStringLiteral("连接服务器错误，无法运行软件，请稍后重试") << QString();
    }

    void aFirstDownloadThatFailsWaitsForTheUser() {
        QFETCH(bool, serverAnswers);
        QFETCH(QString, labelStart);
        QFETCH(QString, labelEnd);
        const auto s = newScene();
        testing::LocalHttpServer http({"--root", s->tree().string()});
        if (serverAnswers) {
            CALL(publish(s->tree(), {http.url("")}));
            const std::string whole = readBytes(s->tree() / "satdata.sta");
            writeBytes(s->tree() / "truncated.sta", whole.substr(0, whole.size() - 100));
            writeBytes(s->tree() / "du.htm", mirrorList({http.url("/truncated.sta")}));
            useServers({http.url("")});
        } else {
            useServers({kDeadServer, kOtherDeadServer});
        }

        DownloadWindowWatcher watcher;
        qApp->installEventFilter(&watcher);
        // The user reads the label and leaves through "取消并退出" (or the test gives up).
        bool answered = false;
        QTimer user;
        const auto started = std::chrono::steady_clock::now();
        QObject::connect(&user, &QTimer::timeout, [&] {
            update::ui::DownloadWindow* window = watcher.window();
            if (!window || !window->isVisible()) {
                return;
            }
            const QString label = window->label()->text();
            answered = label.startsWith(labelStart) && label.endsWith(labelEnd);
            if (answered || std::chrono::steady_clock::now() - started > 30s) {
                window->cancelButton()->click();
            }
        });
        user.start(20);
        StartUpResult result = StartUpResult::Running;
        {
            AppController controller(s->environment());
            result = controller.startUp();
        }
        user.stop();
        qApp->removeEventFilter(&watcher);
        QCOMPARE(result, StartUpResult::Quit);
        QVERIFY2(answered, qPrintable(watcher.texts().join(" | ")));
        QCOMPARE(joined(namesIn(s->program())), std::string());
        QVERIFY(!fs::exists(s->workFolder()));
        QVERIFY(!fs::exists(s->stagingFolder()));
    }
};

QTEST_MAIN(FirstDownloadTest)
#include "UpdateFirstDownloadTest.moc"
