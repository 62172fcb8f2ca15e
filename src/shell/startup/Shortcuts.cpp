#include "shell/startup/Shortcuts.h"

#include "common/Files.h"

#include <sstream>

namespace zorvast::shell {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

// Exec quoting of the desktop entry format: a path with blanks or specials goes in double
// quotes, with ", `, $ and \ escaped.
std::string quotedExec(const std::string& target) {
    if (target.find_first_of(" \t\"`$\\'") == std::string::npos) {
        return target;
    }
    std::string quoted = "\"";
    for (char c : target) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') {
            quoted += '\\';
        }
        quoted += c;
    }
    return quoted + "\"";
}

std::string unquotedExec(const std::string& value) {
    if (value.size() < 2 || value.front() != '"') {
        // Unquoted: the program is the first word.
        return value.substr(0, value.find(' '));
    }
    std::string plain;
    for (std::size_t i = 1; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size()) {
            plain += value[++i];
        } else if (value[i] == '"') {
            break;
        } else {
            plain += value[i];
        }
    }
    return plain;
}

std::string normalisedFolder(const fs::path& folder) {
    std::string text = folder.lexically_normal().string();
    if (text.empty() || text.back() != '/') {
        text += '/';
    }
    return text;
}

bool renewIfStale(const fs::path& folder, const std::string& target, const std::string& text,
                  const std::function<void()>& beforeWrite) {
    const fs::path entry = folder / kShortcutName;
    if (shortcutTarget(entry) == target) {
        return false;
    }
    std::error_code ec;
    fs::remove(entry, ec);
    if (beforeWrite) {
        beforeWrite();
    }
    common::createFolders(folder);
    if (common::writeFileBytes(entry, text)) {
        fs::permissions(entry, fs::perms::owner_exec, fs::perm_options::add, ec);
    }
    return true;
}

} // namespace

std::string shortcutTarget(const fs::path& entry) {
    const auto bytes = common::readFileBytes(entry);
    if (!bytes) {
        return {};
    }
    std::istringstream lines(*bytes);
    std::string line;
    bool inEntry = false;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (!line.empty() && line.front() == '[') {
            inEntry = line == "[Desktop Entry]";
        } else if (inEntry && line.rfind("Exec=", 0) == 0) {
            return unquotedExec(line.substr(5));
        }
    }
    return {};
}

std::string desktopEntryText(const std::string& target, const fs::path& workingFolder,
                             const std::string& icon) {
    std::string text = "[Desktop Entry]\nType=Application\nName=Zorvast\n";
    text += std::string("Comment=") + kShortcutComment + "\n";
    text += "Exec=" + quotedExec(target) + "\n";
    text += "Path=" + workingFolder.string() + "\n";
    if (!icon.empty()) {
        text += "Icon=" + icon + "\n";
    }
    text += "Terminal=false\nCategories=Utility;\n";
    return text;
}

void renewShortcuts(const ShortcutPlaces& places, const std::string& target,
                    const fs::path& currentFolder, const std::string& icon, common::Clock& clock,
                    const std::function<void()>& processEvents) {
    const std::string text = desktopEntryText(target, currentFolder, icon);
    renewIfStale(places.startMenu, target, text, {});
    renewIfStale(places.programs, target, text, {});
    if (normalisedFolder(currentFolder) == normalisedFolder(places.desktop)) {
        return; // running from the desktop: an entry beside the program is not wanted
    }
    renewIfStale(places.desktop, target, text, [&] {
        if (processEvents) {
            processEvents();
        }
        clock.sleepFor(3000ms);
    });
}

} // namespace zorvast::shell
