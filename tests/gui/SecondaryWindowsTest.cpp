#include "common/Clock.h"
#include "common/ui/UiThread.h"
#include "shell/ui/AboutWindow.h"
#include "shell/ui/LogoArtwork.h"
#include "shell/ui/SplashWindow.h"

#include <QFile>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using zorvast::common::ManualClock;
using zorvast::shell::ui::AboutWindow;
using zorvast::shell::ui::LogoPicture;
using zorvast::shell::ui::SplashWindow;
using zorvast::shell::ui::SplashWindowView;

namespace {

using Sleeps = std::vector<std::chrono::milliseconds>;

QString describe(const Sleeps& sleeps) {
    QStringList parts;
    for (auto s : sleeps) {
        parts << QString::number(s.count());
    }
    return parts.join(QLatin1Char(' '));
}

QString describe(const QRect& r) {
    return QStringLiteral("(%1,%2 %3x%4)").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

// The real splash view, noting where the splash stood and how many sleeps had passed.
class RecordingSplashView : public SplashWindowView {
public:
    RecordingSplashView(QObject* context, SplashWindow* splash, QWidget* main, QToolButton* logo,
                        const ManualClock& clock)
        : SplashWindowView(context, splash, main, logo), splash_(splash), logo_(logo),
          clock_(clock) {}

    void moveSplash(QPoint topLeft) override {
        SplashWindowView::moveSplash(topLeft);
        requested.push_back(topLeft);
        positions.push_back(splash_->pos());
    }
    void setLogo(LogoPicture picture) override {
        SplashWindowView::setLogo(picture);
        logos.push_back({picture, clock_.sleepCount()});
        QCOMPARE(zorvast::shell::ui::logoButtonPicture(logo_), picture);
    }

    std::vector<QPoint> requested;
    std::vector<QPoint> positions;
    std::vector<std::pair<LogoPicture, std::size_t>> logos;

private:
    SplashWindow* splash_;
    QToolButton* logo_;
    const ManualClock& clock_;
};

// A clock that returns at once like ManualClock and, at each wait, first runs `observe` on the
// window thread: a worker's wait comes after the steps it handed to the window, so what is
// seen there is the window as that step left it.
class ObservingClock final : public zorvast::common::Clock {
public:
    explicit ObservingClock(QObject* window) : window_(window) {}

    void sleepFor(std::chrono::milliseconds duration) override {
        if (observe) {
            zorvast::common::ui::runOnUi(window_, observe);
        }
        manual.sleepFor(duration);
    }
    std::chrono::steady_clock::time_point now() const override { return manual.now(); }

    std::function<void()> observe;
    ManualClock manual;

private:
    QObject* window_;
};

} // namespace

class SecondaryWindowsTest : public QObject {
    Q_OBJECT

private slots:
    void pictureSizes() {
        using namespace zorvast::shell::ui;
        QCOMPARE(logoPictureA().deviceIndependentSize().toSize(), QSize(185, 58));
        QCOMPARE(logoPictureB().deviceIndependentSize().toSize(), QSize(185, 58));
        QCOMPARE(blankLogoPicture().deviceIndependentSize().toSize(), QSize(182, 58));
        QVERIFY2(logoPictureA().toImage() != logoPictureB().toImage(),
                 "the hover logo looks the same as the normal one");
        const QImage blank = blankLogoPicture().toImage();
        QCOMPARE(blank.pixelColor(91, 29).alpha(), 0);
        const QIcon icon = applicationIcon();
        QVERIFY(!icon.isNull());
        QVERIFY2(icon.availableSizes().contains(QSize(256, 256)),
                 qPrintable(QStringLiteral("sizes: %1").arg(icon.availableSizes().size())));
    }

