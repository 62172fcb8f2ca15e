// Every zorvast-cli command that reads a data package checks it as the program does before any
// of it is unpacked: a package altered after signing, unsigned or signed with another key is
// refused with exit status 2 and one line on standard error, and the package is left as it was.
#include "cli/CliRunner.h"
#include "common/Files.h"
#include "common/Zip.h"
#include "support/AlteredPackages.h"
#include "support/TempFolder.h"
#include "update/package/PackageSignature.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace zorvast;
using namespace zorvast::testing::cli;
using zorvast::testing::readAll;
using zorvast::testing::TempFolder;

const std::string kRefusal = "data package damaged or not signed: ";

// The shipped package's entries, its signature last.
std::vector<common::ArchiveEntry> shippedEntries() {
    const common::UnpackResult unpacked = common::unpackArchive(common::asBytes(readAll(kPackage)));
    if (!unpacked.ok) {
        ADD_FAILURE() << "the shipped package does not unpack: " << unpacked.error;
        return {};
    }
    std::vector<common::ArchiveEntry> entries;
    for (const common::UnpackedEntry& e : unpacked.entries) {
        entries.push_back({e.relative, e.data});
    }
    return entries;
}

std::vector<common::ArchiveEntry> withoutSignature(std::vector<common::ArchiveEntry> entries) {
    std::erase_if(entries,
                  [](const common::ArchiveEntry& e) { return e.name == update::kSignatureEntry; });
    return entries;
}

void writeArchive(const std::string& path, const std::vector<common::ArchiveEntry>& entries) {
    std::string error;
    ASSERT_TRUE(common::createArchive(path, entries, &error)) << error;
}

struct BadPackage {
    const char* what;
    std::function<void(const std::string& path)> write;
};

const std::vector<BadPackage>& badPackages() {
    static const std::vector<BadPackage> packages = {
        {"stored bytes of satdata.str flipped after signing",
         [](const std::string& path) {
             common::writeFileBytes(
                 path, zorvast::testing::withStoredBytesFlipped(readAll(kPackage), "satdata.str"));
         }},
        {"satdata.str changed and zipped again with the old signature",
         [](const std::string& path) {
             writeArchive(
                 path, zorvast::testing::withContentChanged(shippedEntries(), "satdata.str", 200));
         }},
        {"unsigned",
         [](const std::string& path) {
             writeArchive(path, withoutSignature(shippedEntries()));
         }},
        {"signed with another key",
         [](const std::string& path) {
             const auto other = update::generateKeyPair();
             ASSERT_TRUE(other);
             std::vector<common::ArchiveEntry> entries = withoutSignature(shippedEntries());
             std::vector<update::PackageEntry> plain;
             for (const common::ArchiveEntry& e : entries) {
                 plain.push_back({e.name, e.data});
             }
             entries.push_back({update::kSignatureEntry,
                                update::signPackageEntries(plain, other->secretKey).value()});
             writeArchive(path, entries);
         }},
        {"not a ZIP at all",
         [](const std::string& path) {
             common::writeFileBytes(path, std::string(4096, 'x'));
         }},
    };
    return packages;
}

// Each command that takes --package, with arguments that work on the shipped package.
const std::vector<std::vector<std::string>> kCommands = {
    {"point", "--city", "北京市/北京", "--sat", "E115.5"},
    {"spacing", "--main", "E115.5", "--offset", "E125", "--lon", "116.46", "--lat", "39.92"},
    {"table", "--sat", "E115.5"},
    {"search", "--name", "CCTV"},
    {"provider", "--name", "中国卫通"},
};

std::vector<std::string> namesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& item : fs::directory_iterator(folder)) {
        names.push_back(item.path().filename().string());
    }
    return names;
}

TEST(CliPackage, TheShippedPackageIsAccepted) {
    for (const std::vector<std::string>& command : kCommands) {
        const Outcome run = runWithPackage(command[0], {command.begin() + 1, command.end()});
        EXPECT_EQ(run.status, 0) << joined(command) << "\n" << described(run);
    }
}

TEST(CliPackage, DamagedOrUnsignedPackagesAreRefusedInOneLine) {
    for (const BadPackage& bad : badPackages()) {
        SCOPED_TRACE(bad.what);
        TempFolder folder;
        const std::string package = folder.file("satdata.sta");
        bad.write(package);
        const std::string before = readAll(package);
        struct stat statBefore {};
        ASSERT_EQ(::stat(package.c_str(), &statBefore), 0);
        for (std::vector<std::string> command : kCommands) {
            TempFolder tmpdir;
            command.push_back("--package");
            command.push_back(package);
            const Outcome run = runProgram(command, {kCli, tmpdir.path().string(), ""});
            const std::string call = joined(command) + "\n" + described(run);
            EXPECT_EQ(run.status, 2) << call;
            EXPECT_EQ(run.out, "") << call;
            EXPECT_EQ(run.err, kRefusal + package + "\n") << call;
            EXPECT_EQ(namesIn(tmpdir.path()), std::vector<std::string>{})
                << "nothing is left of the working files\n"
                << call;
        }
        EXPECT_EQ(readAll(package), before) << "the package is never changed";
        struct stat statAfter {};
        ASSERT_EQ(::stat(package.c_str(), &statAfter), 0);
        EXPECT_EQ(statAfter.st_ino, statBefore.st_ino);
        EXPECT_EQ(statAfter.st_mtim.tv_nsec, statBefore.st_mtim.tv_nsec);
    }
}

TEST(CliPackage, ALinkGivenAsThePackageIsRefused) {
    TempFolder folder;
    const fs::path link = folder.path() / "satdata.sta";
    fs::create_symlink(kPackage, link);
    const Outcome run = runWithPackage("table", {"--sat", "E115.5", "--package", link.string()});
    EXPECT_EQ(run.status, 2) << described(run);
    EXPECT_EQ(run.err, kRefusal + link.string() + "\n") << described(run);
}

// The default package (beside the program, else in the current folder) is checked the same way.
TEST(CliPackage, TheDefaultPackageIsCheckedToo) {
    TempFolder programFolder;
    TempFolder currentFolder;
    const fs::path program = programFolder.path() / "zorvast-cli";
    fs::copy_file(kCli, program);
    const std::string beside = (programFolder.path() / "satdata.sta").string();
    writeArchive(beside, withoutSignature(shippedEntries()));
    const Outcome run = runProgram({"search", "--name", "CCTV"},
                                   {program.string(), "", currentFolder.path().string()});
    EXPECT_EQ(run.status, 2) << described(run);
    EXPECT_EQ(run.out, "") << described(run);
    EXPECT_EQ(run.err, kRefusal + beside + "\n") << described(run);

    const fs::path inCurrent = currentFolder.path() / "satdata.sta";
    badPackages()[0].write(inCurrent.string());
    const Outcome here =
        runProgram({"search", "--name", "CCTV"}, {kCli, "", currentFolder.path().string()});
    if (!fs::exists(fs::path(kCli).parent_path() / "satdata.sta")) {
        EXPECT_EQ(here.status, 2) << described(here);
        EXPECT_EQ(here.err, kRefusal + inCurrent.string() + "\n") << described(here);
    }
}

} // namespace
