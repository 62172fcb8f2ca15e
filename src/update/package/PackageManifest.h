// What a package says it is: the entry "zorvast.pkg" names its kind and version. The package
// signature covers every entry but "zorvast.sig", so the manifest is signed with the rest and a
// server can neither replay an older package, pass a data package off as the program nor offer
// the installed one again.
//
// The entry is ASCII text, two lines, each ending in CR LF, in this order and nothing else:
//   kind=data            (or kind=program)
//   version=261210       (the version text as the version answer announces it)
#pragma once

#include "update/check/Version.h"
#include "update/package/PackageKind.h"
#include "update/package/VerifiedPackage.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace zorvast::update {

inline constexpr const char* kManifestEntry = "zorvast.pkg";
// The longest manifest that can be valid is well below this; anything longer is not read.
inline constexpr std::size_t kManifestMaxBytes = 64;

struct PackageManifest {
    PackageKind kind = PackageKind::Data;
    std::string version;

    bool operator==(const PackageManifest&) const = default;
};

// True when `version` could be the kind's version answer: 1 to 7 bytes for data, 1 to 5 for the
// program, every byte printable ASCII other than a space.
bool fitsVersionAnswer(PackageKind kind, std::string_view version);

// The entry's text; only a manifest whose version fits its answer gives one parseManifest takes.
std::string formatManifest(const PackageManifest& manifest);

// The manifest of exactly the text formatManifest writes; nullopt for anything else (a line
// missing, repeated, unknown or out of order, a bare CR or LF, a version that does not fit).
std::optional<PackageManifest> parseManifest(std::string_view text);

// The manifest of a verified package; nullopt when it has none or an unreadable one.
std::optional<PackageManifest> manifestOf(const VerifiedPackage& package);

enum class ReleaseFault {
    None,
    NoManifest,   // no "zorvast.pkg", or not a valid one
    WrongKind,    // the other kind of package
    NotAnnounced, // its version is not the one the version answer announced
    NotNewer,     // not newer than what is installed
};

// The package may be installed only when it is of the `expected` kind, its signed version is the
// `announced` one and is newer than `installed`.
ReleaseFault checkRelease(const VerifiedPackage& package, PackageKind expected,
                          const Version& announced, const Version& installed);

} // namespace zorvast::update
