// Time from process start until the main window is enabled with the shipped data, without
// the splash's fixed wait (the clock given to the program skips waits). Prints the figures.
#include "channels/ui/ParameterTab.h"
#include "shell/ui/AppController.h"
#include "shell/ui/MainWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Seconds since the process started, from /proc (covers loading the shared libraries).
double secondsSinceProcessStart() {
    std::ifstream stat("/proc/self/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), {});
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    for (int i = 0; i < 19; ++i) { // field 22 (starttime) is the 20th after the name
        fields >> field;
    }
    unsigned long long startTicks = 0;
    fields >> startTicks;
    std::ifstream uptimeFile("/proc/uptime");
    double uptime = 0;
    uptimeFile >> uptime;
    return uptime - static_cast<double>(startTicks) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

} // namespace

int main(int argc, char* argv[]) {
    const double beforeMain = secondsSinceProcessStart();
    if (geteuid() == 0) {
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", QByteArray("--no-sandbox"));
    }
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    QElapsedTimer sinceMain;
    sinceMain.start();

    const fs::path folder = fs::temp_directory_path() / "zorvast-bench-start-up";
    fs::remove_all(folder);
    fs::create_directories(folder / "program");
    fs::create_directories(folder / "tmp");
    fs::copy_file(ZORVAST_BINARY_DIR "/data/satdata.sta", folder / "program" / "satdata.sta");

    zorvast::common::ManualClock clock;
    zorvast::shell::ui::AppEnvironment env;
    env.temporaryFolder = folder / "tmp";
    env.programFolder = folder / "program";
    env.executableName = "zorvast";
    env.shortcuts = {folder / "apps", folder / "apps", folder / "Desktop"};
    env.clock = &clock;
    zorvast::shell::ui::AppController controller(env);
    const qint64 beforeStartUp = sinceMain.elapsed();
    controller.startUp();
    const qint64 startUpReturned = sinceMain.elapsed();
    auto* window = controller.window();
    while (!(controller.initialisationDone() && window->isEnabled() &&
             window->parameterTab()->showResultsButton()->isEnabled())) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    const qint64 ready = sinceMain.elapsed();
    std::printf("process start -> main:            %6.0f ms (loading libraries)\n",
                beforeMain * 1000);
    std::printf("main -> window built:             %6lld ms\n",
                static_cast<long long>(beforeStartUp));
    std::printf("start-up sequence:                %6lld ms\n",
                static_cast<long long>(startUpReturned - beforeStartUp));
    std::printf("initialisation until enabled:     %6lld ms\n",
                static_cast<long long>(ready - startUpReturned));
    std::printf("process start -> window enabled:  %6.0f ms (target 600, splash wait excluded)\n",
                beforeMain * 1000 + static_cast<double>(ready));
    controller.shutDown();
    fs::remove_all(folder);
    std::fflush(nullptr);
    _exit(0);
}
