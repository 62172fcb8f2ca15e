#include "shell/ui/AppEnvironment.h"

#include "common/LauncherHandOver.h"
#include "common/platform/Platform.h"

#include <QDir>

#include <cstdlib>

namespace zorvast::shell::ui {

namespace fs = std::filesystem;

AppEnvironment systemEnvironment(const std::vector<std::string>& commandLine) {
    AppEnvironment env;
    namespace platform = common::platform;
    const platform::Environment system = platform::currentEnvironment();
    env.temporaryFolder = platform::privateAreaFor(system).string() + "/";
    env.downloadFolder = platform::downloadAreaFor(system);
    env.programFolder = QDir::currentPath().toStdString();
    // The name it was started under, not the file's: the helpers are this very file.
    if (!commandLine.empty()) {
        env.executableName = fs::path(commandLine.front()).filename().string();
        env.arguments.assign(commandLine.begin() + 1, commandLine.end());
    }
    env.shortcuts = platform::shortcutPlaces(system);
    // The file itself, wherever the program was started from and whatever it was called.
    env.programFile = platform::ownProgramFile();
    env.iconFile = platform::shortcutIconFile(system);
    if (const char* launcher = std::getenv(common::kLauncherVariable); launcher) {
        const fs::path file = launcher;
        if (file.is_absolute()) {
            env.launcherFile = file;
        }
    }
    return env;
}

std::string programFilePath(const AppEnvironment& environment) {
    return (environment.programFile.empty() ? environment.programFolder / environment.executableName
                                            : environment.programFile)
        .string();
}

std::string shortcutTargetPath(const AppEnvironment& environment) {
    return environment.launcherFile.empty() ? programFilePath(environment)
                                            : environment.launcherFile.string();
}

} // namespace zorvast::shell::ui
