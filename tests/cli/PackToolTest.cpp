// zorvast-pack as the publisher runs it: signing with the package manifest, and the release
// statement; what it writes is read back through the program's own checks.
#include "cli/CliRunner.h"
#include "common/Files.h"
#include "common/Zip.h"
#include "support/TempFolder.h"
#include "update/check/ReleaseStatement.h"
#include "update/package/DataApply.h"
#include "update/package/PackageManifest.h"
#include "update/package/PackageSignature.h"
#include "update/package/VerifiedPackage.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using namespace zorvast;
using namespace zorvast::testing::cli;
using zorvast::testing::readAll;
using zorvast::testing::TempFolder;

const std::string kPack = ZORVAST_PACK;
const fs::path kKeys = fs::path(ZORVAST_SOURCE_DIR) / "keys";
const std::string kSecretKey = (kKeys / "test-package.sec").string();
const std::string kPublicKey = (kKeys / "test-package.pub").string();

Outcome pack(const std::vector<std::string>& args) {
    return runProgram(args, {kPack, "", ""});
}

update::PublicKey testPublicKey() {
    return update::readPublicKeyFile(kPublicKey).value();
}

// An unsigned program package in `folder`.
std::string unsignedPackage(const TempFolder& folder, const std::string& name = "zorvast.zip") {
    const std::string path = folder.file(name);
    std::string error;
    EXPECT_TRUE(common::createArchive(path, {{"plumo.exe", std::string(5000, 'p')}}, &error))
        << error;
    return path;
}

std::vector<std::string> entryNames(const std::string& package) {
    const common::UnpackResult unpacked = common::unpackArchive(common::asBytes(readAll(package)));
    EXPECT_TRUE(unpacked.ok) << unpacked.error;
    std::vector<std::string> names;
    for (const common::UnpackedEntry& entry : unpacked.entries) {
        names.push_back(entry.relative);
    }
    return names;
}

std::optional<update::PackageManifest> signedManifest(const std::string& package) {
    const std::optional<update::VerifiedPackage> verified =
        update::readVerifiedPackage(package, testPublicKey(), update::kPackageSizeLimit);
    EXPECT_TRUE(verified) << package << " does not verify";
    return verified ? update::manifestOf(*verified) : std::nullopt;
}

TEST(PackTool, SignWritesTheManifestBeforeTheSignature) {
    TempFolder folder;
    const std::string package = unsignedPackage(folder);
    const Outcome signedRun =
        pack({"sign", package, kSecretKey, "--kind", "program", "--version", "1.03"});
    ASSERT_EQ(signedRun.status, 0) << described(signedRun);
    EXPECT_EQ(entryNames(package), (std::vector<std::string>{"plumo.exe", update::kManifestEntry,
                                                             update::kSignatureEntry}));
    const Outcome verified = pack({"verify", package, kPublicKey});
    EXPECT_EQ(verified.status, 0) << described(verified);
    EXPECT_EQ(verified.out, package + ": signature good\n");
    EXPECT_EQ(signedManifest(package),
              (update::PackageManifest{update::PackageKind::Software, "1.03"}));

    // Options in the other order; the manifest and the signature are replaced, not added.
    const Outcome again =
        pack({"sign", package, kSecretKey, "--version", "261210", "--kind", "data"});
    ASSERT_EQ(again.status, 0) << described(again);
    EXPECT_EQ(entryNames(package), (std::vector<std::string>{"plumo.exe", update::kManifestEntry,
                                                             update::kSignatureEntry}));
    EXPECT_EQ(signedManifest(package),
              (update::PackageManifest{update::PackageKind::Data, "261210"}));
}

TEST(PackTool, SignWithoutKindWritesNoManifest) {
    TempFolder folder;
    const std::string package = unsignedPackage(folder);
    const Outcome run = pack({"sign", package, kSecretKey});
    ASSERT_EQ(run.status, 0) << described(run);
    EXPECT_EQ(entryNames(package),
              (std::vector<std::string>{"plumo.exe", update::kSignatureEntry}));
    EXPECT_EQ(pack({"verify", package, kPublicKey}).status, 0);
    EXPECT_EQ(signedManifest(package), std::nullopt);
}

TEST(PackTool, TheShippedPackageNamesItsKindAndVersion) {
    EXPECT_EQ(pack({"verify", kPackage, kPublicKey}).status, 0);
    const std::string sys = readAll(std::string(ZORVAST_SOURCE_DIR) + "/data/channels/sys.tsv");
    const std::vector<std::string> lines = linesOf(sys);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(signedManifest(kPackage),
              (update::PackageManifest{update::PackageKind::Data, lines[1]}));
}

