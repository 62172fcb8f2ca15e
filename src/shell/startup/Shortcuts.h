// Launcher entries for the program (freedesktop desktop entries standing in for ".lnk" files):
// in the menu folder, examined twice for the Start Menu and the Programs menu, and on the
// desktop unless the program runs from the desktop itself.
#pragma once

#include "common/Clock.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace zorvast::shell {

inline constexpr const char* kShortcutName = "Zorvast.desktop";
inline constexpr const char* kShortcutComment = "最棒的卫视寻星资讯软件";

struct ShortcutPlaces {
    std::filesystem::path startMenu; // $XDG_DATA_HOME/applications
    std::filesystem::path programs;  // the same folder on this platform
    std::filesystem::path desktop;   // xdg-user-dir DESKTOP
};

// The program a desktop entry starts: the first argument of its Exec value with the entry's
// escapes undone, or "" when there is none (also when `entry` is a link or not a regular file).
std::string shortcutTarget(const std::filesystem::path& entry);

// The entry's text, with the program quoted and every value escaped as desktop entries want.
// Nothing when the program or the folder holds a control character, or a value is not UTF-8.
std::optional<std::string> desktopEntryText(const std::string& target,
                                            const std::filesystem::path& workingFolder,
                                            const std::string& icon);

// True when only the user or root can put another program at `program`: the file (when it
// exists) is a regular file and it and its folder belong to one of them and are not writable by
// group or others; the folders above may be writable by others only when sticky (like /tmp).
bool programPlaceIsPrivate(const std::filesystem::path& program);

// Renews every entry whose target differs from `target`. `processEvents` runs before the 3000
// ms wait that comes before the desktop entry is written anew. Writes nothing when `target`
// cannot be written into an entry or lives where others could replace it, and nothing into a
// folder that is a link or not the user's own. Entries get mode 0644, the desktop one 0755.
void renewShortcuts(const ShortcutPlaces& places, const std::string& target,
                    const std::filesystem::path& currentFolder, const std::string& icon,
                    common::Clock& clock, const std::function<void()>& processEvents);

} // namespace zorvast::shell
