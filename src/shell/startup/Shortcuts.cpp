#include "shell/startup/Shortcuts.h"

#include "common/Files.h"
#include "common/FolderHandle.h"
#include "common/Hooks.h"
#include "common/Text.h"

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace zorvast::shell {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

// Larger files are not entries of ours; they are replaced unread.
constexpr std::size_t kMaxEntrySize = 64 * 1024;

constexpr mode_t kMenuEntryMode = 0644;
// Some desktops trust a launcher on the desktop only when it is executable.
constexpr mode_t kDesktopEntryMode = 0755;

bool isControl(unsigned char c) {
    return c < 0x20 || c == 0x7f;
}

bool hasControl(std::string_view text) {
    for (const char c : text) {
        if (isControl(static_cast<unsigned char>(c))) {
            return true;
        }
    }
    return false;
}

// A value of type string: a backslash and the three control characters a value may carry are
// escaped, and so is a leading blank, which readers would otherwise drop.
std::string stringValue(std::string_view text) {
    std::string value;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\\') {
            value += "\\\\";
        } else if (c == '\n') {
            value += "\\n";
        } else if (c == '\t') {
            value += "\\t";
        } else if (c == '\r') {
            value += "\\r";
        } else if (c == ' ' && i == 0) {
            value += "\\s";
        } else {
            value += c;
        }
    }
    return value;
}

// Exec: the program as one double-quoted argument with ", `, $ and \ escaped inside the quotes,
// every % doubled so that none reads as a field code, and the whole escaped as a string value
// (readers undo that first, so a backslash in the path ends up as four).
std::string execValue(std::string_view program) {
    std::string quoted = "\"";
    for (const char c : program) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') {
            quoted += '\\';
        }
        quoted += c;
        if (c == '%') {
            quoted += '%';
        }
    }
    quoted += '"';
    return stringValue(quoted);
}

// Reading undoes the string escapes first. An unknown escape is kept whole, as an Exec line
// written by hand may carry the quoting backslashes alone (\" for ").
std::string unescapedString(std::string_view value) {
    std::string text;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            text += value[i];
            continue;
        }
        const char next = value[++i];
        switch (next) {
        case 's':
            text += ' ';
            break;
        case 'n':
            text += '\n';
            break;
        case 't':
            text += '\t';
            break;
        case 'r':
            text += '\r';
            break;
        case '\\':
            text += '\\';
            break;
        default:
            text += '\\';
            text += next;
        }
    }
    return text;
}

// Field codes: %% is a percent sign; the others stand for files or URLs, none here.
std::string withoutFieldCodes(std::string_view command) {
    std::string text;
    for (std::size_t i = 0; i < command.size(); ++i) {
        if (command[i] != '%' || i + 1 == command.size()) {
            text += command[i];
        } else if (command[++i] == '%') {
            text += '%';
        }
    }
    return text;
}

// The first argument of an Exec value.
std::string programFromExec(std::string_view value) {
    const std::string command = withoutFieldCodes(unescapedString(value));
    std::size_t i = command.find_first_not_of(" \t");
    if (i == std::string::npos) {
        return {};
    }
    if (command[i] != '"') {
        return command.substr(i, command.find_first_of(" \t", i) - i);
    }
    std::string program;
    for (++i; i < command.size(); ++i) {
        const char c = command[i];
        if (c == '"') {
            return program;
        }
        if (c == '\\' && i + 1 < command.size()) {
            const char next = command[i + 1];
            if (next == '"' || next == '`' || next == '$' || next == '\\') {
                program += next;
                ++i;
                continue;
            }
        }
        program += c;
    }
    return {}; // no closing quote: not an entry of ours
}

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

std::string targetFromEntry(std::string_view text) {
    bool inEntry = false;
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (line.empty() || line.front() == '#') {
            continue;
        }
        if (line.front() == '[') {
            inEntry = line == "[Desktop Entry]";
            continue;
        }
        const auto equals = line.find('=');
        if (inEntry && equals != std::string_view::npos &&
            trimmed(line.substr(0, equals)) == "Exec") {
            return programFromExec(trimmed(line.substr(equals + 1)));
        }
    }
    return {};
}

