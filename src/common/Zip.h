// ZIP archives: whole-archive extraction into a folder (here), the checks of entry names
// (ZipEntryNames.h) and creation for tools and tests (ZipCreation.h). Archives come from the
// internet and from installers' USB sticks, so extraction checks every name before writing and
// counts the bytes it inflates.
#pragma once

#include "common/ZipCreation.h"
#include "common/ZipEntryNames.h"

#include <cstdint>
#include <ctime>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zorvast::common {

// Bounds that stop a hostile archive (a ZIP bomb) before it fills the disk. The bytes actually
// inflated are counted, not only the sizes the archive declares.
struct ExtractLimits {
    std::uint64_t maxTotalBytes = 256ull * 1024 * 1024;
    std::uint64_t maxEntryBytes = 128ull * 1024 * 1024;
    std::uint64_t maxEntries = 10000;
};

struct ExtractResult {
    bool ok = false;
    std::string error; // empty when ok
    // Paths written, relative to the folder, UTF-8, in archive order; folders end in '/'.
    std::vector<std::string> entries;
};

// One entry of an archive read into memory: its path inside the target folder (no trailing '/'
// for folders), its bytes and recorded modification time.
struct UnpackedEntry {
    std::string relative;
    bool folder = false;
    std::string data;
    std::optional<std::time_t> modified;
};

struct UnpackResult {
    bool ok = false;
    std::string error;                  // empty when ok
    std::vector<UnpackedEntry> entries; // in archive order
};

// Reads and inflates every entry into memory, checking the whole archive first: names that are
// absolute or climb out of the folder, a name that occurs twice (or a file where another entry
// needs a folder), links, encrypted entries, and the limits (counted on the bytes actually
// inflated). Names are UTF-8 when the entry's UTF-8 flag is set and GBK otherwise. Any fault
// fails the archive as a whole.
UnpackResult unpackArchive(std::span<const unsigned char> archiveBytes,
                           const ExtractLimits& limits = {});

// Writes unpacked entries below `targetFolder` (created when missing), each through a fresh
// file renamed into place, never following a link found in the folder. A failure leaves what
// was there before the entry untouched; entries written before it stay (callers wipe them).
ExtractResult writeUnpacked(const std::vector<UnpackedEntry>& entries,
                            const std::string& targetFolder);

// unpackArchive, then writeUnpacked: a damaged archive writes nothing at all. Files get their
// entry's modification time.
ExtractResult extractArchive(const std::string& archivePath, const std::string& targetFolder,
                             const ExtractLimits& limits = {});

// The same for an archive held in memory (the embedded city archive, a downloaded body).
// A span rather than a string so that a path can never be taken for archive bytes.
ExtractResult extractArchive(std::span<const unsigned char> archiveBytes,
                             const std::string& targetFolder, const ExtractLimits& limits = {});

// The bytes of an archive file, read through one handle: nullopt for a link, anything but a
// regular file, or a file larger than `sizeLimit`.
std::optional<std::string> readArchiveFile(const std::string& archivePath, std::uint64_t sizeLimit);

inline std::span<const unsigned char> asBytes(std::string_view bytes) {
    return {reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()};
}

} // namespace zorvast::common
