#include "update/package/PackageManifest.h"

#include "UpdateFakes.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace zorvast::update {
namespace {

namespace fs = std::filesystem;
using testing::readAll;
using testing::signedAsIs;
using testing::TempFolder;
using testing::testPublicKey;
using testing::writeArchive;

const char* kindName(PackageKind kind) {
    return kind == PackageKind::Data ? "Data" : "Software";
}

const char* faultName(ReleaseFault fault) {
    switch (fault) {
    case ReleaseFault::None:
        return "None";
    case ReleaseFault::NoManifest:
        return "NoManifest";
    case ReleaseFault::WrongKind:
        return "WrongKind";
    case ReleaseFault::NotAnnounced:
        return "NotAnnounced";
    case ReleaseFault::NotNewer:
        return "NotNewer";
    }
    return "?";
}

// A package of one file and, unless nullopt, the manifest entry `manifest`, signed with the test
// key, as read back through the package check.
class SignedPackages {
public:
    std::vector<common::ArchiveEntry> entries(const std::optional<std::string>& manifest) const {
        std::vector<common::ArchiveEntry> files = {{"plumo.exe", std::string(600, 'p')}};
        if (manifest) {
            files.push_back({kManifestEntry, *manifest});
        }
        return files;
    }

    std::string archive(const std::vector<common::ArchiveEntry>& files) const {
        const fs::path path = temp_.path() / ("package" + std::to_string(count_++) + ".zip");
        writeArchive(path, files);
        return readAll(path.string());
    }

    std::optional<VerifiedPackage> read(const std::string& archiveBytes,
                                        PackageFault* fault = nullptr) const {
        return verifyPackageBytes(archiveBytes, testPublicKey(), kPackageSizeLimit, {}, fault);
    }

