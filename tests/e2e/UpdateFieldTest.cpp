// The update in the field, end to end: the program killed at every moment of an update, real
// nginx (and tinyproxy) on 127.0.0.1 with slow first bytes, slow and broken links, https with a
// CA of its own, and a proxy in front of the servers.
#include "e2e/UpdateSuite.h"
#include "support/LocalHttpServer.h"
#include "support/LocalNginx.h"
#include "support/LocalProxy.h"
#include "support/TestCertificates.h"
#include "update/net/DownloadService.h"

#include <QTest>

#include <cinttypes>
#include <cstdio>
#include <ctime>

using namespace zorvast;
using namespace zorvast::testing::e2e;
using shell::StartUpResult;

namespace {

// N of a "bytes=N-" range; 0 when there is none.
std::uint64_t rangeStart(const std::string& range) {
    std::uint64_t start = 0;
    std::sscanf(range.c_str(), "bytes=%" SCNu64 "-", &start);
    return start;
}

std::uint64_t bytesIn(const fs::path& file) {
    std::error_code ec;
    const std::uint64_t size = fs::file_size(file, ec);
    return ec ? 0 : size;
}

} // namespace

class FieldUpdateTest : public QObject, public UpdateSuite {
    Q_OBJECT

private slots:
    void initTestCase() { setUp(); }
    void cleanupTestCase() { tearDown(); }

    // --- the program killed during the update

    void aKilledUpdateLeavesAValidPackage_data() {
        QTest::addColumn<QString>("moment");
        QTest::addColumn<int>("afterMs");
        QTest::addColumn<bool>("newForSure");
        QTest::newRow("download begun") << "download" << 0 << false;
        QTest::newRow("package being checked") << "staging" << 0 << false;
        QTest::newRow("shortly after the check") << "staging" << 40 << false;
        QTest::newRow("working folder refilled") << "refilled" << 0 << false;
        QTest::newRow("package stored") << "stored" << 0 << true;
        // Ended normally once the new data is in use: the clean exit keeps the new package.
        QTest::newRow("not killed: the update completes") << "complete" << 0 << true;
    }

    void aKilledUpdateLeavesAValidPackage() {
        QFETCH(QString, moment);
        QFETCH(int, afterMs);
        QFETCH(bool, newForSure);
        const auto s = newScene();
        writeOldPackage(*s);
        testing::LocalHttpServer http({"--root", s->tree().string()});
        CALL(publish(s->tree(), {http.url("")}));
        const std::string published = readBytes(s->tree() / "satdata.sta");
        useServers({http.url("")});

        const fs::path log = s->root / "first.log";
        const pid_t first = startProgram(s->program(), log);
        QVERIFY(first > 0);
        // Started on the old data; the update begins a second later.
        const bool started =
            waitFor([&] { return fs::exists(s->workFolder() / "satdata.str"); }, 20s);
        const std::optional<ino_t> oldInode = inodeOf(s->program() / "satdata.sta");
        const auto reached = [&] {
            if (moment == "download") {
                return fs::exists(s->downloads() / "satdata.tmp");
            }
            if (moment == "staging") {
                return fs::exists(s->stagingFolder());
            }
            if (moment == "refilled") {
                // The new package's home page is in the working folder.
                return readBytes(s->workFolder() / "home.htm").find("261210") != std::string::npos;
            }
            return inodeOf(s->program() / "satdata.sta") != oldInode;
        };
        bool atMoment = started && waitFor(reached, 30s, 1ms);
        const bool complete = moment == "complete";
        if (atMoment && complete) {
            // The apply goes on with the lists and pages, then writes the city database again
            // and takes the controls back: the new data is in use.
            const timespec stored = stamp(s->root / "stored.stamp");
            atMoment = waitFor(
                [&] {
                    return writtenSince(s->workFolder() / "city.dat", stored) &&
                           markerHeldBy(s->marker(), first);
                },
                30s);
        }
        if (atMoment && afterMs > 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(afterMs));
        }
        std::optional<int> second;
        bool firstUndisturbed = true;
        if (atMoment && complete) {
            // The new marker holder keeps a second copy out, as before the update.
            const pid_t other = startProgram(s->program(), s->root / "second.log");
            second = waitForChild(other, 20s);
            if (!second) {
                ::kill(other, SIGKILL);
                waitForChild(other, 10s);
            }
            firstUndisturbed = markerHeldBy(s->marker(), first) &&
                               readBytes(s->workFolder() / "satdata.str") == newStored_;
        }
        ::kill(first, complete ? SIGTERM : SIGKILL);
        std::optional<int> status = waitForChild(first, 20s);
        if (!status) {
            ::kill(first, SIGKILL);
            status = waitForChild(first, 10s);
        }
        QVERIFY2(atMoment, ("the update never got there:\n" + tailOf(log)).c_str());
        if (complete) {
            QVERIFY2(
                second && WIFEXITED(*second) && WEXITSTATUS(*second) == 0,
                ("a second copy did not end at once:\n" + tailOf(s->root / "second.log")).c_str());
            QVERIFY2(firstUndisturbed, "the second copy disturbed the running one");
            QVERIFY2(status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0,
                     ("the program did not end cleanly:\n" + tailOf(log)).c_str());
            QVERIFY(!fs::exists(s->workFolder()));
        } else {
            QVERIFY2(status && WIFSIGNALED(*status) && WTERMSIG(*status) == SIGKILL,
                     ("the program had ended before the kill:\n" + tailOf(log)).c_str());
        }
        QVERIFY2(waitFor([&] { return strayProcesses(s->root).empty(); }, 15s),
                 joined(strayProcesses(s->root)).c_str());