// The target of the entry open on `fd`; "" when it is not a regular file of a sane size.
std::string targetOfOpenEntry(int fd) {
    struct stat status {};
    if (fd < 0 || ::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) ||
        static_cast<std::uint64_t>(status.st_size) > kMaxEntrySize) {
        return {};
    }
    const std::optional<std::string> text = common::readAllFrom(fd);
    if (!text || text->size() > kMaxEntrySize) {
        return {};
    }
    return targetFromEntry(*text);
}

// Never through a link; O_NONBLOCK so that a FIFO at the name cannot stall the start-up.
constexpr int kReadFlags = O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;

bool trustedOwner(const struct stat& status) {
    return status.st_uid == ::geteuid() || status.st_uid == 0;
}

bool othersMayWrite(const struct stat& status) {
    return (status.st_mode & (S_IWGRP | S_IWOTH)) != 0;
}

// Every folder from the root down to `folder` belongs to the user or root. `folder` itself is
// not writable by group or others; the folders above it may be when sticky, as then nobody
// renames or deletes what is not theirs.
bool folderChainIsPrivate(const fs::path& folder) {
    std::vector<fs::path> chain;
    fs::path prefix;
    for (const fs::path& part : folder) {
        if (part.empty()) {
            continue;
        }
        prefix /= part;
        chain.push_back(prefix);
    }
    for (std::size_t i = 0; i < chain.size(); ++i) {
        struct stat status {};
        if (::stat(chain[i].c_str(), &status) != 0 || !S_ISDIR(status.st_mode) ||
            !trustedOwner(status)) {
            return false;
        }
        const bool last = i + 1 == chain.size();
        if (othersMayWrite(status) && (last || (status.st_mode & S_ISVTX) == 0)) {
            return false;
        }
    }
    return !chain.empty();
}

fs::path resolvedFolder(const fs::path& folder) {
    char resolved[PATH_MAX];
    return ::realpath(folder.c_str(), resolved) ? fs::path(resolved) : fs::path();
}

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
    if (targetOfOpenEntry(dir->openFile(kShortcutName).get()) == target) {
        return;
    }
    dir->removeFile(kShortcutName); // a link goes, not what it points at
    common::callIfSet(beforeWrite);
    // Written beside and renamed over: nothing planted at the name is ever written through.
    dir->replaceFile(kShortcutName, text, mode, true);
}

} // namespace

std::string shortcutTarget(const fs::path& entry) {
    const common::UniqueFd file(::open(entry.c_str(), kReadFlags));
    return targetOfOpenEntry(file.get());
}

std::optional<std::string> desktopEntryText(const std::string& target,
                                            const fs::path& workingFolder,
                                            const std::string& icon) {
    const std::string folder = workingFolder.string();
    if (target.empty() || hasControl(target) || hasControl(folder) ||
        !common::isValidUtf8(target) || !common::isValidUtf8(folder) ||
        !common::isValidUtf8(icon)) {
        return std::nullopt;
    }
    for (const char c : icon) {
        if (isControl(static_cast<unsigned char>(c)) && c != '\n' && c != '\t' && c != '\r') {
            return std::nullopt; // no escape carries these
        }
    }
    std::string text = "[Desktop Entry]\nType=Application\nName=Zorvast\n";
    text += "Comment=" + stringValue(kShortcutComment) + "\n";
    text += "Exec=" + execValue(target) + "\n";
    text += "Path=" + stringValue(folder) + "\n";
    if (!icon.empty()) {
        text += "Icon=" + stringValue(icon) + "\n";
    }
    text += "Terminal=false\nCategories=Utility;\n";
    return text;
}

bool programPlaceIsPrivate(const fs::path& program) {
    if (!program.is_absolute() || !program.has_filename()) {
        return false;
    }
    struct stat status {};
    if (::lstat(program.c_str(), &status) == 0) {
        if (!S_ISREG(status.st_mode) || !trustedOwner(status) || othersMayWrite(status)) {
            return false;
        }
    } else if (errno != ENOENT) {
        return false;
    }
    // The path as the entry names it, and where its links lead.
    const fs::path folder = program.parent_path();
    const fs::path resolved = resolvedFolder(folder);
    return folderChainIsPrivate(folder) && !resolved.empty() && folderChainIsPrivate(resolved);
}

void renewShortcuts(const ShortcutPlaces& places, const std::string& target,
                    const fs::path& currentFolder, const std::string& icon, common::Clock& clock,
                    const std::function<void()>& processEvents) {
    const std::optional<std::string> text = desktopEntryText(target, currentFolder, icon);
    if (!text || !programPlaceIsPrivate(target)) {
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
