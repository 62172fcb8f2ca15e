// Launcher entries for the program (freedesktop desktop entries standing in for ".lnk" files):
// in the menu folder, examined twice for the Start Menu and the Programs menu, and on the
// desktop unless the program runs from the desktop itself.
#pragma once

#include "common/Clock.h"
#include "common/platform/Platform.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace zorvast::shell {

inline constexpr const char* kShortcutComment = "最棒的卫视寻星资讯软件";

using ShortcutPlaces = common::platform::ShortcutPlaces;

// Renews every entry whose target differs from `target`. `processEvents` runs before the 3000
// ms wait that comes before the desktop entry is written anew. Writes nothing when `target`
// cannot be written into an entry or lives where others could replace it, and nothing into a
// folder that is a link or not the user's own. Entries get mode 0644, the desktop one 0755.
void renewShortcuts(const ShortcutPlaces& places, const std::string& target,
                    const std::filesystem::path& currentFolder, const std::string& icon,
                    common::Clock& clock, const std::function<void()>& processEvents);

} // namespace zorvast::shell
