// The data update while the window runs, end to end: the publisher's server tree on HTTP and
// FTP servers on 127.0.0.1, the program's window in this process; servers and mirrors that fail
// in the ways real ones do, and packages signed as releases that must not be installed.
#include "e2e/UpdateSuite.h"
#include "support/LocalFtpServer.h"
#include "support/LocalHttpServer.h"
#include "support/LocalNginx.h"
#include "update/package/PackageManifest.h"

#include <QTest>

#include <ctime>

using namespace zorvast;
using namespace zorvast::testing::e2e;
using shell::StartUpResult;

class DataUpdateTest : public QObject, public UpdateSuite {
    Q_OBJECT

private slots:
    void initTestCase() { setUp(); }
    void cleanupTestCase() { tearDown(); }

    // --- normal mode

    void updatesWhileTheWindowRuns_data() {
        QTest::addColumn<bool>("ftp");
        QTest::newRow("HTTP mirror") << false;
        QTest::newRow("FTP mirror") << true;
    }

    void updatesWhileTheWindowRuns() {
        QFETCH(bool, ftp);
        const auto s = newScene();
        writeOldPackage(*s);
        testing::LocalHttpServer http(
            {"--root", s->tree().string(), "--log", s->requestLog().string()});
        std::unique_ptr<testing::LocalFtpServer> ftpServer;
        if (ftp) {
            ftpServer = std::make_unique<testing::LocalFtpServer>(s->tree().string());
        }
        CALL(publish(s->tree(), {ftp ? ftpServer->url("") : http.url("")}));
        useServers({http.url("")});

        AppController controller(s->environment());
        QCOMPARE(controller.startUp(), StartUpResult::Running);
        CALL(checkUpdated(*s, controller, s->tree() / "satdata.sta"));
        QCOMPARE(controller.updateFlow().state.serverBase(), http.url(""));
        // Over FTP the package never came from the HTTP server.
        QCOMPARE(requestIndex(s->requests(), "/satdata.sta") >= 0, !ftp);
        controller.shutDown();
        QVERIFY(!fs::exists(s->workFolder()));
    }

    // --- faults

    void noServerAnswers() {
        const auto s = newScene();
        writeOldPackage(*s);
        useServers({kDeadServer, kOtherDeadServer});
        // Real waits: the check then reads the data date the local pages step has set.
        AppController controller(s->environment(true));
        QCOMPARE(controller.startUp(), StartUpResult::Running);
        QTRY_COMPARE_WITH_TIMEOUT(statusOf(controller), kNoServerText, 20000);
        CALL(checkUnchanged(*s, controller));
        QVERIFY(!controller.updateFlow().state.serverReached);
        QCOMPARE(statusOf(controller), kNoServerText);
        controller.shutDown();
    }

    void anErrorPageIsNoVersionAnswer() {
        const auto s = newScene();
        writeOldPackage(*s);
        const fs::path bad = s->tree() / "bad";
        fs::create_directories(bad);
        writeBytes(bad / "dv.htm", "<html><head><title>404 Not Found</title></head><body><h1>Not "
                                   "Found</h1><p>The requested URL was not found.</p></body>"
                                   "</html>\r\n");
        testing::LocalHttpServer http(
            {"--root", s->tree().string(), "--log", s->requestLog().string()});
        const std::string good = http.url("/good");
        CALL(publish(s->tree() / "good", {good}));
        useServers({http.url("/status/500"), http.url("/bad"), good});

        AppController controller(s->environment());
        QCOMPARE(controller.startUp(), StartUpResult::Running);
        CALL(checkUpdated(*s, controller, s->tree() / "good" / "satdata.sta"));
        QCOMPARE(controller.updateFlow().state.serverBase(), good);
        QCOMPARE(controller.updateFlow().state.serverRoot(), good + "/");
        const std::vector<std::string> asked = s->requests();
        QVERIFY2(requestIndex(asked, "/bad/dv.htm") >= 0 &&
                     requestIndex(asked, "/bad/dv.htm") < requestIndex(asked, "/good/dv.htm"),
                 joined(asked).c_str());
        QCOMPARE(requestIndex(asked, "/bad/du.htm"), -1);
        controller.shutDown();
    }

