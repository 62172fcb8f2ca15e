// The information pages' views offscreen with real WebEngine: the status text and
// notifications of a load, calls from worker threads, the address box rule, the trade
// watchdog against a local HTTP server, the community tab's loader and forum jobs, and the
// forum window's geometry and title.
#include "info/forum/ForumLoader.h"
#include "info/forum/ForumWindowRules.h"
#include "info/pages/ExternalPages.h"
#include "info/pages/InfoState.h"
#include "info/pages/TradeWatch.h"
#include "info/ui/CommunityTab.h"
#include "info/ui/ForumBrowserWindow.h"
#include "info/ui/SystemBrowser.h"
#include "info/ui/TradeTab.h"
#include "info/ui/WebBrowserView.h"
#include "info/ui/WebPageView.h"

#include "common/Clock.h"
#include "common/Text.h"
#include "support/LocalHttpServer.h"
#include "support/TempFolder.h"
#include "update/net/FetchText.h"

#include <QApplication>
#include <QComboBox>
#include <QDesktopServices>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTextDocument>
#include <QTimer>
#include <QtTest>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using zorvast::info::ForumSources;
using zorvast::info::InfoState;
using zorvast::info::TradeSources;
using zorvast::info::ui::CommunityTab;
using zorvast::info::ui::CommunityTabDependencies;
using zorvast::info::ui::ForumBrowserWindow;
using zorvast::info::ui::TradeTab;
using zorvast::info::ui::TradeTabDependencies;
using zorvast::info::ui::WebPageView;
using zorvast::testing::LocalHttpServer;
using zorvast::testing::TempFolder;

namespace {

constexpr int kLoadWait = 20000; // ms; a first WebEngine load on a slow machine

QString q(const std::string& text) {
    return QString::fromStdString(text);
}

// A page in GBK without a charset, as the program's pages are.
std::string gbkPage(const std::string& title, const std::string& body = "中文内容") {
    return zorvast::common::toGbk("<html><head><title>" + title + "</title></head><body>" + body +
                                  "</body></html>")
        .bytes;
}

// Starts each job on a thread and counts the ones still running, so a test can wait for its
// workers before the views they drive go away.
struct Workers {
    std::shared_ptr<std::atomic<int>> running = std::make_shared<std::atomic<int>>(0);

    zorvast::info::StartWorker starter() {
        return [counter = running](std::function<void()> job) {
            ++*counter;
            std::thread([counter, job = std::move(job)] {
                job();
                --*counter;
            }).detach();
        };
    }
    bool idle() const { return *running == 0; }
};

// The program's looks every half second, but no minute of cool-down: the test waits for the
// watchdog to end.
class ShortCoolDownClock final : public zorvast::common::Clock {
public:
    void sleepFor(std::chrono::milliseconds duration) override {
        if (duration <= std::chrono::milliseconds(500)) {
            std::this_thread::sleep_for(duration);
        }
    }
    std::chrono::steady_clock::time_point now() const override {
        return std::chrono::steady_clock::now();
    }
};

// Clicks the one link of a link label where its caption is drawn.
void clickLink(QLabel* label) {
    QTextDocument document;
    document.setHtml(label->text());
    const QFontMetrics metrics = label->fontMetrics();
    const QSize caption(metrics.horizontalAdvance(document.toPlainText()), metrics.height());
    const QRect drawn = QStyle::alignedRect(label->layoutDirection(), label->alignment(), caption,
                                            label->contentsRect());
    QTest::mouseClick(label, Qt::LeftButton, Qt::NoModifier, drawn.center());
}

// Types `text` over whatever the box holds, as a user does.
void typeInto(QLineEdit* box, const QString& text) {
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(box, Qt::Key_Delete);
    QTest::keyClicks(box, text);
}

class UrlCatcher : public QObject {
    Q_OBJECT
public slots:
    void open(const QUrl& url) { urls.append(url); }

public:
    QList<QUrl> urls;
};

} // namespace

