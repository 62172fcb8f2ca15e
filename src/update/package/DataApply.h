// Judging a downloaded data package and putting it in place: while the program runs (normal
// mode), or by storing it and restarting (first-download mode).
#pragma once

#include "update/check/UpdateFlow.h"

#include "common/Files.h"
#include <cstdint>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace zorvast::update {

// Sizes a usable package's files must exceed.
inline constexpr std::uint64_t kMinimumDatabaseBytes = 1000000; // satdata.str
inline constexpr std::uint64_t kMinimumListBytes = 1;           // nch.str, sng.str
// The ZIP itself, before extraction: no larger than `sizeLimit` bytes and no entry that is a
// symbolic link.
bool packageArchiveAcceptable(const std::filesystem::path& archive,
                              std::uint64_t sizeLimit = kPackageSizeLimit);

enum class PackageVerdict {
    Usable,     // extracted, flat, large enough and signed with the key
    Unreadable, // missing, too large, a link entry, or the extraction failed
    Unusable,   // extracted, but too small, not flat, unsigned or altered
};

// Extracts `archive` into `folder` (which the caller has emptied) and judges what came out: a
// flat folder signed with `key` whose content `contentUsable` accepts (none: any); extraction
// stops once `sizeLimit` bytes have been inflated. The folder is left as it is.
PackageVerdict
examinePackage(const std::filesystem::path& archive, const std::filesystem::path& folder,
               const PublicKey& key, std::uint64_t sizeLimit,
               const std::function<bool(const std::filesystem::path&)>& contentUsable);

// examinePackage for a data package: its database and both lists large enough. The caller
// removes the folder when the package is not usable.
PackageVerdict examineDataPackage(const std::filesystem::path& archive,
                                  const std::filesystem::path& folder, const PublicKey& key,
                                  std::uint64_t sizeLimit = kPackageSizeLimit);

// The downloaded package (satdata.tmp) extracted into the staging folder and checked; it stays
// there when usable.
bool checkDataPackage(UpdateFlow& flow);

// Normal mode, on its own worker: the staged files replace the working folder's and the
// download becomes satdata.sta.
void applyDataPackage(UpdateFlow& flow);

// First-download mode, on its own worker: the download is stored as satdata.sta and the program
// restarts through the restart helper.
void applyFirstDataPackage(UpdateFlow& flow);

using common::fileDateText;

// Copies `from` to a temporary file beside `to` with the given permission bits, flushes it and
// renames it over `to`: `to` is always either the old file or the complete new one.
bool copyFileAtomically(const std::filesystem::path& from, const std::filesystem::path& to,
                        unsigned permissions = 0644);

// rename(2) of `from` over `to` after flushing `from`, then the folder flushed.
bool replaceFileAtomically(const std::filesystem::path& from, const std::filesystem::path& to);

} // namespace zorvast::update
