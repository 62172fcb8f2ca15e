// /usr/bin/zorvast of an installed system: brings the user's own program folder in step with
// the installed program and starts the program from there, as if started in that folder.
#include "common/LauncherHandOver.h"
#include "common/platform/Platform.h"
#include "launcher/UserFolder.h"

#include <cstdio>
#include <cstdlib>
#include <pwd.h>
#include <string>
#include <unistd.h>
#include <vector>

#ifndef ZORVAST_SYSTEM_FOLDER
#error "ZORVAST_SYSTEM_FOLDER names the folder of the installed program"
#endif

namespace {

const char* homeFolder() {
    const char* home = std::getenv("HOME");
    if (home && *home) {
        return home;
    }
    const struct passwd* entry = ::getpwuid(::geteuid());
    return entry ? entry->pw_dir : nullptr;
}

} // namespace

int main(int argc, char* argv[]) {
    using namespace zorvast::launcher;
    const std::optional<std::filesystem::path> userFolder =
        userProgramFolder(std::getenv("XDG_DATA_HOME"), homeFolder());
    if (!userFolder) {
        std::fputs("zorvast: no home folder to keep the program in\n", stderr);
        return 1;
    }
    FolderResult result = prepareUserFolder(
        {ZORVAST_SYSTEM_FOLDER, *userFolder, zorvast::update::builtInPackageKey()});
    if (!result.ready) {
        std::fprintf(stderr, "zorvast: %s\n", result.error.c_str());
        return 1;
    }
    if (!result.ready->warning.empty()) {
        std::fprintf(stderr, "zorvast: %s\n", result.ready->warning.c_str());
    }
    // The program's folder is the current folder at its start.
    if (::fchdir(result.ready->folder.fd()) != 0) {
        std::perror("zorvast: cannot enter the program folder");
        return 1;
    }
    const std::string program = (*userFolder / kProgramName).string();
    std::vector<char*> arguments{const_cast<char*>(program.c_str())};
    arguments.insert(arguments.end(), argv + 1, argv + argc);
    arguments.push_back(nullptr);
    // The entries the program writes for the user start this launcher again, so a later start
    // from the menu also brings the folder in step after an upgrade.
    const std::filesystem::path launcher = zorvast::common::platform::ownProgramFile();
    if (!launcher.empty()) {
        ::setenv(zorvast::common::kLauncherVariable, launcher.c_str(), 1);
    }
    // The very file that was checked, whatever happens to the name meanwhile.
    ::fexecve(result.ready->program.get(), arguments.data(), environ);
    std::perror("zorvast: cannot start the program");
    return 126;
}