    void noMirrorListStopsTheDownload() {
        const auto s = newScene();
        writeOldPackage(*s);
        testing::LocalHttpServer http(
            {"--root", s->tree().string(), "--log", s->requestLog().string()});
        CALL(publish(s->tree(), {http.url("")}));
        fs::remove(s->tree() / "du.htm");
        useServers({http.url("")});

        AppController controller(s->environment());
        QCOMPARE(controller.startUp(), StartUpResult::Running);
        QTRY_COMPARE_WITH_TIMEOUT(statusOf(controller), kNoMirrorListText, 20000);
        CALL(checkUnchanged(*s, controller));
        QVERIFY(requestIndex(s->requests(), "/du.htm") >= 0);
        QCOMPARE(requestIndex(s->requests(), "/satdata.sta"), -1);
        controller.shutDown();
    }

    void aStalledMirrorIsPassedOver_data() {
        QTest::addColumn<QString>("stalled");
        QTest::newRow("silent before its first byte") << "/silent";
        QTest::newRow("silent after 20000 bytes") << "/stall/20000";
    }

    void aStalledMirrorIsPassedOver() {
        QFETCH(QString, stalled);
        const auto s = newScene();
        writeOldPackage(*s);
        testing::LocalHttpServer http(
            {"--root", s->tree().string(), "--log", s->requestLog().string()});
        CALL(publish(s->tree(), {http.url("")}));
        writeBytes(s->tree() / "du.htm",
                   mirrorList({http.url(stalled.toStdString()), http.url("/satdata.sta")}));
        useServers({http.url("")});

        AppController controller(s->environment());
        takeMirrorsInOrder(controller);
        quickTransfers(controller);
        QCOMPARE(controller.startUp(), StartUpResult::Running);
        CALL(checkUpdated(*s, controller, s->tree() / "satdata.sta"));
        const std::vector<std::string> asked = s->requests();
        const int stalledAt = requestIndex(asked, stalled.toStdString());
        QVERIFY2(stalledAt >= 0 && stalledAt < requestIndex(asked, "/satdata.sta"),
                 joined(asked).c_str());
        controller.shutDown();
    }

    void aBrokenPackageFailsItsMirror_data() {
        QTest::addColumn<QStringList>("mirrors");
        QTest::newRow("truncated ZIP") << QStringList{"/truncated.sta"};
        QTest::newRow("entry escaping the folder") << QStringList{"/slip.sta"};
        QTest::newRow("unsigned") << QStringList{"/unsigned.sta"};
        QTest::newRow("altered after signing") << QStringList{"/tampered.sta"};
        QTest::newRow("error page instead of the package") << QStringList{"/status/404"};
        QTest::newRow("unreachable mirror") << QStringList{QString(kDeadServer) + "/satdata.sta"};
        QTest::newRow("all of them, one after the other")
            << QStringList{"/truncated.sta", "/slip.sta",   "/unsigned.sta",
                           "/tampered.sta",  "/status/404", QString(kDeadServer) + "/satdata.sta"};
    }

    void aBrokenPackageFailsItsMirror() {
        QFETCH(QStringList, mirrors);
        const auto s = newScene();
        writeOldPackage(*s);
        testing::LocalHttpServer http(
            {"--root", s->tree().string(), "--log", s->requestLog().string()});
        CALL(publish(s->tree(), {http.url("")}));

        const fs::path published = s->tree() / "satdata.sta";
        const std::string whole = readBytes(published);
        writeBytes(s->tree() / "truncated.sta", whole.substr(0, whole.size() / 2));
        const std::vector<common::ArchiveEntry> entries = entriesOf(published, s->scratch());
        writeArchive(s->tree() / "unsigned.sta", withoutSignature(entries));
        std::vector<common::ArchiveEntry> tampered = entries;
        for (common::ArchiveEntry& e : tampered) {
            if (e.name == "satdata.str") {
                e.data[500000] = static_cast<char>(e.data[500000] ^ 0x01);
            }
        }
        writeArchive(s->tree() / "tampered.sta", tampered);
        // Signed properly: only the name that climbs out of the folder is wrong with it.
        std::vector<common::ArchiveEntry> slip = entries;
        slip.push_back({"../evil.txt", "written outside the staging folder", true, kNewDate});
        writeArchive(s->tree() / "slip.sta", signedAgain(slip));

        std::vector<std::string> urls;
        for (const QString& mirror : mirrors) {
            // A path is on the test server; a whole URL is taken as it is.
            urls.push_back(mirror.startsWith("/") ? http.url(mirror.toStdString())
                                                  : mirror.toStdString());
        }
        writeBytes(s->tree() / "du.htm", mirrorList(urls));
        useServers({http.url("")});

        AppController controller(s->environment());
        quickTransfers(controller);
        QCOMPARE(controller.startUp(), StartUpResult::Running);
        QTRY_COMPARE_WITH_TIMEOUT(statusOf(controller), kMirrorsFailedText, 30000);
        CALL(checkUnchanged(*s, controller));
        const std::vector<std::string> asked = s->requests();
        for (const QString& mirror : mirrors) {
            QVERIFY2(!mirror.startsWith("/") || requestIndex(asked, mirror.toStdString()) >= 0,
                     qPrintable(mirror + " was never tried"));
        }
        QCOMPARE(requestIndex(asked, "/satdata.sta"), -1);
        QCOMPARE(joined(filesNamed(s->root, "evil.txt")), std::string());
        QCOMPARE(statusOf(controller), kMirrorsFailedText);
        controller.shutDown();
        QVERIFY(!fs::exists(s->workFolder()));
    }

