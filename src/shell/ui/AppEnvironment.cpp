#include "shell/ui/AppEnvironment.h"

#include "common/PrivateFolder.h"

#include <QDir>
#include <QStandardPaths>

namespace zorvast::shell::ui {

namespace fs = std::filesystem;

AppEnvironment systemEnvironment(const std::vector<std::string>& commandLine) {
    AppEnvironment env;
    const common::PrivateAreaEnvironment areas = common::currentPrivateAreaEnvironment();
    env.temporaryFolder = common::privateAreaFor(areas).string() + "/";
    env.downloadFolder = common::downloadAreaFor(areas);
    env.programFolder = QDir::currentPath().toStdString();
    // The name it was started under, not the file's: the helpers are this very file.
    if (!commandLine.empty()) {
        env.executableName = fs::path(commandLine.front()).filename().string();
        env.arguments.assign(commandLine.begin() + 1, commandLine.end());
    }
    const std::string menu =
        QStandardPaths::writableLocation(QStandardPaths::ApplicationsLocation).toStdString();
    env.shortcuts = {
        .startMenu = menu,
        .programs = menu,
        .desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation).toStdString(),
    };
    // The file itself, wherever the program was started from and whatever it was called.
    std::error_code ec;
    env.programFile = fs::read_symlink("/proc/self/exe", ec);
    if (ec) {
        env.programFile.clear();
    }
    env.iconFile =
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation).toStdString() +
        "/icons/hicolor/256x256/apps/zorvast.png";
    return env;
}

std::string programFilePath(const AppEnvironment& environment) {
    return (environment.programFile.empty() ? environment.programFolder / environment.executableName
                                            : environment.programFile)
        .string();
}

} // namespace zorvast::shell::ui
