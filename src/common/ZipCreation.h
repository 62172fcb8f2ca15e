// ZIP archives made by the project's tools and tests: deflated, dated by the day given rather
// than the clock, so the same entries always give the same bytes.
#pragma once

#include <string>
#include <vector>

namespace zorvast::common {

// Midnight of a day (1980..2107), the entry's recorded modification time.
struct EntryDate {
    int year = 2024;
    int month = 1;
    int day = 1;
};

struct ArchiveEntry {
    std::string name; // stored exactly as given; a name ending in '/' with no data is a folder
    std::string data;
    bool utf8Name = true; // sets the UTF-8 flag for non-ASCII names; false stores them unflagged
    EntryDate date;
};

// Writes a deflated archive (replacing `path`). False with a reason in `error` on failure.
// Names must be unique; with utf8Name they must be valid UTF-8.
bool createArchive(const std::string& path, const std::vector<ArchiveEntry>& entries,
                   std::string* error = nullptr);

} // namespace zorvast::common