    // --- releases

    // Signed packages that must not be installed although the announcement asks for them.
    void aPackageSignedAsAnotherReleaseIsRefused_data() {
        QTest::addColumn<QString>("fault");
        QTest::newRow("an older package replayed as newer") << "replay";
        QTest::newRow("the installed package announced again") << "again";
    }

    void aPackageSignedAsAnotherReleaseIsRefused() {
        QFETCH(QString, fault);
        const auto s = newScene();
        testing::LocalNginx nginx(s->root / "nginx", s->tree());
        CALL(publish(s->tree(), {nginx.url("")}));
        const fs::path published = s->tree() / "satdata.sta";
        std::string installed = oldPackage_;
        if (fault == "replay") {
            // A genuine signed package of an older release than the one installed.
            std::vector<common::ArchiveEntry> older = entriesOf(published, s->scratch());
            for (common::ArchiveEntry& e : older) {
                if (e.name == update::kManifestEntry) {
                    e.data = update::formatManifest({update::PackageKind::Data, "261208"});
                }
            }
            fs::remove(published);
            writeArchive(published, signedAgain(older));
        } else {
            installed = readBytes(published); // the program already has this very package
        }
        writeBytes(s->program() / "satdata.sta", installed);
        // Whoever answers "/dv.htm" announces more; the signed statement would contradict it.
        writeBytes(s->tree() / "dv.htm", "261211");
        fs::remove(s->tree() / "release.sig");
        useServers({nginx.url("")});
        const std::optional<ino_t> before = inodeOf(s->program() / "satdata.sta");

        AppController controller(s->environment());
        QCOMPARE(controller.startUp(), StartUpResult::Running);
        QTRY_VERIFY_WITH_TIMEOUT(statusOf(controller).startsWith(kNothingNewerText), 30000);
        QTRY_VERIFY(controller.initialisationDone());
        QVERIFY2(readBytes(s->program() / "satdata.sta") == installed,
                 "the installed package changed");
        QCOMPARE(inodeOf(s->program() / "satdata.sta"), before);
        QCOMPARE(packageRequests(nginx).size(), std::size_t{1});
        QVERIFY(!fs::exists(s->stagingFolder()));
        QVERIFY(!fs::exists(s->downloads() / "satdata.tmp"));
        QTRY_VERIFY_WITH_TIMEOUT(queryControlsEnabled(controller.window()), 10000);
        QTRY_VERIFY(controller.window()->downloadProgress()->isHidden());
        controller.shutDown();
    }

    // The servers' signed statement is 60 days old: the update still happens, with a note.
    void anOldStatementIsNoted() {
        const auto s = newScene();
        writeOldPackage(*s);
        testing::LocalNginx nginx(s->root / "nginx", s->tree());
        const std::time_t issued = std::time(nullptr) - 60 * 86400;
        std::tm day{};
        gmtime_r(&issued, &day);
        char text[32];
        std::snprintf(text, sizeof text, "%04d-%02d-%02d", day.tm_year + 1900, day.tm_mon + 1,
                      day.tm_mday);
        CALL(publish(s->tree(), {nginx.url("")}, ZORVAST_PROGRAM, {"--issued", text}));
        useServers({nginx.url("")});

        AppController controller(s->environment());
        QCOMPARE(controller.startUp(), StartUpResult::Running);
        const QString note =
            QStringLiteral(" ◎ 注意：服务器的版本声明签发于%1年%2月%3日，已超过45天"
                           "未更新，数据服务器可能已停止更新。")
                .arg(day.tm_year + 1900)
                .arg(day.tm_mon + 1)
                .arg(day.tm_mday);
        QTRY_COMPARE_WITH_TIMEOUT(statusOf(controller), kUpdatedText + note, 40000);
        QCOMPARE(readBytes(s->program() / "satdata.sta"), readBytes(s->tree() / "satdata.sta"));
        controller.shutDown();
    }
};

QTEST_MAIN(DataUpdateTest)
#include "UpdateDataTest.moc"