    VerifiedPackage signedWith(const std::optional<std::string>& manifest) const {
        std::optional<VerifiedPackage> package = read(archive(signedAsIs(entries(manifest))));
        if (!package) {
            throw std::runtime_error("the signed test package does not verify");
        }
        return *package;
    }

private:
    TempFolder temp_;
    mutable int count_ = 0;
};

TEST(PackageManifest, TheTextIsTwoLinesWithCrLf) {
    EXPECT_EQ(formatManifest({PackageKind::Data, "261210"}), "kind=data\r\nversion=261210\r\n");
    EXPECT_EQ(formatManifest({PackageKind::Software, "1.03"}), "kind=program\r\nversion=1.03\r\n");
}

TEST(PackageManifest, WellFormedTextsAreRead) {
    const std::vector<PackageManifest> good = {
        {PackageKind::Data, "261210"},    {PackageKind::Data, "1234567"},  // longest data answer
        {PackageKind::Data, "1"},         {PackageKind::Software, "1.03"}, //
        {PackageKind::Software, "1.035"},                                  // longest program answer
        {PackageKind::Software, "1e-7"},                                   // read as a number later
    };
    for (const PackageManifest& manifest : good) {
        const std::string text = formatManifest(manifest);
        const std::optional<PackageManifest> read = parseManifest(text);
        ASSERT_TRUE(read) << text;
        EXPECT_EQ(read->kind, manifest.kind) << text;
        EXPECT_EQ(read->version, manifest.version) << text;
    }
}

TEST(PackageManifest, AnythingElseIsRefused) {
    struct Case {
        const char* what;
        std::string text;
    };
    const std::vector<Case> cases = {
        {"empty", ""},
        {"kind line only", "kind=data\r\n"},
        {"version line only", "version=261210\r\n"},
        {"lines swapped", "version=261210\r\nkind=data\r\n"},
        {"kind twice", "kind=data\r\nkind=data\r\nversion=261210\r\n"},
        {"version twice", "kind=data\r\nversion=261210\r\nversion=261210\r\n"},
        {"an unknown key after", "kind=data\r\nversion=261210\r\nsize=12\r\n"},
        {"an unknown key between", "kind=data\r\nsize=12\r\nversion=261210\r\n"},
        {"an unknown key instead", "type=data\r\nversion=261210\r\n"},
        {"an empty line after", "kind=data\r\nversion=261210\r\n\r\n"},
        {"an empty line before", "\r\nkind=data\r\nversion=261210\r\n"},
        {"unknown kind", "kind=software\r\nversion=1.03\r\n"},
        {"kind in capitals", "kind=Data\r\nversion=261210\r\n"},
        {"empty kind", "kind=\r\nversion=261210\r\n"},
        {"space after the equals sign", "kind= data\r\nversion=261210\r\n"},
        {"space before the equals sign", "kind =data\r\nversion=261210\r\n"},
        {"key in capitals", "KIND=data\r\nversion=261210\r\n"},
        {"LF line ends", "kind=data\nversion=261210\n"},
        {"CR line ends", "kind=data\rversion=261210\r"},
        {"last line without its end", "kind=data\r\nversion=261210"},
        {"last line ending in LF only", "kind=data\r\nversion=261210\n"},
        {"a CR before the line end", "kind=data\r\r\nversion=261210\r\n"},
        {"a LF inside the version", "kind=data\r\nversion=26\n1210\r\n"},
        {"a byte-order mark", "\xef\xbb\xbfkind=data\r\nversion=261210\r\n"},
        {"empty version", "kind=data\r\nversion=\r\n"},
        {"data version of 8 bytes", "kind=data\r\nversion=26121011\r\n"},
        {"program version of 6 bytes", "kind=program\r\nversion=1.0300\r\n"},
        {"a data version the program may have", "kind=program\r\nversion=261210\r\n"},
        {"space in the version", "kind=data\r\nversion=2612 0\r\n"},
        {"trailing space in the version", "kind=program\r\nversion=1.03 \r\n"},
        {"tab in the version", "kind=data\r\nversion=\t261210\r\n"},
        {"GBK bytes in the version", "kind=data\r\nversion=\xb0\xe6\xb1\xbe\r\n"},
        {"NUL in the version", std::string("kind=data\r\nversion=26\0"
                                           "1210\r\n",
                                           25)},
        {"DEL in the version", "kind=data\r\nversion=2612\x7f\r\n"},
        {"NUL after the text", std::string("kind=data\r\nversion=261210\r\n\0", 28)},
        {"over-long", "kind=data\r\nversion=261210\r\n" + std::string(100000, ' ')},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(parseManifest(c.text)) << c.what;
    }
}

TEST(PackageManifest, VersionsFitTheirAnswers) {
    struct Case {
        PackageKind kind;
        std::string version;
        bool fits;
    };
    const std::vector<Case> cases = {
        {PackageKind::Data, "", false},          {PackageKind::Data, "1", true},
        {PackageKind::Data, "1234567", true},    {PackageKind::Data, "12345678", false},
        {PackageKind::Software, "12345", true},  {PackageKind::Software, "123456", false},
        {PackageKind::Software, "!~", true}, // the edges of printable ASCII
        {PackageKind::Software, "1 2", false},   {PackageKind::Software, "1\x1f", false},
        {PackageKind::Software, "1\x7f", false}, {PackageKind::Software, "1\x80", false},
        {PackageKind::Data, "\xa3\xb1", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(fitsVersionAnswer(c.kind, c.version), c.fits)
            << kindName(c.kind) << " \"" << c.version << "\"";
    }
}

TEST(PackageManifest, ReadOnlyFromTheVerifiedPackage) {
    const SignedPackages packages;
    const std::optional<PackageManifest> data =
        manifestOf(packages.signedWith("kind=data\r\nversion=261210\r\n"));
    ASSERT_TRUE(data);
    EXPECT_EQ(*data, (PackageManifest{PackageKind::Data, "261210"}));
    EXPECT_FALSE(manifestOf(packages.signedWith(std::nullopt))) << "no manifest entry";
    EXPECT_FALSE(manifestOf(packages.signedWith("kind=data\nversion=261210\n")))
        << "a signed manifest that is not well formed";
}

TEST(PackageManifest, AManifestChangedAfterSigningBreaksTheSignature) {
    const SignedPackages packages;
    const std::vector<common::ArchiveEntry> good =
        signedAsIs(packages.entries("kind=data\r\nversion=261201\r\n"));
    ASSERT_TRUE(packages.read(packages.archive(good))) << "the unaltered package";

    const auto changed = [&](const std::function<void(std::vector<common::ArchiveEntry>&)>& edit) {
        std::vector<common::ArchiveEntry> entries = good;
        edit(entries);
        return packages.archive(entries);
    };
    const auto manifestOfEntries = [](std::vector<common::ArchiveEntry>& entries) -> std::string& {
        for (common::ArchiveEntry& entry : entries) {
            if (entry.name == kManifestEntry) {
                return entry.data;
            }
        }
        throw std::runtime_error("no manifest entry");
    };
    struct Case {
        const char* what;
        std::string archive;
    };
    const std::vector<Case> cases = {
        {"version raised",
         changed([&](auto& e) { manifestOfEntries(e) = "kind=data\r\nversion=261210\r\n"; })},
        {"kind changed",
         changed([&](auto& e) { manifestOfEntries(e) = "kind=program\r\nversion=1.03\r\n"; })},
        {"manifest removed", changed([](auto& e) {
             std::erase_if(e, [](const auto& entry) { return entry.name == kManifestEntry; });
         })},
        {"manifest renamed", changed([](auto& e) {
             for (auto& entry : e) {
                 if (entry.name == kManifestEntry) {
                     entry.name = "ZORVAST.PKG";
                 }
             }
         })},
        {"manifest added to a package signed without one",
         [&] {
             std::vector<common::ArchiveEntry> entries = signedAsIs(packages.entries({}));
             entries.insert(entries.begin(), {kManifestEntry, "kind=data\r\nversion=261210\r\n"});
             return packages.archive(entries);
         }()},
    };
    for (const Case& c : cases) {
        PackageFault fault = PackageFault::None;
        EXPECT_FALSE(packages.read(c.archive, &fault)) << c.what;
        EXPECT_EQ(fault, PackageFault::Unsigned) << c.what;
    }
}

TEST(PackageManifest, CheckRelease) {
    struct Case {
        const char* what;
        std::optional<std::string> manifest; // the manifest entry; nullopt: none
        PackageKind expected;
        std::string announced;
        std::string installed;
        ReleaseFault fault;
    };
    const std::string data261210 = "kind=data\r\nversion=261210\r\n";
    const std::string program103 = "kind=program\r\nversion=1.03\r\n";
    const auto program = [](const std::string& version) {
        return "kind=program\r\nversion=" + version + "\r\n";
    };
    const std::vector<Case> cases = {
        {"data: right kind, as announced, newer", data261210, PackageKind::Data, "261210", "261209",
         ReleaseFault::None},
        {"program: right kind, as announced, newer", program103, PackageKind::Software, "1.03",
         "1.02", ReleaseFault::None},
        {"announced with another spelling of the number", program103, PackageKind::Software,
         "1.030", "1.02", ReleaseFault::None},
        {"announced with a leading blank", program103, PackageKind::Software, " 1.03", "1.02",
         ReleaseFault::None},
        {"a data package offered as the program", data261210, PackageKind::Software, "261210",
         "1.02", ReleaseFault::WrongKind},
        {"the program offered as a data package", program103, PackageKind::Data, "1.03", "261209",
         ReleaseFault::WrongKind},
        {"an older package than announced (replay)", "kind=data\r\nversion=261201\r\n",
         PackageKind::Data, "261210", "261130", ReleaseFault::NotAnnounced},
        {"a newer package than announced", program("1.04"), PackageKind::Software, "1.03", "1.02",
         ReleaseFault::NotAnnounced},
        {"nothing announced", data261210, PackageKind::Data, "", "261209",
         ReleaseFault::NotAnnounced},
        {"the installed version again", program("1.02"), PackageKind::Software, "1.02", "1.02",
         ReleaseFault::NotNewer},
        {"older than the installed one", program("1.01"), PackageKind::Software, "1.01", "1.02",
         ReleaseFault::NotNewer},
        {"older data than installed", "kind=data\r\nversion=261201\r\n", PackageKind::Data,
         "261201", "261209", ReleaseFault::NotNewer},
        // 1e-7 and 0 as numbers are exact enough to sit on the tolerance's edge.
        {"1e-7 from the announced version counts as equal", program("1e-7"), PackageKind::Software,
         "0", "-1", ReleaseFault::None},
        {"2e-7 from the announced version does not", program("2e-7"), PackageKind::Software, "0",
         "-1", ReleaseFault::NotAnnounced},
        {"1e-7 above the installed version is not newer", program("1e-7"), PackageKind::Software,
         "1e-7", "0", ReleaseFault::NotNewer},
        {"2e-7 above the installed version is newer", program("2e-7"), PackageKind::Software,
         "2e-7", "0", ReleaseFault::None},
        {"no manifest", std::nullopt, PackageKind::Data, "261210", "261209",
         ReleaseFault::NoManifest},
        {"a manifest with LF line ends", "kind=data\nversion=261210\n", PackageKind::Data, "261210",
         "261209", ReleaseFault::NoManifest},
        {"a program manifest with a version too long for its answer", program("1.0300"),
         PackageKind::Software, "1.03", "1.02", ReleaseFault::NoManifest},
    };
    const SignedPackages packages;
    for (const Case& c : cases) {
        const VerifiedPackage package = packages.signedWith(c.manifest);
        const ReleaseFault fault =
            checkRelease(package, c.expected, Version(c.announced), Version(c.installed));
        EXPECT_EQ(fault, c.fault) << c.what << ": got " << faultName(fault) << ", expected "
                                  << faultName(c.fault);
    }
}

} // namespace
} // namespace zorvast::update
