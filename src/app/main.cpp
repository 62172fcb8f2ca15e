#include "app/StartCheck.h"
#include "common/ProgramVersion.h"
#include "shell/ui/AppController.h"
#include "shell/ui/LogoArtwork.h"
#include "shell/ui/MainWindow.h"

#include <QApplication>
#include <QByteArray>
#include <QLibraryInfo>
#include <QSocketNotifier>
#include <QTranslator>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

int quitPipe[2] = {-1, -1};

// A terminal's Ctrl+C or a session's SIGTERM ends the program the way closing it does, so the
// working folder goes too.
void requestQuit(int) {
    const char byte = 1;
    (void)!write(quitPipe[1], &byte, 1);
}

void quitOnSignals(QApplication& app) {
    if (pipe(quitPipe) != 0) {
        return;
    }
    auto* notifier = new QSocketNotifier(quitPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, &QApplication::quit);
    struct sigaction action {};
    action.sa_handler = requestQuit;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
}

} // namespace

int main(int argc, char* argv[]) {
    // Taken before QApplication, which removes the arguments it recognises: a helper's name and
    // its argument must reach the roles as they were given.
    const std::vector<std::string> commandLine(argv, argv + argc);
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("Zorvast %s\n", zorvast::common::programVersion());
        return 0;
    }
    // WebEngine refuses to start as root unless its sandbox is off.
    if (geteuid() == 0) {
        QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
        if (!flags.contains("--no-sandbox")) {
            flags = flags.isEmpty() ? QByteArray("--no-sandbox") : flags + " --no-sandbox";
            qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags);
        }
    }
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(true);
    app.setWindowIcon(zorvast::shell::ui::applicationIcon());
    // Qt's own dialogs (the save dialog) speak the program's language.
    QTranslator qtTexts;
    if (qtTexts.load(QStringLiteral("qtbase_zh_CN"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        app.installTranslator(&qtTexts);
    }
    quitOnSignals(app);

    zorvast::shell::ui::AppController controller(
        zorvast::shell::ui::systemEnvironment(commandLine));
    QObject::connect(&controller, &zorvast::shell::ui::AppController::quitRequested, &app,
                     &QApplication::quit);
    const auto result = controller.startUp();
    int code = 0;
    if (result == zorvast::shell::StartUpResult::Running) {
        zorvast::app::quitAfterStartWhenAsked(app, controller);
        code = app.exec();
        controller.shutDown();
    }
    // Workers may still be running; the process ends here without waiting for them.
    std::fflush(nullptr);
    _exit(code);
}