    void applicationIconFile() {
        using namespace zorvast::shell::ui;
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const std::filesystem::path file =
            std::filesystem::path(dir.path().toStdString()) / "icons" / "hicolor" / "zorvast.png";
        QVERIFY(!std::filesystem::exists(file.parent_path()));
        QVERIFY(writeApplicationIconFile(file));

        QImage written;
        QVERIFY2(written.load(QString::fromStdString(file.string()), "PNG"),
                 "the icon file is not a PNG picture");
        QCOMPARE(written.size(), QSize(256, 256));
        QVERIFY(written.hasAlphaChannel());
        // The rounded badge leaves the corners clear and fills the middle.
        QCOMPARE(written.pixelColor(1, 1).alpha(), 0);
        QCOMPARE(written.pixelColor(128, 128).alpha(), 255);
        const QImage drawn = applicationIcon()
                                 .pixmap(QSize(256, 256), 1.0)
                                 .toImage()
                                 .convertToFormat(QImage::Format_ARGB32);
        QVERIFY2(written.convertToFormat(QImage::Format_ARGB32) == drawn,
                 "the file does not hold the program's icon");

        // Written again over an old file, it stays a whole picture.
        QVERIFY(writeApplicationIconFile(file));
        QVERIFY(written.load(QString::fromStdString(file.string()), "PNG"));
        QCOMPARE(written.size(), QSize(256, 256));

        // A folder that cannot be made: a plain file stands where it should be.
        const std::filesystem::path blocker =
            std::filesystem::path(dir.path().toStdString()) / "blocker";
        QFile plain(QString::fromStdString(blocker.string()));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();
        QVERIFY(!writeApplicationIconFile(blocker / "zorvast.png"));
        QVERIFY(!std::filesystem::exists(blocker / "zorvast.png"));
    }

    void splashLayout() {
        SplashWindow splash;
        QCOMPARE(splash.size(), QSize(194, 82));
        QCOMPARE(splash.logo()->size(), QSize(185, 58));
        QVERIFY(!splash.logo()->pixmap().isNull());
        QCOMPARE(splash.logo()->pixmap().deviceIndependentSize().toSize(), QSize(185, 58));
        QCOMPARE(splash.text()->text(), QStringLiteral("正在启动，请稍候..."));
        QVERIFY2(splash.text()->geometry().top() >= splash.logo()->geometry().bottom(),
                 "the caption is not under the logo");
    }

    void splashStaysBrightOverTheDisabledWindow() {
        QWidget main;
        main.setGeometry(100, 100, 800, 600);
        main.show();
        auto* splash = new SplashWindow(&main);
        splash->show();
        QVERIFY(QTest::qWaitForWindowExposed(splash));
        const QImage bright = splash->grab().toImage();
        main.setEnabled(false);
        QCoreApplication::processEvents();
        QVERIFY(!main.isEnabled());
        QVERIFY(splash->isEnabled());
        QVERIFY(splash->logo()->isEnabled());
        QVERIFY2(splash->grab().toImage() == bright, "the splash changed its look");
        main.setEnabled(true);
        QVERIFY(splash->isEnabled());
    }

    void splashSlidesAway_data() {
        QTest::addColumn<bool>("downloadMode");
        QTest::addColumn<Sleeps>("expectedSleeps");
        QTest::newRow("normal") << false
                                << Sleeps{1000ms, 20ms, 20ms, 20ms, 20ms, 20ms, 100ms, 200ms};
        QTest::newRow("download mode")
            << true << Sleeps{1000ms, 4000ms, 20ms, 20ms, 20ms, 20ms, 20ms, 100ms, 200ms};
    }

