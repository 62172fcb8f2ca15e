// Where this run of the program lives: its folders, its own file and the name it was started
// under. Filled from the system for the program, by hand in tests.
#pragma once

#include "common/Clock.h"
#include "shell/startup/Shortcuts.h"

#include <filesystem>
#include <string>
#include <vector>

namespace zorvast::shell::ui {

struct AppEnvironment {
    std::filesystem::path temporaryFolder; // the private area (common/platform/Platform.h)
    std::filesystem::path programFolder;   // the current folder at launch
    // Package downloads, kept across runs to be resumed (common/platform/Platform.h); empty: a
    // folder in the temporary folder.
    std::filesystem::path downloadFolder;
    // The name the program was started under (argv[0] without its folder): a helper's name
    // makes this run a helper role.
    std::string executableName;
    // The command line after argv[0]: what a helper role is handed.
    std::vector<std::string> arguments;
    ShortcutPlaces shortcuts;
    common::Clock* clock = nullptr; // the system clock when null
    // The running program's own file (common::platform::ownProgramFile): started once more as a
    // helper, and what the helper restarts or replaces. Empty: the program folder + the
    // executable's name.
    std::filesystem::path programFile;
    // The installed system's launcher that started this run (its file, from
    // ZORVAST_LAUNCHER): it brings the user's program folder in step with the installed
    // program, so the launcher entries start it rather than the program file. Empty: none.
    std::filesystem::path launcherFile;
    // Where the desktop entry's icon "zorvast" is written with the launcher entries; empty:
    // nowhere.
    std::filesystem::path iconFile;
};

// The environment of this process; `commandLine` is argv as main received it.
AppEnvironment systemEnvironment(const std::vector<std::string>& commandLine);

// The program file the helpers start.
std::string programFilePath(const AppEnvironment& environment);

// What the launcher entries start: the system's launcher when one started this run, else the
// program file.
std::string shortcutTargetPath(const AppEnvironment& environment);

} // namespace zorvast::shell::ui
