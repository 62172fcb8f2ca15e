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
    for (const common::UnpackedEntry& entry : unpacked.entries) {
        if (entry.folder || entry.relative.find('/') != std::string::npos) {
            return refuse(fault, PackageFault::NotFlat);
        }
    }
    // The contents move into the signature check and back: a copy of a database costs more
    // than the check itself.
    std::vector<PackageEntry> signedEntries;
    signedEntries.reserve(unpacked.entries.size());
    for (common::UnpackedEntry& entry : unpacked.entries) {
        signedEntries.push_back({entry.relative, std::move(entry.data)});
    }
    const bool signedWithKey = verifyPackageEntries(signedEntries, key);
    for (std::size_t i = 0; i < signedEntries.size(); ++i) {
        unpacked.entries[i].data = std::move(signedEntries[i].content);
    }
    if (!signedWithKey) {
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
