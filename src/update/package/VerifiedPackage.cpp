#include "update/package/VerifiedPackage.h"

#include <algorithm>

namespace zorvast::update {

namespace {

std::optional<VerifiedPackage> refuse(PackageFault* fault, PackageFault why) {
    if (fault) {
        *fault = why;
    }
    return std::nullopt;
}

} // namespace

const std::string* VerifiedPackage::entry(std::string_view name) const {
    for (const common::UnpackedEntry& file : entries) {
        if (!file.folder && file.relative == name) {
            return &file.data;
        }
    }
    return nullptr;
}

std::optional<VerifiedPackage> verifyPackageBytes(std::string archiveBytes, const PublicKey& key,
                                                  std::uint64_t sizeLimit,
                                                  const PackageContentCheck& contentUsable,
                                                  PackageFault* fault) {
    if (archiveBytes.size() > sizeLimit) {
        return refuse(fault, PackageFault::Unreadable);
    }
    common::ExtractLimits limits;
    limits.maxTotalBytes = sizeLimit;
    limits.maxEntryBytes = std::min(limits.maxEntryBytes, sizeLimit);
    common::UnpackResult unpacked = common::unpackArchive(common::asBytes(archiveBytes), limits);
    if (!unpacked.ok) {
        return refuse(fault, PackageFault::Damaged);
    }
    std::vector<PackageEntry> signedEntries;
    signedEntries.reserve(unpacked.entries.size());
    for (const common::UnpackedEntry& entry : unpacked.entries) {
        if (entry.folder || entry.relative.find('/') != std::string::npos) {
            return refuse(fault, PackageFault::NotFlat);
        }
        signedEntries.push_back({entry.relative, entry.data});
    }
    if (!verifyPackageEntries(signedEntries, key)) {
        return refuse(fault, PackageFault::Unsigned);
    }
    VerifiedPackage package{std::move(archiveBytes), std::move(unpacked.entries)};
    if (contentUsable && !contentUsable(package)) {
        return refuse(fault, PackageFault::Unusable);
    }
    if (fault) {
        *fault = PackageFault::None;
    }
    return package;
}

std::optional<VerifiedPackage> readVerifiedPackage(const std::filesystem::path& archive,
                                                   const PublicKey& key, std::uint64_t sizeLimit,
                                                   const PackageContentCheck& contentUsable,
                                                   PackageFault* fault) {
    std::optional<std::string> bytes = common::readArchiveFile(archive.string(), sizeLimit);
    if (!bytes) {
        return refuse(fault, PackageFault::Unreadable);
    }
    return verifyPackageBytes(std::move(*bytes), key, sizeLimit, contentUsable, fault);
}

bool writePackageFiles(const VerifiedPackage& package, const std::filesystem::path& folder) {
    return common::writeUnpacked(package.entries, folder.string()).ok;
}

} // namespace zorvast::update
