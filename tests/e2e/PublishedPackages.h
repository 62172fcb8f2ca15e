// The packages the end-to-end update tests publish and take apart: a package's entries and
// database version, archives written, signatures removed or made again, mirror lists.
#pragma once

#include "channels/jet/JetConnection.h"
#include "channels/store/StoredFile.h"
#include "common/Files.h"
#include "common/Zip.h"
#include "e2e/UpdateScene.h"
#include "support/PackageVersion.h"
#include "update/package/PackageSignature.h"

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace zorvast::testing::e2e {

// URLs joined the way a mirror list joins them: by the full-width comma, in GBK.
inline std::string mirrorList(const std::vector<std::string>& urls) {
    std::string body;
    for (const std::string& url : urls) {
        if (!body.empty()) {
            body += "\xA3\xAC";
        }
        body += url;
    }
    return body;
}

// The entries of a package, in archive order.
inline std::vector<common::ArchiveEntry> entriesOf(const fs::path& package,
                                                   const fs::path& scratch) {
    common::removeTree(scratch);
    const common::ExtractResult extracted =
        common::extractArchive(package.string(), scratch.string());
    if (!extracted.ok) {
        throw std::runtime_error("cannot unpack " + package.string() + ": " + extracted.error);
    }
    std::vector<common::ArchiveEntry> entries;
    for (const std::string& name : extracted.entries) {
        entries.push_back({name, readBytes(scratch / name), true, kNewDate});
    }
    common::removeTree(scratch);
    return entries;
}

inline void writeArchive(const fs::path& path, const std::vector<common::ArchiveEntry>& entries) {
    std::string error;
    if (!common::createArchive(path.string(), entries, &error)) {
        throw std::runtime_error(error);
    }
}

inline std::vector<common::ArchiveEntry>
withoutSignature(std::vector<common::ArchiveEntry> entries) {
    std::erase_if(entries,
                  [](const common::ArchiveEntry& e) { return e.name == update::kSignatureEntry; });
    return entries;
}

// The entries signed again with the test key, the way the publisher signs them.
inline std::vector<common::ArchiveEntry> signedAgain(std::vector<common::ArchiveEntry> entries) {
    entries = withoutSignature(std::move(entries));
    const auto key = update::readSecretKeyFile(ZORVAST_SOURCE_DIR "/keys/test-package.sec");
    if (!key) {
        throw std::runtime_error("no test signing key");
    }
    std::vector<update::PackageEntry> plain;
    for (const common::ArchiveEntry& e : entries) {
        plain.push_back({e.name, e.data});
    }
    const auto signature = update::signPackageEntries(plain, *key);
    if (!signature) {
        throw std::runtime_error("cannot sign");
    }
    entries.push_back({update::kSignatureEntry, *signature, true, kNewDate});
    return entries;
}

} // namespace zorvast::testing::e2e
