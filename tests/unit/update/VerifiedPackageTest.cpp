#include "update/package/VerifiedPackage.h"

#include "UpdateFakes.h"
#include "support/AlteredPackages.h"
#include "update/package/DataApply.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <ctime>

namespace zorvast::update {
namespace {

namespace fs = std::filesystem;
using testing::dataPackageEntries;
using testing::readAll;
using testing::signedEntries;
using testing::storedDatabaseWithVersion;
using testing::TempFolder;
using testing::testPublicKey;
using testing::writeArchive;

const char* faultName(PackageFault fault) {
    switch (fault) {
    case PackageFault::None:
        return "None";
    case PackageFault::Unreadable:
        return "Unreadable";
    case PackageFault::Damaged:
        return "Damaged";
    case PackageFault::NotFlat:
        return "NotFlat";
    case PackageFault::Unsigned:
        return "Unsigned";
    case PackageFault::Unusable:
        return "Unusable";
    }
    return "?";
}

class VerifiedPackageTest : public ::testing::Test {
public:
    std::vector<common::ArchiveEntry> goodEntries() const {
        return signedEntries(dataPackageEntries(storedDatabaseWithVersion("261210")));
    }

    std::string writeGood() const {
        writeArchive(package, goodEntries());
        return readAll(package.string());
    }

    // readVerifiedPackage on `package` with the data package's content check; the fault.
    PackageFault faultOf(std::uint64_t sizeLimit = kPackageSizeLimit) const {
        PackageFault fault = PackageFault::None;
        const auto read = readVerifiedDataPackage(package, testPublicKey(), sizeLimit, &fault);
        EXPECT_EQ(read.has_value(), fault == PackageFault::None) << faultName(fault);
        return fault;
    }

