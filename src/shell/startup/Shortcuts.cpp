#include "shell/startup/Shortcuts.h"

#include "common/Files.h"
#include "common/FolderHandle.h"
#include "common/Hooks.h"

#include <sys/stat.h>
#include <unistd.h>

namespace zorvast::shell {

namespace fs = std::filesystem;
namespace platform = common::platform;
using namespace std::chrono_literals;

namespace {

constexpr mode_t kMenuEntryMode = 0644;
// Some desktops trust a launcher on the desktop only when it is executable.
constexpr mode_t kDesktopEntryMode = 0755;

// The user's own folder for entries, opened without following a link.
std::optional<common::FolderHandle> openEntryFolder(const fs::path& folder) {
    common::createFolders(folder);
    std::optional<common::FolderHandle> dir = common::FolderHandle::open(folder);
    struct stat status {};
    if (!dir || ::fstat(dir->fd(), &status) != 0 || status.st_uid != ::geteuid()) {
        return std::nullopt;
    }
    return dir;
}

std::string normalisedFolder(const fs::path& folder) {
    std::string text = folder.lexically_normal().string();
    if (text.empty() || text.back() != '/') {
        text += '/';
    }
    return text;
}

void renewIfStale(const fs::path& folder, const std::string& target, const std::string& text,
                  mode_t mode, const std::function<void()>& beforeWrite) {
    const std::optional<common::FolderHandle> dir = openEntryFolder(folder);
    if (!dir) {
        return;
    }
    if (platform::shortcutTargetOfOpenFile(dir->openFile(platform::kShortcutFileName).get()) ==
        target) {
        return;
    }
    dir->removeFile(platform::kShortcutFileName); // a link goes, not what it points at
    common::callIfSet(beforeWrite);
    // Written beside and renamed over: nothing planted at the name is ever written through.
    dir->replaceFile(platform::kShortcutFileName, text, mode, true);
}

} // namespace

void renewShortcuts(const ShortcutPlaces& places, const std::string& target,
                    const fs::path& currentFolder, const std::string& icon, common::Clock& clock,
                    const std::function<void()>& processEvents) {
    const std::optional<std::string> text = platform::shortcutText({.target = target,
                                                                    .workingFolder = currentFolder,
                                                                    .icon = icon,
                                                                    .comment = kShortcutComment});
    if (!text || !platform::programPlaceIsPrivate(target)) {
        return; // an entry must never start something another user could have put there
    }
    renewIfStale(places.startMenu, target, *text, kMenuEntryMode, {});
    renewIfStale(places.programs, target, *text, kMenuEntryMode, {});
    if (normalisedFolder(currentFolder) == normalisedFolder(places.desktop)) {
        return; // running from the desktop: an entry beside the program is not wanted
    }
    renewIfStale(places.desktop, target, *text, kDesktopEntryMode, [&] {
        common::callIfSet(processEvents);
        clock.sleepFor(3000ms);
    });
}

} // namespace zorvast::shell
