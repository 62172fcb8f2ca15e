// The program update end to end: the question, the hand-over to the replacement helper and the
// new program in place of the old one; program packages that are not ours are never offered.
#include "e2e/UpdateSuite.h"
#include "support/LocalFtpServer.h"
#include "support/LocalHttpServer.h"
#include "support/LocalNginx.h"
#include "update/package/PackageManifest.h"
#include "update/roles/ReplaceHelper.h"

#include <QSignalSpy>
#include <QTest>

using namespace zorvast;
using namespace zorvast::testing::e2e;
using shell::StartUpResult;

class ProgramUpdateTest : public QObject, public UpdateSuite {
    Q_OBJECT

private slots:
    void initTestCase() { setUp(); }
    void cleanupTestCase() { tearDown(); }

    void aNewProgramReplacesTheOldOne_data() {
        QTest::addColumn<bool>("ftp");
        QTest::newRow("HTTP mirror") << false;
        QTest::newRow("FTP mirror") << true;
    }

    void aNewProgramReplacesTheOldOne() {
        QFETCH(bool, ftp);
        const auto s = newScene();
        writeOldPackage(*s);
        const fs::path programFile = installProgram(*s);
        testing::LocalHttpServer http({"--root", s->tree().string()});
        std::unique_ptr<testing::LocalFtpServer> ftpServer;
        if (ftp) {
            ftpServer = std::make_unique<testing::LocalFtpServer>(s->tree().string());
        }
        CALL(publishNextProgram(*s, ftp ? ftpServer->url("") : http.url("")));
        // The helper and the new program inherit this list: the new one finds itself current.
        useServers({http.url("")});

        QuestionAnswerer user(QStringLiteral("确定"));
        std::optional<int> helperStatus;
        bool waitedForUs = false;
        {
            AppController controller(programEnvironment(*s));
            QSignalSpy ended(&controller, &AppController::quitRequested);
            QCOMPARE(controller.startUp(), StartUpResult::Running);
            QTRY_VERIFY_WITH_TIMEOUT(user.asked() > 0, 30000);
            QCOMPARE(user.text(), kQuestionText);
            QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, 10000);
            // The helper runs, but leaves the program alone while this copy holds its marker.
            pid_t helper = 0;
            QVERIFY2(waitFor(
                         [&] {
                             helper = helperStartedFrom(programFile);
                             return helper > 0;
                         },
                         10s),
                     "no replacement helper was started");
            std::this_thread::sleep_for(1500ms);
            waitedForUs = readBytes(programFile) == readBytes(ZORVAST_PROGRAM) &&
                          ::waitpid(helper, nullptr, WNOHANG) == 0;
            // The installed program itself, under the helper's name, told what to replace.
            QCOMPARE(joined(commandLineOf(helper)),
                     joined({update::kReplaceHelperFile, programFile.string()}));
            QCOMPARE(linkOf(helper, "cwd"), s->program().string());
            // Nothing of the update waits in the temporary folder.
            QCOMPARE(joined(filesNamed(s->tmp(), "plumo.exe")), std::string());
            controller.shutDown();
            helperStatus = waitForChild(helper, 30s);
        }
        QVERIFY2(waitedForUs, "the helper did not wait for the old program to end");
        QVERIFY2(helperStatus && WIFEXITED(*helperStatus) && WEXITSTATUS(*helperStatus) == 0,
                 "the replacement helper did not end cleanly");
        QVERIFY2(readBytes(programFile) == readBytes(ZORVAST_NEXT_PROGRAM),
                 "the program file is not the new build");
        QVERIFY(fs::status(programFile).permissions() == static_cast<fs::perms>(0755));

