#include "common/ZipEntryNames.h"

#include <vector>

namespace zorvast::common {

std::optional<std::string> entryTargetPath(std::string_view utf8Name) {
    std::string name(utf8Name);
    for (char& c : name) {
        if (c == '\\') {
            c = '/'; // Windows packers; GBK trail bytes 0x5C are gone after decoding
        }
    }
    const bool absolute = !name.empty() && name.front() == '/';
    const bool drive = name.size() >= 2 && name[1] == ':';
    if (name.empty() || absolute || drive) {
        return std::nullopt;
    }
    const bool folder = name.back() == '/';
    std::vector<std::string_view> parts;
    std::string_view rest = name;
    while (!rest.empty()) {
        const std::size_t slash = rest.find('/');
        const std::string_view part = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
        if (part.empty() || part == ".") {
            continue;
        }
        if (part == "..") {
            if (parts.empty()) {
                return std::nullopt;
            }
            parts.pop_back();
            continue;
        }
        parts.push_back(part);
    }
    if (parts.empty()) {
        return std::nullopt;
    }
    std::string path;
    for (const std::string_view part : parts) {
        if (!path.empty()) {
            path += '/';
        }
        path.append(part);
    }
    // A drive letter that only shows once "x/.." is gone is refused like one given outright.
    if (path.size() >= 2 && path[1] == ':') {
        return std::nullopt;
    }
    if (folder) {
        path += '/';
    }
    return path;
}

bool EntryNameClaims::claim(const std::string& relative, bool folder) {
    if (files_.count(relative) != 0 || (!folder && folders_.count(relative) != 0)) {
        return false;
    }
    for (std::size_t slash = relative.find('/'); slash != std::string::npos;
         slash = relative.find('/', slash + 1)) {
        const std::string parent = relative.substr(0, slash);
        if (files_.count(parent) != 0) {
            return false;
        }
        folders_.insert(parent);
    }
    (folder ? folders_ : files_).insert(relative);
    return true;
}

} // namespace zorvast::common
