#include "update/package/PackageManifest.h"

#include "common/Text.h"
#include "update/check/Version.h"

namespace zorvast::update {

namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kKindKey = "kind=";
constexpr std::string_view kVersionKey = "version=";
constexpr std::string_view kDataName = "data";
constexpr std::string_view kProgramName = "program";

std::string_view kindName(PackageKind kind) {
    return kind == PackageKind::Data ? kDataName : kProgramName;
}

} // namespace

bool fitsVersionAnswer(PackageKind kind, std::string_view version) {
    const std::size_t longest =
        kind == PackageKind::Data ? kDataVersionAnswerMax : kSoftwareVersionAnswerMax;
    if (version.empty() || version.size() > longest) {
        return false;
    }
    for (const char c : version) {
        if (c <= ' ' || c > '~') {
            return false;
        }
    }
    return true;
}

std::string formatManifest(const PackageManifest& manifest) {
    std::string text;
    text.append(kKindKey).append(kindName(manifest.kind)).append(kLineEnd);
    text.append(kVersionKey).append(manifest.version).append(kLineEnd);
    return text;
}

std::optional<PackageManifest> parseManifest(std::string_view text) {
    if (text.size() > kManifestMaxBytes) {
        return std::nullopt;
    }
    const std::optional<std::string_view> kind = common::takeKeyedLine(text, kKindKey);
    const std::optional<std::string_view> version =
        kind ? common::takeKeyedLine(text, kVersionKey) : std::nullopt;
    if (!version || !text.empty()) {
        return std::nullopt;
    }
    PackageManifest manifest;
    if (*kind == kDataName) {
        manifest.kind = PackageKind::Data;
    } else if (*kind == kProgramName) {
        manifest.kind = PackageKind::Software;
    } else {
        return std::nullopt;
    }
    // The allowed bytes leave no room for a stray CR or LF inside the value.
    if (!fitsVersionAnswer(manifest.kind, *version)) {
        return std::nullopt;
    }
    manifest.version = std::string(*version);
    return manifest;
}

std::optional<PackageManifest> manifestOf(const VerifiedPackage& package) {
    const std::string* text = package.entry(kManifestEntry);
    return text ? parseManifest(*text) : std::nullopt;
}

ReleaseFault checkRelease(const VerifiedPackage& package, PackageKind expected,
                          const Version& announced, const Version& installed) {
    const std::optional<PackageManifest> manifest = manifestOf(package);
    if (!manifest) {
        return ReleaseFault::NoManifest;
    }
    if (manifest->kind != expected) {
        return ReleaseFault::WrongKind;
    }
    const Version version(manifest->version);
    if (!version.sameAs(announced)) {
        return ReleaseFault::NotAnnounced;
    }
    if (!version.newerThan(installed)) {
        return ReleaseFault::NotNewer;
    }
    return ReleaseFault::None;
}

} // namespace zorvast::update
