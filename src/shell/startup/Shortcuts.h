// Launcher entries for the program (freedesktop desktop entries standing in for ".lnk" files):
// in the menu folder, examined twice for the Start Menu and the Programs menu, and on the
// desktop unless the program runs from the desktop itself.
#pragma once

#include "common/Clock.h"

#include <filesystem>
#include <functional>
#include <string>

namespace zorvast::shell {

inline constexpr const char* kShortcutName = "Zorvast.desktop";
inline constexpr const char* kShortcutComment = "最棒的卫视寻星资讯软件";

struct ShortcutPlaces {
    std::filesystem::path startMenu; // $XDG_DATA_HOME/applications
    std::filesystem::path programs;  // the same folder on this platform
    std::filesystem::path desktop;   // xdg-user-dir DESKTOP
};

// The program a desktop entry starts (its Exec line, unquoted), or "" when there is none.
std::string shortcutTarget(const std::filesystem::path& entry);

std::string desktopEntryText(const std::string& target, const std::filesystem::path& workingFolder,
                             const std::string& icon);

// Renews every entry whose target differs from `target`. `processEvents` runs before the 3000
// ms wait that comes before the desktop entry is written anew.
void renewShortcuts(const ShortcutPlaces& places, const std::string& target,
                    const std::filesystem::path& currentFolder, const std::string& icon,
                    common::Clock& clock, const std::function<void()>& processEvents);

} // namespace zorvast::shell