class InfoViewsTest : public QObject {
    Q_OBJECT

private slots:
    void localFileCompletesWithFinishedStatus() {
        TempFolder folder;
        const std::string file = folder.write("page.htm", gbkPage("本地页面"));
        WebPageView view;
        view.resize(400, 300);
        view.show();
        auto& browser = view.browser();
        QCOMPARE(browser.address(), std::string());

        std::vector<std::string> statuses;
        std::vector<int> progress;
        std::vector<std::string> titles;
        int completed = 0;
        zorvast::info::BrowserEvents events;
        events.navigationComplete = [&] {
            ++completed;
        };
        events.statusTextChanged = [&](const std::string& text) {
            statuses.push_back(text);
        };
        events.progressChanged = [&](int value) {
            progress.push_back(value);
        };
        events.titleChanged = [&](const std::string& title) {
            titles.push_back(title);
        };
        browser.subscribe(events);

        browser.navigate(file);
        QTRY_COMPARE_WITH_TIMEOUT(q(browser.statusText()), QStringLiteral("完成"), kLoadWait);
        QCOMPARE(completed, 1);
        QVERIFY2(q(browser.address()).startsWith(QStringLiteral("file")),
                 browser.address().c_str());
        QVERIFY2(q(browser.address()).endsWith(QStringLiteral("/page.htm")),
                 browser.address().c_str());
        // The GBK page without a charset is read as GBK.
        QCOMPARE(q(browser.title()), QStringLiteral("本地页面"));
        QVERIFY(!titles.empty());
        QCOMPARE(q(titles.back()), QStringLiteral("本地页面"));
        QVERIFY(!progress.empty());
        QCOMPARE(progress.back(), 100);
        QVERIFY(!statuses.empty());
        QCOMPARE(q(statuses.back()), QStringLiteral("完成"));

        // A second navigation empties the status until it has finished too.
        const std::string second = folder.write("second.htm", gbkPage("第二页"));
        browser.navigate(second);
        QCOMPARE(q(browser.statusText()), QString());
        QTRY_COMPARE_WITH_TIMEOUT(q(browser.title()), QStringLiteral("第二页"), kLoadWait);
        QTRY_COMPARE_WITH_TIMEOUT(q(browser.statusText()), QStringLiteral("完成"), kLoadWait);
        QTRY_COMPARE(completed, 2);
    }