    void splashSlidesAway() {
        QFETCH(bool, downloadMode);
        QFETCH(Sleeps, expectedSleeps);
        QWidget main;
        main.setGeometry(100, 100, 800, 600);
        auto* logo = new QToolButton(&main);
        zorvast::shell::ui::setLogoButtonPicture(logo, LogoPicture::Blank);
        main.show();
        main.setEnabled(false);
        auto* splash = new SplashWindow(&main);
        splash->move(400, 350);
        splash->show();
        QVERIFY(QTest::qWaitForWindowExposed(splash));
        const QPoint first = splash->pos();
        QPointer<SplashWindow> watch(splash);

        ManualClock clock;
        RecordingSplashView view(&main, splash, &main, logo, clock);
        zorvast::shell::ui::runSplashSequence(view, clock, downloadMode);

        QVERIFY2(clock.sleeps() == expectedSleeps,
                 qPrintable(QStringLiteral("sleeps %1, expected %2")
                                .arg(describe(clock.sleeps()), describe(expectedSleeps))));
        QCOMPARE(view.requested.size(), std::size_t(5));
        for (int i = 1; i <= 5; ++i) {
            const QPoint expected(first.x() + 50 * i, first.y() - 40 * i);
            QCOMPARE(view.requested[i - 1], expected);
            QCOMPARE(view.positions[i - 1], expected);
        }
        const std::size_t waits = downloadMode ? 2 : 1;
        const std::vector<std::pair<LogoPicture, std::size_t>> flash{
            {LogoPicture::A, waits + 5}, {LogoPicture::B, waits + 6}, {LogoPicture::A, waits + 7}};
        QVERIFY(view.logos == flash);
        QCOMPARE(zorvast::shell::ui::logoButtonPicture(logo), LogoPicture::A);
        QVERIFY(main.isEnabled());
        QTRY_VERIFY(watch.isNull());
    }

    void splashFromWorkerKeepsOrder() {
        QWidget main;
        main.setGeometry(100, 100, 800, 600);
        auto* logo = new QToolButton(&main);
        main.show();
        main.setEnabled(false);
        auto* splash = new SplashWindow(&main);
        splash->move(300, 400);
        splash->show();
        QPointer<SplashWindow> watch(splash);
        ManualClock clock;
        SplashWindowView view(&main, splash, &main, logo);
        std::thread worker([&] { zorvast::shell::ui::runSplashSequence(view, clock, false); });
        QTRY_VERIFY(watch.isNull());
        worker.join();
        QVERIFY(main.isEnabled());
        QCOMPARE(zorvast::shell::ui::logoButtonPicture(logo), LogoPicture::A);
        QCOMPARE(clock.sleepCount(), std::size_t(8));
    }

    void aboutSteps_data() {
        QTest::addColumn<bool>("opening");
        QTest::addColumn<QList<QRect>>("expected");
        const QRect first(600, 200, 220, 85);
        QTest::newRow("opening") << true
                                 << QList<QRect>{{542, 220, 220, 143},
                                                 {484, 240, 220, 201},
                                                 {426, 260, 220, 259},
                                                 {368, 280, 220, 317},
                                                 {310, 300, 220, 375}};
        QTest::newRow("closing") << false
                                 << QList<QRect>{{658, 180, 220, 30},
                                                 {716, 160, 220, -25},
                                                 {774, 140, 220, -80},
                                                 {832, 120, 220, -135}};
    }

    void aboutSteps() {
        QFETCH(bool, opening);
        QFETCH(QList<QRect>, expected);
        ManualClock clock;
        QList<QRect> steps;
        zorvast::shell::ui::runAboutSteps(
            QRect(600, 200, 220, 85),
            opening ? zorvast::shell::ui::kAboutOpening : zorvast::shell::ui::kAboutClosing, clock,
            [&](const QRect& step) {
                QCOMPARE(clock.sleepCount(), std::size_t(steps.size()));
                steps << step;
            });
        QCOMPARE(steps.size(), expected.size());
        for (int i = 0; i < steps.size(); ++i) {
            QVERIFY2(steps[i] == expected[i],
                     qPrintable(QStringLiteral("step %1: %2, expected %3")
                                    .arg(i + 1)
                                    .arg(describe(steps[i]), describe(expected[i]))));
        }
        QVERIFY2(clock.sleeps() == Sleeps(expected.size(), 20ms),
                 qPrintable(describe(clock.sleeps())));
    }

