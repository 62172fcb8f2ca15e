// Entry names of hostile archives: where a name may land inside the target folder, and that no
// two entries claim the same place.
#pragma once

#include <optional>
#include <set>
#include <string>
#include <string_view>

namespace zorvast::common {

// The path an entry name stands for inside the target folder: '\' read as '/', "." and empty
// components dropped, ".." resolved. nullopt when the name is absolute (also "C:..."), climbs
// above the folder, or is empty after resolving. A trailing '/' (a folder entry) is kept.
std::optional<std::string> entryTargetPath(std::string_view utf8Name);

// The places an archive's entries claim: one name, one thing. A second entry under a name, or a
// file where another entry needs a folder, would decide by its order which one wins.
class EntryNameClaims {
public:
    // Claims `relative` (an entryTargetPath without its trailing '/') and the folders above it;
    // false when that clashes with an entry claimed before.
    bool claim(const std::string& relative, bool folder);

private:
    std::set<std::string> files_;
    std::set<std::string> folders_;
};

} // namespace zorvast::common
