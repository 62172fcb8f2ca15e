// A package read once into memory, unpacked there and verified there: what the program then
// writes, installs or starts is exactly what was verified, with no second look at a path that
// somebody could have swapped in between.
#pragma once

#include "common/Zip.h"
#include "update/package/PackageSignature.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zorvast::update {

enum class PackageFault {
    None,
    Unreadable, // missing, a link, not a regular file, larger than the limit
    Damaged,    // not a ZIP, a bad or repeated name, a link entry, a CRC error, over the limits
    NotFlat,    // holds a folder
    Unsigned,   // no signature, or one that does not match the key
    Unusable,   // signed, but its content fails the caller's check
};

struct VerifiedPackage {
    std::string archiveBytes;                   // the package file as read
    std::vector<common::UnpackedEntry> entries; // its files, signature entry included

    // The content of a file entry, or nullptr.
    const std::string* entry(std::string_view name) const;
};

// What a caller asks of the content beyond the signature (sizes of the files it needs).
using PackageContentCheck = std::function<bool(const VerifiedPackage& package)>;

// Reads `archive` through one handle (a link or anything but a regular file is refused),
// unpacks it in memory within `sizeLimit` (the file and its inflated content alike) and checks
// that it is flat and signed with `key`, then `contentUsable` (none: any content).
std::optional<VerifiedPackage> readVerifiedPackage(const std::filesystem::path& archive,
                                                   const PublicKey& key, std::uint64_t sizeLimit,
                                                   const PackageContentCheck& contentUsable = {},
                                                   PackageFault* fault = nullptr);

// The same for bytes already in memory.
std::optional<VerifiedPackage> verifyPackageBytes(std::string archiveBytes, const PublicKey& key,
                                                  std::uint64_t sizeLimit,
                                                  const PackageContentCheck& contentUsable = {},
                                                  PackageFault* fault = nullptr);

// Writes the package's files (the signature entry too) into `folder` through the folder's
// handle; false when one could not be written.
bool writePackageFiles(const VerifiedPackage& package, const std::filesystem::path& folder);

} // namespace zorvast::update