        bool isNew = false;
        CALL(checkRestartReadsAValidPackage(*s, published, isNew));
        if (newForSure) {
            QVERIFY2(isNew, "the package was stored before the kill, yet the old one is back");
        }
        qInfo("ended at \"%s\": the restart found the %s package", qPrintable(moment),
              isNew ? "new" : "old");
    }

    // --- the field: real nginx (and tinyproxy) on 127.0.0.1, slow and broken links

    // A mirror that answers after more than 3 s is waited for, not passed over.
    void aSlowFirstByteIsWaitedFor() {
        const auto s = newScene();
        writeOldPackage(*s);
        testing::NginxOptions options;
        options.firstByteDelay = 3;
        testing::LocalNginx nginx(s->root / "nginx", s->tree(), options);
        CALL(publish(s->tree(), {nginx.url("")}));
        useServers({nginx.url("")});

        AppController controller(s->environment());
        QCOMPARE(controller.startUp(), StartUpResult::Running);
        CALL(checkUpdated(*s, controller, s->tree() / "satdata.sta"));
        const std::vector<testing::NginxAccess> package = packageRequests(nginx);
        QCOMPARE(package.size(), std::size_t{1});
        QCOMPARE(package[0].status, 200);
        QVERIFY2(package[0].seconds >= 3.0, std::to_string(package[0].seconds).c_str());
        controller.shutDown();
    }

    // A 2 KB/s mirror killed half-way and back 4 s later: the same run resumes it.
    void aMirrorKilledMidTransferIsResumed() {
        const auto s = newScene();
        writeOldPackage(*s);
        testing::NginxOptions options;
        options.rateLimit = 2048;
        testing::LocalNginx nginx(s->root / "nginx", s->tree(), options);
        CALL(publish(s->tree(), {nginx.url("")}));
        useServers({nginx.url("")});
        const std::uint64_t size = fs::file_size(s->tree() / "satdata.sta");

        AppController controller(s->environment());
        QCOMPARE(controller.startUp(), StartUpResult::Running);
        const fs::path partial = s->downloads() / "satdata.tmp";
        QVERIFY2(waitFor([&] { return bytesIn(partial) >= size / 2; }, 60s),
                 "the download never got half-way");
        nginx.kill();
        const std::uint64_t cut = bytesIn(partial);
        QVERIFY2(cut < size, "the transfer ended before the kill");
        QTest::qWait(4000); // the window runs on while the mirror is down
        nginx.restart();

        CALL(checkUpdated(*s, controller, s->tree() / "satdata.sta"));
        const std::vector<testing::NginxAccess> package = packageRequests(nginx);
        QVERIFY2(!package.empty(), nginx.accessLog().c_str());
        const testing::NginxAccess& resumed = package.back();
        QCOMPARE(resumed.status, 206);
        QVERIFY2(resumed.range.rfind("bytes=", 0) == 0 && rangeStart(resumed.range) >= cut,
                 resumed.range.c_str());
        QVERIFY(!resumed.ifRange.empty());
        QVERIFY(!fs::exists(partial));
        controller.shutDown();
    }

    // The program ends during a download; the next start asks only for the rest.
    void aDownloadStoppedByTheProgramsEndResumesAtTheNextStart() {
        const auto s = newScene();
        writeOldPackage(*s);
        testing::NginxOptions options;
        options.rateLimit = 2048;
        testing::LocalNginx nginx(s->root / "nginx", s->tree(), options);
        CALL(publish(s->tree(), {nginx.url("")}));
        useServers({nginx.url("")});
        const fs::path partial = s->downloads() / "satdata.tmp";
        std::uint64_t kept = 0;
        {
            AppController controller(s->environment());
            QCOMPARE(controller.startUp(), StartUpResult::Running);
            QVERIFY(waitFor([&] { return bytesIn(partial) >= 4000; }, 60s));
            controller.shutDown();
        }
        kept = bytesIn(partial);
        QVERIFY2(update::readPartialDownload(partial).has_value(), "no resume record was kept");
        QVERIFY(kept > 0 && kept < fs::file_size(s->tree() / "satdata.sta"));

        AppController controller(s->environment());
        QCOMPARE(controller.startUp(), StartUpResult::Running);
        CALL(checkUpdated(*s, controller, s->tree() / "satdata.sta"));
        const std::vector<testing::NginxAccess> package = packageRequests(nginx);
        QVERIFY2(package.size() >= 2, nginx.accessLog().c_str());
        QCOMPARE(package.back().status, 206);
        QCOMPARE(rangeStart(package.back().range), kept);
        controller.shutDown();
    }

    // An https server and mirror whose certificate comes from a CA named by ZORVAST_CA_FILE.
    void anHttpsMirrorWithItsOwnCa() {
        const auto s = newScene();
        writeOldPackage(*s);
        const testing::TestCertificates certificates =
            testing::makeTestCertificates(s->root / "certificates");
        testing::NginxOptions options;
        options.certificate = certificates.certificate;
        options.key = certificates.key;
        testing::LocalNginx nginx(s->root / "nginx", s->tree(), options);
        QVERIFY(nginx.url("").rfind("https://", 0) == 0);
        CALL(publish(s->tree(), {nginx.url("")}));
        useServers({nginx.url("")});
        qputenv("ZORVAST_CA_FILE", QByteArray::fromStdString(certificates.ca.string()));

        AppController controller(s->environment());
        QCOMPARE(controller.startUp(), StartUpResult::Running);
        CALL(checkUpdated(*s, controller, s->tree() / "satdata.sta"));
        QCOMPARE(packageRequests(nginx).size(), std::size_t{1});
        controller.shutDown();
        qunsetenv("ZORVAST_CA_FILE");
    }

    // The program as users start it, behind a proxy: the servers' name resolves nowhere but at
    // the proxy, which hands every request to nginx. The update and the news banner both come
    // through it.
    void throughAProxy() {
        const auto s = newScene();
        writeOldPackage(*s);
        testing::LocalNginx nginx(s->root / "nginx", s->tree());
        testing::ProxyOptions proxyOptions;
        proxyOptions.upstreamPort = nginx.port();
        testing::LocalProxy proxy(s->root / "proxy", proxyOptions);
        const std::string server = "http://mirror.zorvast.test";
        CALL(publish(s->tree(), {server}));
        useServers({server});
        qputenv("http_proxy", QByteArray::fromStdString(proxy.url()));
        qunsetenv("no_proxy");
        qunsetenv("NO_PROXY");

        const fs::path log = s->root / "program.log";
        const pid_t program = startProgram(s->program(), log);
        qunsetenv("http_proxy");
        QVERIFY(program > 0);
        // The proxy forwards "GET http://mirror.zorvast.test:80/PATH HTTP/1.1".
        const auto through = [&](const std::string& path) {
            for (const testing::NginxAccess& a : nginx.accessEntries()) {
                if (a.request.find(path + " HTTP/") != std::string::npos && a.status == 200 &&
                    a.via.find("zorvast-test-proxy") != std::string::npos) {
                    return true;
                }
            }
            return false;
        };
        const bool updated = waitFor(
            [&] {
                return readBytes(s->program() / "satdata.sta") ==
                       readBytes(s->tree() / "satdata.sta");
            },
            60s);
        const bool banner = waitFor([&] { return through("/news.htm"); }, 60s);
        ::kill(program, SIGTERM);
        if (!waitForChild(program, 20s)) {
            ::kill(program, SIGKILL);
            waitForChild(program, 10s);
        }
        QVERIFY2(updated, ("no update through the proxy:\n" + tailOf(log)).c_str());
        QVERIFY2(through("/dv.htm") && through("/satdata.sta"), nginx.accessLog().c_str());
        QVERIFY2(banner, ("the banner did not come through the proxy:\n" + nginx.accessLog() +
                          "\n" + tailOf(log))
                             .c_str());
    }
};

QTEST_MAIN(FieldUpdateTest)
#include "UpdateFieldTest.moc"