    void onlinePageFallsBackToTheLocalCopy_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("title");
        QTest::newRow("the page") << "/news.htm"
                                  << "服务器页面";
        QTest::newRow("a proxy's error page") << "/status/502"
                                              << "本地页面";
        QTest::newRow("not found") << "/status/404"
                                   << "本地页面";
        QTest::newRow("no server") << "dead"
                                   << "本地页面";
    }

    void onlinePageFallsBackToTheLocalCopy() {
        QFETCH(QString, path);
        QFETCH(QString, title);
        TempFolder folder;
        const std::string local = folder.write("local/news.htm", gbkPage("本地页面"));
        folder.write("server/news.htm", gbkPage("服务器页面"));
        LocalHttpServer http({"--root", (folder.path() / "server").string()});
        const std::string address =
            path == "dead" ? "http://127.0.0.1:9/news.htm" : http.url(path.toStdString());
        WebPageView view;
        view.show();
        view.showOnlineUrl(q(address), q(local));
        QTRY_COMPARE_WITH_TIMEOUT(view.title(), title, kLoadWait);
        QTRY_COMPARE_WITH_TIMEOUT(q(view.browser().statusText()), QStringLiteral("完成"),
                                  kLoadWait);
        QCOMPARE(view.url().isLocalFile(), title == QStringLiteral("本地页面"));
    }

    void workerThreadDrivesTheView() {
        TempFolder folder;
        const std::string file = folder.write("worker.htm", gbkPage("工作线程"));
        WebPageView view;
        view.show();
        auto& browser = view.browser();
        std::atomic<bool> done{false};
        std::string seenStatus;
        std::string seenTitle;
        std::string seenAddress;
        std::thread worker([&] {
            browser.navigate(file);
            for (int i = 0; i < 400 && browser.statusText() != "完成"; ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
            seenStatus = browser.statusText();
            seenTitle = browser.title();
            seenAddress = browser.address();
            done = true;
        });
        QTRY_VERIFY_WITH_TIMEOUT(done, kLoadWait + 2000);
        worker.join();
        QCOMPARE(q(seenStatus), QStringLiteral("完成"));
        QCOMPARE(q(seenTitle), QStringLiteral("工作线程"));
        QVERIFY2(q(seenAddress).startsWith(QStringLiteral("file:")), seenAddress.c_str());
    }

    void addressBoxShowsOnlyOnlineAddresses() {
        TempFolder site;
        site.write("online.htm", gbkPage("在线"));
        site.write("typed.htm", gbkPage("输入"));
        TempFolder work;
        const std::string local = work.write("local.htm", gbkPage("本地"));
        LocalHttpServer server({"--root", site.path().string()});

        CommunityTab tab;
        tab.resize(800, 500);
        tab.show();
        std::string status;
        int progress = -1;
        CommunityTabDependencies deps;
        deps.setStatusText = [&](const std::string& text) {
            status = text;
        };
        deps.setProgress = [&](int value) {
            progress = value;
        };
        tab.attach(deps);
        auto& browser = tab.view()->browser();

        const std::string online = server.url("/online.htm");
        browser.navigate(online);
        QTRY_COMPARE_WITH_TIMEOUT(tab.addressEdit()->text(), q(online), kLoadWait);
        // The main window's status line and bar take the view's status and progress.
        QTRY_COMPARE(q(status), QStringLiteral("完成"));
        QCOMPARE(progress, 100);

        typeInto(tab.addressEdit(), QStringLiteral("junk"));
        browser.navigate(local);
        QTRY_COMPARE_WITH_TIMEOUT(q(browser.title()), QStringLiteral("本地"), kLoadWait);
        QTRY_COMPARE_WITH_TIMEOUT(tab.addressEdit()->text(), QString(), kLoadWait);

        // Typed and Enter: the view goes there as typed.
        const std::string typed = server.url("/typed.htm");
        typeInto(tab.addressEdit(), q(typed));
        QTest::keyClick(tab.addressEdit(), Qt::Key_Return);
        QTRY_COMPARE_WITH_TIMEOUT(q(browser.title()), QStringLiteral("输入"), kLoadWait);
        QTRY_COMPARE(tab.addressEdit()->text(), q(typed));

        // The go button does the same; back and forward walk the history.
        typeInto(tab.addressEdit(), q(online));
        QTest::mouseClick(tab.goButton(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(q(browser.title()), QStringLiteral("在线"), kLoadWait);
        QTest::mouseClick(tab.backButton(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(q(browser.title()), QStringLiteral("输入"), kLoadWait);
        QTest::mouseClick(tab.forwardButton(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(q(browser.title()), QStringLiteral("在线"), kLoadWait);
        QTRY_COMPARE(tab.addressEdit()->text(), q(online));
    }

    void tradeWatchdogFallsBackFromAWrongOnlinePage() {
        TempFolder site;
        site.write("bad/trade.htm", gbkPage("别的页面"));
        site.write("good/trade.htm", gbkPage("Zorvast-交易"));
        LocalHttpServer server({"--root", site.path().string()});
        // A server that has gone: its port refuses connections.
        std::string goneRoot;
        {
            LocalHttpServer gone;
            goneRoot = gone.url("/");
        }
        TempFolder work;
        work.write("trade.htm", gbkPage("本地交易"));
        const std::string localTrade = work.file("trade.htm");

        ShortCoolDownClock clock;
        Workers workers;
        struct Run {
            explicit Run(std::string address) : root(std::move(address)) {}
            std::string root;
            InfoState state;
            TradeTab tab;
            QStringList titles; // every title the view has shown
        };
        // A wrong title, a missing page (404), a refused connection, and the right page.
        Run bad{server.url("/bad/")};
        Run missing{server.url("/missing/")};
        Run refused{goneRoot};
        Run good{server.url("/good/")};
        const QList<Run*> runs = {&bad, &missing, &refused, &good};
        for (Run* run : runs) {
            TradeTabDependencies deps;
            deps.state = &run->state;
            deps.sources = TradeSources{.serverReached = [] { return true; },
                                        .serverRoot = [root = run->root] { return root; },
                                        .workFolder = work.path(),
                                        .startWorker = workers.starter(),
                                        .clock = &clock};
            run->tab.attach(deps);
            run->tab.show();
            zorvast::info::BrowserEvents events;
            events.titleChanged = [run](const std::string& title) {
                run->titles.append(q(title));
            };
            run->tab.view()->browser().subscribe(events);
            run->tab.view()->showFile(q(localTrade));
        }
        for (Run* run : runs) {
            QTRY_COMPARE_WITH_TIMEOUT(q(run->tab.view()->browser().title()),
                                      QStringLiteral("本地交易"), kLoadWait);
        }

        for (Run* run : runs) {
            QVERIFY(run->tab.openTradeTab());
        }
        // Selected again while the watchdog runs: nothing new.
        QVERIFY(!bad.tab.openTradeTab());

        // The online pages load; the failing ones are replaced by the local page.
        QTRY_COMPARE_WITH_TIMEOUT(q(good.tab.view()->browser().title()),
                                  QStringLiteral("Zorvast-交易"), kLoadWait);
        for (Run* run : {&bad, &missing, &refused}) {
            QTRY_VERIFY2_WITH_TIMEOUT(
                q(run->tab.view()->browser().address()).startsWith(QStringLiteral("file")),
                (run->root + " shows " + run->tab.view()->browser().address() + " titled " +
                 run->tab.view()->browser().title())
                    .c_str(),
                kLoadWait);
            QTRY_COMPARE_WITH_TIMEOUT(q(run->tab.view()->browser().title()),
                                      QStringLiteral("本地交易"), kLoadWait);
        }

        QTRY_VERIFY_WITH_TIMEOUT(workers.idle(), 30000);
        for (Run* run : runs) {
            QVERIFY(!run->state.tradeWatchBusy);
        }
        QCOMPARE(q(good.tab.view()->browser().title()), QStringLiteral("Zorvast-交易"));
        QCOMPARE(q(good.tab.view()->browser().address()), q(server.url("/good/trade.htm")));
        // The wrong page was on screen before the local one came back.
        QVERIFY2(bad.titles.contains(QStringLiteral("别的页面")), qPrintable(bad.titles.join('|')));
        QCOMPARE(bad.titles.last(), QStringLiteral("本地交易"));
    }

    void tradeTabWithoutServerKeepsTheLocalPage() {
        InfoState state;
        TradeTab tab;
        bool communityAsked = false;
        TradeTabDependencies deps;
        deps.state = &state;
        int started = 0;
        deps.sources = TradeSources{.serverReached = [] { return false; },
                                    .serverRoot = [] { return std::string("http://x/"); },
                                    .workFolder = "/nowhere",
                                    .startWorker = [&](std::function<void()>) { ++started; },
                                    .clock = nullptr};
        deps.showCommunityTab = [&] {
            communityAsked = true;
        };
        tab.attach(deps);
        tab.show();
        QVERIFY(QTest::qWaitForWindowExposed(&tab));
        QVERIFY(!tab.openTradeTab());
        QCOMPARE(started, 0);
        QCOMPARE(q(tab.view()->browser().address()), QString());

        // "免费发布" marks the posting request and asks for the community tab.
        clickLink(tab.postLink());
        QVERIFY(state.tradePostingPending);
        QVERIFY(communityAsked);
    }

    void tradePostingBeforeTheCommunityTabWasOpened() {
        TempFolder site;
        site.write("forum/ready1.htm", "bbs_plumo");
        site.write("forum/index.html", gbkPage("论坛首页"));
        site.write("forum/forum-9-1.html", gbkPage("交易免费发布区"));
        LocalHttpServer server({"--root", site.path().string()});
        TempFolder work;
        const std::string root = server.url("/forum/");

        InfoState state;
        Workers workers;
        zorvast::common::ManualClock clock;
        CommunityTab community;
        community.resize(800, 500);
        community.show();
        std::vector<int> intervals;
        CommunityTabDependencies deps;
        deps.state = &state;
        deps.sources.root = root;
        deps.sources.fetch = [](const std::string& url) {
            return zorvast::update::fetchText(url);
        };
        deps.sources.workFolder = work.path() / "satdata_temp";
        deps.sources.startWorker = workers.starter();
        deps.sources.clock = &clock;
        // Like the main window's DeferredTimer: set from the loader's worker, ticking on the
        // window thread.
        deps.sources.setDeferredTimerInterval = [&](int ms) {
            intervals.push_back(ms);
            QMetaObject::invokeMethod(
                &community,
                [&community, ms] {
                    QTimer::singleShot(ms, &community, [&community] { community.runForumJobs(); });
                },
                Qt::QueuedConnection);
        };
        community.attach(deps);

        TradeTab trade;
        TradeTabDependencies tradeDeps;
        tradeDeps.state = &state;
        tradeDeps.showCommunityTab = [&] {
            community.openCommunityTab();
        };
        trade.attach(tradeDeps);
        trade.show();
        QVERIFY(QTest::qWaitForWindowExposed(&trade));
        clickLink(trade.postLink());

        QTRY_VERIFY_WITH_TIMEOUT(workers.idle(), kLoadWait);
        QTRY_COMPARE_WITH_TIMEOUT(q(community.view()->browser().title()),
                                  QStringLiteral("交易免费发布区"), kLoadWait);
        QCOMPARE(q(community.view()->browser().address()), q(root + "forum-9-1.html"));
        QCOMPARE(community.quickEntryList()->currentText(), QStringLiteral("交易免费发布"));
        QCOMPARE(community.quickEntryList()->count(), 5);
        QVERIFY(community.quickEntryList()->isEnabled());
        QTRY_COMPARE(community.addressEdit()->text(), q(root + "forum-9-1.html"));
        QVERIFY(!state.tradePostingPending);
        QVERIFY(!state.forumHomePending);
        QCOMPARE(intervals, std::vector<int>{50});
        QVERIFY(!community.loadingLabel()->isVisible());
        // The placeholder page was written for the first navigation.
        QVERIFY(QFileInfo::exists(q((work.path() / "satdata_temp" / "bbs.htm").string())));

        // A quick-entry choice by the user opens that section: the first entry, chosen with the
        // keyboard.
        QTest::keyClick(community.quickEntryList(), Qt::Key_Home);
        QCOMPARE(community.quickEntryList()->currentIndex(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(q(community.view()->browser().title()),
                                  QStringLiteral("论坛首页"), kLoadWait);

        // Opened again later: no second loader.
        QVERIFY(!community.openCommunityTab());
        QVERIFY(workers.idle());
    }

    void forumDownKeepsThePlaceholder() {
        TempFolder site;
        site.write("forum/ready1.htm", "bbs_plumo\r\n");
        LocalHttpServer server({"--root", site.path().string()});
        TempFolder work;
        work.write("satdata_temp/bbs.htm", gbkPage("占位页"));

        InfoState state;
        Workers workers;
        zorvast::common::ManualClock clock;
        CommunityTab community;
        community.show();
        std::vector<int> intervals;
        CommunityTabDependencies deps;
        deps.state = &state;
        deps.sources.root = server.url("/forum/");
        deps.sources.fetch = [](const std::string& url) {
            return zorvast::update::fetchText(url);
        };
        deps.sources.workFolder = work.path() / "satdata_temp";
        deps.sources.startWorker = workers.starter();
        deps.sources.clock = &clock;
        deps.sources.setDeferredTimerInterval = [&](int ms) {
            intervals.push_back(ms);
        };
        community.attach(deps);

        QVERIFY(community.openCommunityTab());
        QTRY_VERIFY_WITH_TIMEOUT(workers.idle(), kLoadWait);
        QTRY_COMPARE(community.quickEntryList()->count(), 5);
        QVERIFY(!community.quickEntryList()->isEnabled());
        QCOMPARE(community.quickEntryList()->currentIndex(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(q(community.view()->browser().title()), QStringLiteral("占位页"),
                                  kLoadWait);
        QCOMPARE(community.addressEdit()->text(), QString());
        QVERIFY(!state.forumHomePending);
        QVERIFY(intervals.empty());
        QVERIFY(!community.loadingLabel()->isVisible());
    }

    void forumWindowFitsTheScreen() {
        struct Case {
            QRect area;
            QRect window;
            QSize browser;
            int statusTop;
        };
        const QList<Case> cases = {
            {QRect(0, 0, 1280, 800), QRect(130, -2, 1024, 773), QSize(1020, 703), 726},
            {QRect(0, 0, 1024, 768), QRect(0, -2, 1024, 741), QSize(1020, 671), 694},
            {QRect(0, 0, 800, 600), QRect(0, -2, 800, 573), QSize(796, 503), 526},
        };
        for (const Case& c : cases) {
            ForumBrowserWindow window(zorvast::info::forumRoot());
            window.placeOn(c.area);
            QCOMPARE(window.geometry(), c.window);
            QCOMPARE(window.view()->size(), c.browser);
            QCOMPARE(window.statusLabel()->geometry().top(), c.statusTop);
            QCOMPARE(window.progressBar()->geometry().top(), c.statusTop);
            QVERIFY(window.view()->geometry().bottom() < c.statusTop);
            QVERIFY(window.statusLabel()->geometry().right() <
                    window.progressBar()->geometry().left());
            QCOMPARE(window.windowTitle(), QStringLiteral("Marobi交流论坛 - [Zorvast内置浏览器]"));
        }
    }

    void enlargeOpensTheForumWindowAtTheCommunityAddress() {
        TempFolder site;
        site.write("forum/index.html", gbkPage("论坛首页"));
        LocalHttpServer server({"--root", site.path().string()});
        const std::string root = server.url("/forum/");

        CommunityTab community;
        community.show();
        CommunityTabDependencies deps;
        deps.sources.root = root;
        community.attach(deps);
        typeInto(community.addressEdit(), q(root));

        QTest::mouseClick(community.enlargeButton(), Qt::LeftButton);
        ForumBrowserWindow* window = nullptr;
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* found = qobject_cast<ForumBrowserWindow*>(widget)) {
                window = found;
            }
        }
        QVERIFY(window);
        QVERIFY(window->isVisible());
        QVERIFY(window->isWindow());
        QCOMPARE(window->parentWidget(), community.window()); // goes with the main window
        QVERIFY(!window->isModal());
        QVERIFY(window->testAttribute(Qt::WA_DeleteOnClose));
        const QRect area = community.screen()->availableGeometry();
        const auto layout = zorvast::info::forumWindowLayout(area.width(), area.height());
        // The rule places the window's frame; the size is the window's own area.
        QCOMPARE(window->pos(), QPoint(area.x() + layout.left, area.y() + layout.top));
        QCOMPARE(window->size(), QSize(layout.width, layout.height));
        QCOMPARE(window->view()->width(), layout.browserWidth);
        QCOMPARE(window->view()->height(), layout.browserHeight);

        QTRY_COMPARE_WITH_TIMEOUT(q(window->view()->browser().title()), QStringLiteral("论坛首页"),
                                  kLoadWait);
        QTRY_COMPARE(window->windowTitle(), QStringLiteral("论坛首页 - [Zorvast内置浏览器]"));
        QTRY_COMPARE(window->addressEdit()->text(), q(root));
        QTRY_COMPARE(window->statusLabel()->text(), QStringLiteral("完成"));
        QCOMPARE(window->progressBar()->value(), 100);

        QPointer<ForumBrowserWindow> guard(window);
        window->close();
        QTRY_VERIFY(guard.isNull());
    }

    void forumWindowButtonsAndTitleCut() {
        TempFolder site;
        // 79 ASCII bytes, then a Chinese character whose first byte would be the 80th.
        const std::string longTitle = std::string(79, 'T') + "中文标题";
        site.write("forum/forum-7-1.html", gbkPage(longTitle));
        site.write("forum/forum-8-1.html", gbkPage("意见"));
        LocalHttpServer server({"--root", site.path().string()});
        const std::string root = server.url("/forum/");

        ForumBrowserWindow window(root);
        window.placeOn(QRect(0, 0, 1280, 800));
        window.show();
        QCOMPARE(window.sectionButtons().size(), 5);
        QCOMPARE(window.sectionButtons().at(1)->text(), QStringLiteral("星友交流"));
        QTest::mouseClick(window.sectionButtons().at(1), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(q(window.view()->browser().address()), q(root + "forum-7-1.html"),
                                  kLoadWait);
        QTRY_COMPARE_WITH_TIMEOUT(window.windowTitle(),
                                  q(std::string(79, 'T') + " …… - [Zorvast内置浏览器]"), kLoadWait);

        QCOMPARE(window.sectionButtons().at(4)->text(), QStringLiteral("意见反馈"));
        QTest::mouseClick(window.sectionButtons().at(4), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(window.windowTitle(),
                                  QStringLiteral("意见 - [Zorvast内置浏览器]"), kLoadWait);

        const QStringList captions = {"← 后退", "前进 →", "停 止", "刷 新", "↓转到"};
        const QList<QPushButton*> buttons = {window.backButton(), window.forwardButton(),
                                             window.stopButton(), window.refreshButton(),
                                             window.goButton()};
        for (int i = 0; i < captions.size(); ++i) {
            QCOMPARE(buttons[i]->text(), captions[i]);
            QVERIFY(buttons[i]->isVisible());
            QVERIFY(buttons[i]->geometry().bottom() < window.view()->geometry().top());
        }
        QTest::mouseClick(window.backButton(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(q(window.view()->browser().address()), q(root + "forum-7-1.html"),
                                  kLoadWait);
    }

    // Each section button, found by its caption, opens its section of the forum.
    void forumWindowSectionButtonsOpenTheirSections() {
        TempFolder site;
        for (const char* page : {"index.html", "forum-7-1.html", "forum-6-1.html", "forum-9-1.html",
                                 "forum-8-1.html"}) {
            site.write(std::string("forum/") + page, gbkPage(page));
        }
        LocalHttpServer server({"--root", site.path().string()});
        const std::string root = server.url("/forum/");
        const QList<QPair<QString, std::string>> expected = {
            {QStringLiteral("论坛主页→"), ""},
            {QStringLiteral("星友交流"), "forum-7-1.html"},
            {QStringLiteral("星讯播报"), "forum-6-1.html"},
            {QStringLiteral("买卖发布"), "forum-9-1.html"},
            {QStringLiteral("意见反馈"), "forum-8-1.html"},
        };
        ForumBrowserWindow window(root);
        window.placeOn(QRect(0, 0, 1280, 800));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QStringList captions;
        for (const QPushButton* button : window.sectionButtons()) {
            captions.append(button->text());
        }
        QCOMPARE(captions.size(), expected.size());
        for (int i = 0; i < expected.size(); ++i) {
            const auto& [caption, path] = expected[i];
            QCOMPARE(captions[i], caption);
            QTest::mouseClick(window.sectionButtons().at(i), Qt::LeftButton);
            QTRY_COMPARE_WITH_TIMEOUT(q(window.view()->browser().address()), q(root + path),
                                      kLoadWait);
        }
    }

    void externalPagesGoToTheSystemBrowser() {
        UrlCatcher catcher;
        QDesktopServices::setUrlHandler(QStringLiteral("http"), &catcher, "open");
        const std::string root = "http://param.test/site";
        QVERIFY(zorvast::info::ui::openInSystemBrowser(
            zorvast::info::strengthMapAddress(root, "E115.5(中星6B)")));
        QVERIFY(zorvast::info::ui::openInSystemBrowser(zorvast::info::satelliteMapAddress(root)));
        QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
        QCOMPARE(catcher.urls.size(), 2);
        QCOMPARE(catcher.urls[0], QUrl(QStringLiteral("http://param.test/site/cqt/E115_5.htm")));
        QCOMPARE(catcher.urls[1], QUrl(QStringLiteral("http://param.test/site/ge/")));
    }
};

QTEST_MAIN(InfoViewsTest)
#include "InfoViewsTest.moc"