TEST(PackTool, SignRefusesAnUnknownKindOrAVersionThatDoesNotFit) {
    const std::vector<std::vector<std::string>> options = {
        {"--kind", "software", "--version", "1.03"},
        {"--kind", "Data", "--version", "261210"},
        {"--kind", "data", "--version", "26121011"},
        {"--kind", "program", "--version", "1.0300"},
        {"--kind", "program", "--version", "261210"},
        {"--kind", "data", "--version", ""},
        {"--kind", "data", "--version", "2612 0"},
        {"--kind", "data", "--version", "版本"},
        {"--kind", "data"},
        {"--version", "261210"},
        {"--kind", "data", "--version"},
        {"--kind", "data", "--kind", "data", "--version", "261210"},
        {"--kind", "data", "--version", "261210", "--version", "261210"},
        {"--kind", "data", "--version", "261210", "--flavour", "x"},
        {"--kind", "data", "--version", "261210", "extra"},
    };
    for (const std::vector<std::string>& extra : options) {
        TempFolder folder;
        const std::string package = unsignedPackage(folder);
        const std::string before = readAll(package);
        std::vector<std::string> args = {"sign", package, kSecretKey};
        args.insert(args.end(), extra.begin(), extra.end());
        const Outcome run = pack(args);
        EXPECT_EQ(run.status, 1) << joined(args) << "\n" << described(run);
        EXPECT_NE(run.err.find("zorvast-pack: "), std::string::npos) << joined(args);
        EXPECT_EQ(readAll(package), before) << "the package is left as it was: " << joined(args);
    }
}

TEST(PackTool, AManifestChangedAfterSigningFailsVerify) {
    TempFolder folder;
    const std::string package = unsignedPackage(folder);
    ASSERT_EQ(pack({"sign", package, kSecretKey, "--kind", "data", "--version", "261201"}).status,
              0);
    const common::UnpackResult unpacked = common::unpackArchive(common::asBytes(readAll(package)));
    ASSERT_TRUE(unpacked.ok);
    std::vector<common::ArchiveEntry> entries;
    for (const common::UnpackedEntry& entry : unpacked.entries) {
        entries.push_back({entry.relative, entry.relative == update::kManifestEntry
                                               ? "kind=data\r\nversion=261210\r\n"
                                               : entry.data});
    }
    const std::string altered = folder.file("altered.zip");
    ASSERT_TRUE(common::createArchive(altered, entries));
    const Outcome run = pack({"verify", altered, kPublicKey});
    EXPECT_EQ(run.status, 1) << described(run);
    EXPECT_NE(run.err.find("signature missing or wrong"), std::string::npos) << described(run);
}

TEST(PackTool, StatementIsSignedAndReadable) {
    TempFolder folder;
    const std::string out = folder.file("release.sig");
    const Outcome run = pack({"statement", out, kSecretKey, "261210", "1.03", "2026-12-10"});
    ASSERT_EQ(run.status, 0) << described(run);
    const std::string text = readAll(out);
    EXPECT_EQ(text.substr(0, text.find("signature=")),
              "format=1\r\ndata=261210\r\nprogram=1.03\r\nissued=2026-12-10\r\n");
    const std::optional<update::ReleaseStatement> statement =
        update::verifyReleaseStatement(text, testPublicKey());
    ASSERT_TRUE(statement) << text;
    EXPECT_EQ(*statement, (update::ReleaseStatement{"261210", "1.03", 2026y / 12 / 10}));

    const Outcome leap = pack({"statement", out, kSecretKey, "1", "1", "2024-02-29"});
    ASSERT_EQ(leap.status, 0) << described(leap);
    EXPECT_EQ(update::verifyReleaseStatement(readAll(out), testPublicKey()),
              (update::ReleaseStatement{"1", "1", 2024y / 2 / 29}));
}

TEST(PackTool, StatementRefusesBadInput) {
    TempFolder folder;
    const std::string out = folder.file("release.sig");
    const std::string missingKey = folder.file("none.sec");
    const std::string notAKey = folder.write("bad.sec", "not a key\n");
    const std::vector<std::vector<std::string>> cases = {
        {out, kSecretKey, "261210", "1.03", "2026-02-29"},
        {out, kSecretKey, "261210", "1.03", "2026-13-01"},
        {out, kSecretKey, "261210", "1.03", "2026-1-10"},
        {out, kSecretKey, "261210", "1.03", "2026/12/10"},
        {out, kSecretKey, "261210", "1.03", "20261210"},
        {out, kSecretKey, "261210", "1.03", "1969-12-31"},
        {out, kSecretKey, "26121011", "1.03", "2026-12-10"},
        {out, kSecretKey, "261210", "1.0300", "2026-12-10"},
        {out, kSecretKey, "", "1.03", "2026-12-10"},
        {out, kSecretKey, "261210", "1 03", "2026-12-10"},
        {out, missingKey, "261210", "1.03", "2026-12-10"},
        {out, notAKey, "261210", "1.03", "2026-12-10"},
        {out, kPublicKey, "261210", "1.03", "2026-12-10"},
        {out, kSecretKey, "261210", "1.03"},
        {out, kSecretKey, "261210", "1.03", "2026-12-10", "extra"},
    };
    for (std::vector<std::string> args : cases) {
        args.insert(args.begin(), "statement");
        const Outcome run = pack(args);
        EXPECT_EQ(run.status, 1) << joined(args) << "\n" << described(run);
        EXPECT_NE(run.err.find("zorvast-pack: "), std::string::npos) << joined(args);
        EXPECT_FALSE(fs::exists(out)) << "nothing written: " << joined(args);
    }
}

} // namespace
