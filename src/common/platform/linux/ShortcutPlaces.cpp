// Where desktop entries go on Linux: the menus read $XDG_DATA_HOME/applications (both menus are
// that one folder), the desktop is the folder xdg-user-dirs names DESKTOP in user-dirs.dirs.
#include "common/platform/Platform.h"

#include "common/FolderHandle.h"
#include "common/platform/linux/Xdg.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdint>
#include <string_view>

namespace zorvast::common::platform {

namespace fs = std::filesystem;

namespace {

// The file is the user's own, but a sane one is a few lines long.
constexpr std::size_t kMaxUserDirsSize = 64 * 1024;

std::optional<std::string> userDirsText(const Environment& environment) {
    const fs::path file = xdg::configHome(environment) / "user-dirs.dirs";
    // O_NONBLOCK: a FIFO at the name must not stall the start-up.
    const UniqueFd fd(::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat status {};
    if (!fd || ::fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode) ||
        static_cast<std::uint64_t>(status.st_size) > kMaxUserDirsSize) {
        return std::nullopt;
    }
    return readAllFrom(fd.get());
}

// A value as xdg-user-dirs writes it: "$HOME/Desktop" or "/an/absolute/path", quoted. Anything
// else names no folder.
std::optional<fs::path> userDirFromValue(std::string_view value, const fs::path& home) {
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
        value = value.substr(1, value.size() - 2);
    }
    constexpr std::string_view kHome = "$HOME";
    std::string path;
    if (value.starts_with(kHome) && (value.size() == kHome.size() || value[kHome.size()] == '/')) {
        path = home.string();
        if (path == "/") {
            path.clear();
        }
        path += value.substr(kHome.size());
    } else if (value.starts_with('/')) {
        path = value;
    } else {
        return std::nullopt;
    }
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    return path.empty() ? fs::path("/") : fs::path(path);
}

// The last XDG_DESKTOP_DIR line decides, as when a shell reads the file.
fs::path desktopFolder(const Environment& environment) {
    const fs::path home = xdg::home(environment);
    const fs::path fallback = home / "Desktop";
    const std::optional<std::string> text = userDirsText(environment);
    if (!text) {
        return fallback;
    }
    constexpr std::string_view kKey = "XDG_DESKTOP_DIR=";
    std::optional<fs::path> chosen;
    std::string_view rest = *text;
    while (!rest.empty()) {
        const auto end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (line.starts_with(kKey)) {
            chosen = userDirFromValue(line.substr(kKey.size()), home);
        }
    }
    return chosen ? *chosen : fallback;
}

} // namespace

ShortcutPlaces shortcutPlaces(const Environment& environment) {
    const fs::path menu = xdg::dataHome(environment) / "applications";
    return {.startMenu = menu, .programs = menu, .desktop = desktopFolder(environment)};
}

fs::path shortcutIconFile(const Environment& environment) {
    return xdg::dataHome(environment) / "icons" / "hicolor" / "256x256" / "apps" / "zorvast.png";
}

} // namespace zorvast::common::platform
