// Shortcuts on Linux are freedesktop desktop entries: the program is the first argument of the
// Exec value, which is quoted and escaped twice over (as an argument, then as a string value).
#include "common/platform/Platform.h"

#include "common/FolderHandle.h"
#include "common/Text.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdint>
#include <string_view>

namespace zorvast::common::platform {

namespace fs = std::filesystem;

const char* const kShortcutFileName = "Zorvast.desktop";

namespace {

// Larger files are not entries of ours; they are replaced unread.
constexpr std::size_t kMaxEntrySize = 64 * 1024;

// Never through a link; O_NONBLOCK so that a FIFO at the name cannot stall the reader.
constexpr int kReadFlags = O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;

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

// Only a newline, a tab and a carriage return have escapes in a string value.
bool hasUnescapableControl(std::string_view text) {
    for (const char c : text) {
        if (isControl(static_cast<unsigned char>(c)) && c != '\n' && c != '\t' && c != '\r') {
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

} // namespace

std::optional<std::string> shortcutText(const Shortcut& shortcut) {
    const std::string folder = shortcut.workingFolder.string();
    if (shortcut.target.empty() || hasControl(shortcut.target) || hasControl(folder) ||
        hasUnescapableControl(shortcut.icon) || hasUnescapableControl(shortcut.comment)) {
        return std::nullopt;
    }
    for (const std::string_view text :
         {std::string_view(shortcut.target), std::string_view(folder),
          std::string_view(shortcut.icon), std::string_view(shortcut.comment)}) {
        if (!isValidUtf8(text)) {
            return std::nullopt;
        }
    }
    std::string text = "[Desktop Entry]\nType=Application\nName=Zorvast\n";
    if (!shortcut.comment.empty()) {
        text += "Comment=" + stringValue(shortcut.comment) + "\n";
    }
    text += "Exec=" + execValue(shortcut.target) + "\n";
    text += "Path=" + stringValue(folder) + "\n";
    if (!shortcut.icon.empty()) {
        text += "Icon=" + stringValue(shortcut.icon) + "\n";
    }
    text += "Terminal=false\nCategories=Utility;\n";
    return text;
}

std::string shortcutTargetOfOpenFile(int fd) {
    struct stat status {};
    if (fd < 0 || ::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) ||
        static_cast<std::uint64_t>(status.st_size) > kMaxEntrySize) {
        return {};
    }
    const std::optional<std::string> text = readAllFrom(fd);
    if (!text || text->size() > kMaxEntrySize) {
        return {};
    }
    return targetFromEntry(*text);
}

std::string shortcutTarget(const fs::path& file) {
    const UniqueFd opened(::open(file.c_str(), kReadFlags));
    return shortcutTargetOfOpenFile(opened.get());
}

} // namespace zorvast::common::platform