    void aboutOpensAndCloses() {
        QTemporaryDir work;
        QWidget main;
        main.setGeometry(100, 120, 800, 600);
        auto* logo = new QToolButton(&main);
        zorvast::shell::ui::setLogoButtonPicture(logo, LogoPicture::A);
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        const QRect frame = main.geometry();

        ObservingClock clock(&main);
        auto* about = new AboutWindow(&main, logo, work.path().toStdString(), clock);
        QCOMPARE(about->group()->title(), QStringLiteral(" 关于Zorvast…… "));
        QCOMPARE(about->closeButton()->text(), QStringLiteral("关 闭"));
        QCOMPARE(about->logo()->size(), QSize(185, 58));
        QVERIFY(!about->description()->text().isEmpty());
        QVERIFY(about->link(0)->text().contains(QStringLiteral("http://www.zorvast.cn")));
        struct Step {
            QRect geometry;
            bool closeEnabled;
            LogoPicture logo;
        };
        // The window as each step of the animations leaves it.
        std::vector<Step> steps;
        clock.observe = [&] {
            steps.push_back({about->geometry(), about->closeButton()->isEnabled(),
                             zorvast::shell::ui::logoButtonPicture(logo)});
        };

        about->openAbout();
        QCOMPARE(about->geometry(), QRect(frame.left() + 590, frame.top() + 55, 220, 85));
        QVERIFY(!about->closeButton()->isEnabled());
        QCOMPARE(zorvast::shell::ui::logoButtonPicture(logo), LogoPicture::Blank);
        about->show();
        QTRY_VERIFY(about->closeButton()->isEnabled());
        QCOMPARE(steps.size(), std::size_t(5));
        for (std::size_t i = 0; i < steps.size(); ++i) {
            const int n = int(i) + 1;
            const QRect expected(frame.left() + 590 - 58 * n, frame.top() + 55 + 20 * n, 220,
                                 85 + 58 * n);
            QVERIFY2(steps[i].geometry == expected,
                     qPrintable(QStringLiteral("opening step %1: %2, expected %3")
                                    .arg(n)
                                    .arg(describe(steps[i].geometry), describe(expected))));
            QVERIFY(!steps[i].closeEnabled);
            QCOMPARE(steps[i].logo, LogoPicture::Blank);
        }
        const QRect opened(frame.left() + 590 - 290, frame.top() + 55 + 100, 220, 375);
        QVERIFY2(about->geometry() == opened,
                 qPrintable(QStringLiteral("%1, expected %2")
                                .arg(describe(about->geometry()), describe(opened))));
        QVERIFY2(clock.manual.sleeps() == Sleeps(5, 20ms),
                 qPrintable(describe(clock.manual.sleeps())));

        steps.clear();
        QTest::mouseClick(about->closeButton(), Qt::LeftButton);
        QCOMPARE(steps.size(), std::size_t(4));
        for (std::size_t i = 0; i < steps.size(); ++i) {
            const int n = int(i) + 1;
            const QRect expected(opened.left() + 58 * n, opened.top() - 20 * n, 220, 375 - 55 * n);
            QVERIFY2(steps[i].geometry == expected,
                     qPrintable(QStringLiteral("closing step %1: %2, expected %3")
                                    .arg(n)
                                    .arg(describe(steps[i].geometry), describe(expected))));
            QVERIFY(!steps[i].closeEnabled);
        }
        QVERIFY2(clock.manual.sleeps() == Sleeps(9, 20ms),
                 qPrintable(describe(clock.manual.sleeps())));
        QVERIFY(!about->isVisible());
        QCOMPARE(zorvast::shell::ui::logoButtonPicture(logo), LogoPicture::Blank);
        delete about;
        QCOMPARE(zorvast::shell::ui::logoButtonPicture(logo), LogoPicture::A);
    }

    void aboutVersionText() {
        QTemporaryDir work;
        const std::filesystem::path folder = work.path().toStdString();
        QCOMPARE(zorvast::shell::ui::aboutVersionText(folder),
                 QStringLiteral("软件：1.02  数据：错误，检测不到可用数据。"));
        QFile data(work.filePath(QStringLiteral("satdata.str")));
        QVERIFY(data.open(QIODevice::WriteOnly));
        data.write("x");
        data.close();
        const QString text = zorvast::shell::ui::aboutVersionText(folder);
        const QDate today = QFileInfo(data).lastModified().date();
        const QString expected = QStringLiteral("软件：1.02  数据：%1年%2月%3日")
                                     .arg(today.year())
                                     .arg(today.month())
                                     .arg(today.day());
        QCOMPARE(text, expected);
    }
};

QTEST_MAIN(SecondaryWindowsTest)
#include "SecondaryWindowsTest.moc"
