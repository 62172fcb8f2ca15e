// Judging a downloaded data package and putting it in place: while the program runs (normal
// mode), or by storing it and restarting (first-download mode).
#pragma once

#include "common/Files.h"
#include "update/check/UpdateFlow.h"
#include "update/package/VerifiedPackage.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace zorvast::update {

// Sizes a usable data package's files must exceed.
inline constexpr std::uint64_t kMinimumDatabaseBytes = 1000000; // satdata.str
inline constexpr std::uint64_t kMinimumListBytes = 1;           // nch.str, sng.str

enum class PackageVerdict {
    Usable,     // read whole, flat, signed with the key and its content usable
    Unreadable, // missing, a link, too large, not a ZIP, damaged, or not written out
    Unusable,   // read whole, but not flat, unsigned or altered, or its content too small
};

// The verdict a refused package gets: damage is Unreadable, everything else Unusable.
PackageVerdict verdictOf(PackageFault fault);

// Whether a data package carries what the program needs: its database and both lists large
// enough.
bool dataPackageContentUsable(const VerifiedPackage& package);

// readVerifiedPackage for a data package: flat, signed with `key`, and its content usable.
std::optional<VerifiedPackage> readVerifiedDataPackage(const std::filesystem::path& archive,
                                                       const PublicKey& key,
                                                       std::uint64_t sizeLimit = kPackageSizeLimit,
                                                       PackageFault* fault = nullptr);

// readVerifiedDataPackage, and the package's files written into `folder` when it passes. The
// caller removes the folder when the package is not usable.
PackageVerdict examineDataPackage(const std::filesystem::path& archive,
                                  const std::filesystem::path& folder, const PublicKey& key,
                                  std::uint64_t sizeLimit = kPackageSizeLimit);

// The downloaded package (satdata.tmp) read once and verified in memory, its files written into
// the staging folder. The verified package when usable (the applies install from it, never from
// the download's path again); nullptr otherwise, with the staging folder removed.
std::shared_ptr<const VerifiedPackage> checkDataPackage(UpdateFlow& flow);

// Normal mode, on its own worker: the verified package's files replace the working folder's
// and its bytes become satdata.sta (written as a fresh satdata.tmp in place of the download,
// flushed and renamed).
void applyDataPackage(UpdateFlow& flow, const VerifiedPackage& package);

// First-download mode, on its own worker: the verified package's bytes are stored as
// satdata.sta the same way, and the program restarts through the restart helper.
void applyFirstDataPackage(UpdateFlow& flow, const VerifiedPackage& package);

using common::fileDateText;

} // namespace zorvast::update