    TempFolder temp;
    fs::path package = temp.path() / "satdata.sta";
};

TEST_F(VerifiedPackageTest, AGoodPackageIsReadWhole) {
    const std::string bytes = writeGood();
    PackageFault fault = PackageFault::Damaged;
    const std::optional<VerifiedPackage> read =
        readVerifiedDataPackage(package, testPublicKey(), kPackageSizeLimit, &fault);
    ASSERT_TRUE(read);
    EXPECT_EQ(fault, PackageFault::None);
    EXPECT_EQ(read->archiveBytes, bytes) << "the very bytes of the file";
    const auto entries = goodEntries();
    ASSERT_EQ(read->entries.size(), entries.size());
    for (const common::ArchiveEntry& entry : entries) {
        const std::string* content = read->entry(entry.name);
        ASSERT_NE(content, nullptr) << entry.name;
        EXPECT_EQ(*content, entry.data) << entry.name;
    }
    EXPECT_EQ(read->entry("missing.htm"), nullptr);

    // The same bytes already in memory give the same package.
    const auto again = verifyPackageBytes(bytes, testPublicKey(), kPackageSizeLimit);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->entries.size(), read->entries.size());
}

TEST_F(VerifiedPackageTest, RefusedPackagesAndWhy) {
    struct Case {
        const char* what;
        std::function<void(VerifiedPackageTest&)> arrange;
        PackageFault fault;
    };
    const std::vector<Case> cases = {
        {"missing", [](VerifiedPackageTest&) {}, PackageFault::Unreadable},
        {"altered after signing: stored bytes of satdata.str flipped",
         [](VerifiedPackageTest& t) {
             const std::string bytes = t.writeGood();
             common::writeFileBytes(t.package,
                                    zorvast::testing::withStoredBytesFlipped(bytes, "satdata.str"));
         },
         PackageFault::Damaged},
        {"altered after signing: content changed, zipped again with the old signature",
         [](VerifiedPackageTest& t) {
             writeArchive(t.package, zorvast::testing::withContentChanged(t.goodEntries(),
                                                                          "satdata.str", 700000));
         },
         PackageFault::Unsigned},
        {"altered after signing: a list changed, zipped again with the old signature",
         [](VerifiedPackageTest& t) {
             writeArchive(t.package,
                          zorvast::testing::withContentChanged(t.goodEntries(), "nch.str"));
         },
         PackageFault::Unsigned},
        {"unsigned",
         [](VerifiedPackageTest& t) {
             writeArchive(t.package, dataPackageEntries(storedDatabaseWithVersion("261210")));
         },
         PackageFault::Unsigned},
        {"signed with another key",
         [](VerifiedPackageTest& t) {
             const auto other = generateKeyPair();
             ASSERT_TRUE(other);
             writeArchive(t.package,
                          signedEntries(dataPackageEntries(storedDatabaseWithVersion("261210")),
                                        other->secretKey));
         },
         PackageFault::Unsigned},
        {"a folder entry",
         [](VerifiedPackageTest& t) {
             auto entries = dataPackageEntries(storedDatabaseWithVersion("261210"));
             entries.push_back({"pages/", ""});
             writeArchive(t.package, signedEntries(entries));
         },
         PackageFault::NotFlat},
        {"a file in a folder",
         [](VerifiedPackageTest& t) {
             auto entries = dataPackageEntries(storedDatabaseWithVersion("261210"));
             entries.push_back({"pages/home.htm", "<html></html>"});
             writeArchive(t.package, signedEntries(entries));
         },
         PackageFault::NotFlat},
        {"two entries of the same name",
         [](VerifiedPackageTest& t) {
             auto entries = dataPackageEntries(storedDatabaseWithVersion("261210"));
             entries.push_back({"dup-1.htm", "<p>first</p>"});
             entries.push_back({"dup-2.htm", "<p>second</p>"});
             writeArchive(t.package, signedEntries(entries));
             const std::string twice = zorvast::testing::withEntryRenamed(
                 readAll(t.package.string()), "dup-2.htm", "dup-1.htm");
             common::writeFileBytes(t.package, twice);
         },
         PackageFault::Damaged},
        {"a link at the package path",
         [](VerifiedPackageTest& t) {
             const fs::path real = t.temp.path() / "real.sta";
             writeArchive(real, t.goodEntries());
             fs::create_symlink(real, t.package);
         },
         PackageFault::Unreadable},
        {"a folder at the package path",
         [](VerifiedPackageTest& t) { fs::create_directories(t.package / "inside"); },
         PackageFault::Unreadable},
        {"a FIFO at the package path",
         [](VerifiedPackageTest& t) { ASSERT_EQ(::mkfifo(t.package.c_str(), 0600), 0); },
         PackageFault::Unreadable},
        {"no ZIP at all",
         [](VerifiedPackageTest& t) {
             common::writeFileBytes(t.package, "<html><body>404 Not Found</body></html>");
         },
         PackageFault::Damaged},
        {"truncated",
         [](VerifiedPackageTest& t) {
             const std::string bytes = t.writeGood();
             common::writeFileBytes(t.package, bytes.substr(0, bytes.size() - 100));
         },
         PackageFault::Damaged},
        {"signed, but its database too small",
         [](VerifiedPackageTest& t) {
             writeArchive(t.package, signedEntries({{"satdata.str", std::string(1000000, 'x')},
                                                    {"nch.str", "ab"},
                                                    {"sng.str", "cd"}}));
         },
         PackageFault::Unusable},
        {"signed, but without sng.str",
         [](VerifiedPackageTest& t) {
             writeArchive(t.package, signedEntries({{"satdata.str", std::string(1000001, 'x')},
                                                    {"nch.str", "ab"}}));
         },
         PackageFault::Unusable},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(temp.path());
        fs::create_directories(temp.path());
        c.arrange(*this);
        EXPECT_STREQ(faultName(faultOf()), faultName(c.fault));
    }
}

TEST_F(VerifiedPackageTest, TheSizeLimitHoldsForTheFileAndWhatItInflatesTo) {
    auto entries = dataPackageEntries(storedDatabaseWithVersion("261210"));
    writeArchive(package, signedEntries(entries));
    const std::uint64_t fileSize = fs::file_size(package);
    EXPECT_STREQ(faultName(faultOf(fileSize - 1)), "Unreadable") << "the file beyond the limit";

    // A small file that inflates beyond the limit.
    entries.push_back({"zeros.bin", std::string(4000000, '\0')});
    writeArchive(package, signedEntries(entries));
    ASSERT_LT(fs::file_size(package), 3000000u);
    EXPECT_STREQ(faultName(faultOf(3000000)), "Damaged");
    EXPECT_STREQ(faultName(faultOf()), "None") << "within the usual limit";
}

TEST_F(VerifiedPackageTest, WritesTheFilesWithTheirDatesWithoutFollowingLinks) {
    writeGood();
    const auto read = readVerifiedDataPackage(package, testPublicKey());
    ASSERT_TRUE(read);
    const fs::path folder = temp.path() / "work";
    fs::create_directories(folder);
    // Planted links are replaced, never written through.
    const fs::path victim = temp.path() / "victim";
    common::writeFileBytes(victim, "untouched");
    fs::create_symlink(victim, folder / "news.htm");

    ASSERT_TRUE(writePackageFiles(*read, folder));
    EXPECT_EQ(readAll(victim.string()), "untouched");
    EXPECT_FALSE(fs::is_symlink(folder / "news.htm"));
    for (const common::UnpackedEntry& entry : read->entries) {
        EXPECT_EQ(readAll((folder / entry.relative).string()), entry.data) << entry.relative;
    }
    EXPECT_EQ(common::fileDateText(folder / "satdata.str"), "2025年3月7日");

    // A folder that is a link is refused as a whole.
    const fs::path linked = temp.path() / "linked";
    fs::create_symlink(temp.path() / "elsewhere", linked);
    fs::create_directories(temp.path() / "elsewhere");
    EXPECT_FALSE(writePackageFiles(*read, linked));
    EXPECT_TRUE(fs::is_empty(temp.path() / "elsewhere"));
}

} // namespace
} // namespace zorvast::update