        // The new program came up from its usual place, on the data it found there.
        pid_t restarted = 0;
        const bool running = waitFor(
            [&] {
                restarted = processRunning(programFile);
                return restarted > 0 && markerHeldBy(s->marker(), restarted) &&
                       fs::exists(s->workFolder() / "city.dat");
            },
            30s);
        QProcess version;
        version.start(QString::fromStdString(programFile.string()), {"--version"});
        const bool answered = version.waitForFinished(20000);
        const QString printed = QString::fromUtf8(version.readAllStandardOutput()).trimmed();
        if (restarted > 0) {
            ::kill(restarted, SIGTERM);
        }
        const bool stopped = waitFor([&] { return processRunning(programFile) == 0; }, 20s, 10ms);
        QVERIFY2(running, "the new program did not start");
        QVERIFY(answered);
        QCOMPARE(printed, QStringLiteral("Zorvast 1.03"));
        QVERIFY2(stopped, "the new program did not end on SIGTERM");
        QVERIFY(waitFor([&] { return !fs::exists(s->workFolder()); }, 5s));
        QVERIFY(!fs::exists(s->helperFolder()));
        QCOMPARE(QString::fromStdString(joined(namesIn(s->program()))),
                 QStringLiteral("satdata.sta, zorvast app"));
        QVERIFY2(waitFor([&] { return strayProcesses(s->root).empty(); }, 15s),
                 joined(strayProcesses(s->root)).c_str());
    }

    void cancelKeepsTheDownloadUntilTheCleanUp() {
        const auto s = newScene();
        writeOldPackage(*s);
        const fs::path programFile = installProgram(*s);
        testing::LocalHttpServer http({"--root", s->tree().string()});
        CALL(publishNextProgram(*s, http.url("")));
        useServers({http.url("")});

        QuestionAnswerer user(QStringLiteral("取消"));
        AppController controller(programEnvironment(*s));
        QCOMPARE(controller.startUp(), StartUpResult::Running);
        QTRY_COMPARE_WITH_TIMEOUT(statusOf(controller), kLaterText, 30000);
        QCOMPARE(user.asked(), 1);
        QVERIFY(helperStartedFrom(programFile) == 0);
        QCOMPARE(readBytes(programFile), readBytes(ZORVAST_PROGRAM));
        CALL(checkUnchanged(*s, controller, "satdata.sta, zorvast app"));
        QVERIFY(fs::exists(s->downloads() / "plumo.tmp"));
        controller.shutDown();
        QCOMPARE(joined(namesIn(s->program())), std::string("satdata.sta, zorvast app"));
        QVERIFY(!fs::exists(s->helperFolder()));
    }

    void aProgramPackageThatIsNotOursIsNeverOffered_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("status");
        QTest::newRow("plumo.exe of 400000 bytes, signed") << "small" << kLaterText;
        QTest::newRow("plumo.exe altered after signing") << "tampered" << kProgramMirrorsFailedText;
        QTest::newRow("no signature") << "unsigned" << kProgramMirrorsFailedText;
        QTest::newRow("signed with another key") << "other key" << kProgramMirrorsFailedText;
    }

    void aProgramPackageThatIsNotOursIsNeverOffered() {
        QFETCH(QString, fault);
        QFETCH(QString, status);
        const auto s = newScene();
        writeOldPackage(*s);
        const fs::path programFile = installProgram(*s);
        testing::LocalHttpServer http(
            {"--root", s->tree().string(), "--log", s->requestLog().string()});
        CALL(publishNextProgram(*s, http.url("")));
        const fs::path package = s->tree() / "zorvast.zip";
        std::vector<common::ArchiveEntry> entries = entriesOf(package, s->scratch());
        for (common::ArchiveEntry& e : entries) {
            if (e.name == "plumo.exe" && fault == "tampered") {
                e.data[e.data.size() / 2] ^= 0x20; // one bit of the program, after signing
            }
        }
        if (fault == "small") {
            entries = signedAgain({{"plumo.exe", std::string(400000, 'z'), true, kNewDate},
                                   {update::kManifestEntry,
                                    update::formatManifest({update::PackageKind::Software, "1.03"}),
                                    true, kNewDate}});
        } else if (fault == "unsigned") {
            entries = withoutSignature(std::move(entries));
        } else if (fault == "other key") {
            const auto other = update::generateKeyPair();
            QVERIFY(other.has_value());
            std::vector<update::PackageEntry> plain;
            entries = withoutSignature(std::move(entries));
            for (const common::ArchiveEntry& e : entries) {
                plain.push_back({e.name, e.data});
            }
            entries.push_back({update::kSignatureEntry,
                               *update::signPackageEntries(plain, other->secretKey), true,
                               kNewDate});
        }
        fs::remove(package);
        writeArchive(package, entries);
        useServers({http.url("")});

        QuestionAnswerer user(QStringLiteral("确定"));
        AppController controller(programEnvironment(*s));
        QCOMPARE(controller.startUp(), StartUpResult::Running);
        QTRY_COMPARE_WITH_TIMEOUT(statusOf(controller), status, 30000);
        QVERIFY(requestIndex(s->requests(), "/zorvast.zip") >= 0);
        QCOMPARE(user.asked(), 0);
        QVERIFY2(user.otherMessage().isEmpty(), qPrintable(user.otherMessage()));
        QVERIFY(helperStartedFrom(programFile) == 0);
        QCOMPARE(readBytes(programFile), readBytes(ZORVAST_PROGRAM));
        // Checked in memory: no program is unpacked anywhere.
        QCOMPARE(joined(filesNamed(s->tmp(), "plumo.exe")), std::string());
        QCOMPARE(joined(filesNamed(s->tmp(), update::kReplaceHelperFile)), std::string());
        CALL(checkUnchanged(*s, controller, "satdata.sta, zorvast app"));
        QCOMPARE(fs::exists(s->downloads() / "plumo.tmp"), fault == "small");
        controller.shutDown();
        QCOMPARE(joined(namesIn(s->program())), std::string("satdata.sta, zorvast app"));
    }

    // The program mirror serves a signed data package that also holds a program.
    void aDataPackageIsNeverTakenForTheProgram() {
        const auto s = newScene();
        writeOldPackage(*s);
        const fs::path programFile = installProgram(*s);
        testing::LocalNginx nginx(s->root / "nginx", s->tree());
        CALL(publishNextProgram(*s, nginx.url("")));
        const fs::path package = s->tree() / "zorvast.zip";
        std::vector<common::ArchiveEntry> entries = entriesOf(package, s->scratch());
        for (common::ArchiveEntry& e : entries) {
            if (e.name == update::kManifestEntry) {
                e.data = update::formatManifest({update::PackageKind::Data, "1.03"});
            }
        }
        fs::remove(package);
        writeArchive(package, signedAgain(entries));
        useServers({nginx.url("")});

        QuestionAnswerer user(QStringLiteral("确定"));
        AppController controller(programEnvironment(*s));
        QCOMPARE(controller.startUp(), StartUpResult::Running);
        QTRY_COMPARE_WITH_TIMEOUT(statusOf(controller), kNoNewerProgramText, 30000);
        QCOMPARE(user.asked(), 0);
        QVERIFY(helperStartedFrom(programFile) == 0);
        QCOMPARE(readBytes(programFile), readBytes(ZORVAST_PROGRAM));
        QVERIFY(!fs::exists(s->downloads() / "plumo.tmp"));
        CALL(checkUnchanged(*s, controller, "satdata.sta, zorvast app"));
        controller.shutDown();
    }
};

QTEST_MAIN(ProgramUpdateTest)
#include "UpdateProgramTest.moc"
