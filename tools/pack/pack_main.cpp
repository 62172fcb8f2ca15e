// Build steps that turn the committed data into what the program ships:
//   zorvast-pack gbk-text IN OUT [TOKEN=VALUE...]   UTF-8 text -> GBK with CR LF, tokens replaced
//   zorvast-pack stored-database IN.mdb OUT.str MIN  the stored form, padded to more than MIN bytes
//   zorvast-pack working-copy IN.str OUT.mdb          the plain database back from a stored one
//   zorvast-pack archive OUT.zip YYYYMMDD FILE...    a ZIP of the files (by their base names)
//   zorvast-pack embed IN OUT.cpp NAMESPACE FUNCTION a source file returning IN's bytes
//   zorvast-pack keygen OUT.pub OUT.sec              a package signing key pair (hex text)
//   zorvast-pack sign PACKAGE.zip SECRET_KEY [--kind data|program --version V]
//                                                    the package rewritten with "zorvast.sig";
//                                                    with --kind, "zorvast.pkg" naming its kind
//                                                    and version is written first and signed too
//   zorvast-pack verify PACKAGE.zip PUBLIC_KEY       exit 0 when the package is signed with it
//   zorvast-pack statement OUT SECRET_KEY DATA_VERSION PROGRAM_VERSION YYYY-MM-DD
//                                                    the signed release statement "release.sig"
#include "channels/store/StoredFile.h"
#include "common/Files.h"
#include "common/Text.h"
#include "common/Zip.h"
#include "update/check/ReleaseStatement.h"
#include "update/package/DataApply.h"
#include "update/package/PackageManifest.h"
#include "update/package/PackageSignature.h"
#include "update/package/VerifiedPackage.h"

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace zorvast;

constexpr std::size_t kJetPageSize = 4096;

[[noreturn]] void fail(const std::string& message) {
    std::fprintf(stderr, "zorvast-pack: %s\n", message.c_str());
    std::exit(1);
}

std::string readOrFail(const fs::path& path) {
    std::optional<std::string> bytes = common::readFileBytes(path);
    if (!bytes) {
        fail("cannot read " + path.string());
    }
    return *bytes;
}

void writeOrFail(const fs::path& path, std::string_view bytes) {
    if (!common::writeFileAtomically(path, bytes)) {
        fail("cannot write " + path.string());
    }
}

int gbkText(int argc, char** argv) {
    if (argc < 4) {
        fail("usage: gbk-text IN OUT [TOKEN=VALUE...]");
    }
    std::string text = readOrFail(argv[2]);
    for (int i = 4; i < argc; ++i) {
        const std::string pair = argv[i];
        const std::size_t equals = pair.find('=');
        if (equals == std::string::npos || equals == 0) {
            fail("token needs TOKEN=VALUE: " + pair);
        }
        const std::string token = pair.substr(0, equals);
        const std::string value = pair.substr(equals + 1);
        for (std::size_t at = text.find(token); at != std::string::npos;
             at = text.find(token, at + value.size())) {
            text.replace(at, token.size(), value);
        }
    }
    const common::Gbk gbk = common::toGbkWithCrLf(text);
    // toGbk writes '?' for what GBK cannot hold; a shipped text must come through whole.
    if (common::fromGbk(gbk) != common::withCrLf(text)) {
        fail(std::string(argv[2]) + " holds characters GBK cannot encode");
    }
    writeOrFail(argv[3], gbk.bytes);
    return 0;
}

int storedDatabase(int argc, char** argv) {
    if (argc != 5) {
        fail("usage: stored-database IN.mdb OUT.str MIN_BYTES");
    }
    std::string database = readOrFail(argv[2]);
    const std::uint64_t minimum = std::strtoull(argv[4], nullptr, 10);
    // The package check wants a database of a certain size; unused pages at the end are
    // what a Jet file carries before it is compacted, and readers never visit them.
    const std::size_t storedOverhead =
        channels::store::kJetHeaderLength - channels::store::kStoredMarker.size();
    while (database.size() - storedOverhead <= minimum) {
        database.append(kJetPageSize, '\0');
    }
    const channels::store::Bytes stored = channels::store::storedFromDatabase(
        {reinterpret_cast<const std::uint8_t*>(database.data()), database.size()});
    if (stored.empty()) {
        fail(std::string(argv[2]) + " is not a database");
    }
    writeOrFail(argv[3], {reinterpret_cast<const char*>(stored.data()), stored.size()});
    return 0;
}

int workingCopy(int argc, char** argv) {
    if (argc != 4) {
        fail("usage: working-copy IN.str OUT.mdb");
    }
    const std::string stored = readOrFail(argv[2]);
    const channels::store::Bytes copy = channels::store::workingCopyFromStored(
        {reinterpret_cast<const std::uint8_t*>(stored.data()), stored.size()});
    if (copy.empty()) {
        fail(std::string(argv[2]) + " is not a stored database");
    }
    writeOrFail(argv[3], {reinterpret_cast<const char*>(copy.data()), copy.size()});
    return 0;
}

int archive(int argc, char** argv) {
    if (argc < 5) {
        fail("usage: archive OUT.zip YYYYMMDD FILE...");
    }
    const std::string date = argv[3];
    if (date.size() != 8 || date.find_first_not_of("0123456789") != std::string::npos) {
        fail("date must be YYYYMMDD: " + date);
    }
    const common::EntryDate entryDate{std::stoi(date.substr(0, 4)), std::stoi(date.substr(4, 2)),
                                      std::stoi(date.substr(6, 2))};
    std::vector<common::ArchiveEntry> entries;
    for (int i = 4; i < argc; ++i) {
        const fs::path path = argv[i];
        entries.push_back({path.filename().string(), readOrFail(path), true, entryDate});
    }
    std::string error;
    if (!common::createArchive(argv[2], entries, &error)) {
        fail(error);
    }
    return 0;
}

int embed(int argc, char** argv) {
    if (argc != 6) {
        fail("usage: embed IN OUT.cpp NAMESPACE FUNCTION");
    }
    const std::string bytes = readOrFail(argv[2]);
    std::string out = "// Generated by zorvast-pack from " + fs::path(argv[2]).filename().string() +
                      "; do not edit.\n#include <cstdint>\n#include <span>\n\nnamespace " +
                      argv[4] +
                      " {\n\nnamespace {\n\n// clang-format off\nconst std::uint8_t "
                      "kBytes[] = {";
    char cell[16];
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(cell, sizeof cell, "%s%u,", i % 24 == 0 ? "\n    " : "",
                      static_cast<unsigned>(static_cast<unsigned char>(bytes[i])));
        out += cell;
    }
    out += "\n};\n// clang-format on\n\n} // namespace\n\nstd::span<const std::uint8_t> ";
    out += argv[5];
    out += "() {\n    return kBytes;\n}\n\n} // namespace ";
    out += argv[4];
    out += "\n";
    writeOrFail(argv[3], out);
    return 0;
}

// The day an entry was last modified, as the archive records it.
common::EntryDate entryDateOf(const common::UnpackedEntry& entry) {
    if (!entry.modified) {
        return {1980, 1, 1};
    }
    std::tm parts{};
    localtime_r(&*entry.modified, &parts);
    return {parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday};
}

// The whole package read and unpacked in memory; fails on anything the program would refuse
// before looking at the signature.
common::UnpackResult unpackOrFail(const fs::path& package) {
    const std::optional<std::string> bytes =
        common::readArchiveFile(package.string(), update::kPackageSizeLimit);
    if (!bytes) {
        fail(package.string() + ": not a package the program accepts (missing, a link, too large)");
    }
    common::UnpackResult unpacked = common::unpackArchive(common::asBytes(*bytes));
    if (!unpacked.ok) {
        fail(package.string() + ": " + unpacked.error);
    }
    return unpacked;
}

int keygen(int argc, char** argv) {
    if (argc != 4) {
        fail("usage: keygen OUT.pub OUT.sec");
    }
    for (int i = 2; i < 4; ++i) {
        std::error_code ec;
        if (fs::exists(argv[i], ec)) {
            fail(std::string(argv[i]) + " exists; a key is never overwritten");
        }
    }
    const std::optional<update::KeyPair> pair = update::generateKeyPair();
    if (!pair) {
        fail("libsodium cannot start");
    }
    const auto hexOf = [](const auto& key) {
        return update::toHex({reinterpret_cast<const char*>(key.data()), key.size()}) + "\n";
    };
    writeOrFail(argv[2], hexOf(pair->publicKey));
    writeOrFail(argv[3], hexOf(pair->secretKey));
    ::chmod(argv[3], 0600);
    return 0;
}

// The manifest that "--kind K --version V" after the two arguments of sign ask for; nullopt
// when there are no options.
std::optional<update::PackageManifest> manifestOption(int argc, char** argv) {
    const char* usage = "usage: sign PACKAGE.zip SECRET_KEY_FILE [--kind data|program --version V]";
    if (argc == 4) {
        return std::nullopt;
    }
    std::optional<std::string> kind;
    std::optional<std::string> version;
    for (int i = 4; i < argc; i += 2) {
        const std::string option = argv[i];
        std::optional<std::string>* slot = option == "--kind"      ? &kind
                                           : option == "--version" ? &version
                                                                   : nullptr;
        if (!slot || i + 1 >= argc || slot->has_value()) {
            fail(usage);
        }
        *slot = argv[i + 1];
    }
    if (!kind || !version) {
        fail(usage);
    }
    update::PackageManifest manifest;
    if (*kind == "data") {
        manifest.kind = update::PackageKind::Data;
    } else if (*kind == "program") {
        manifest.kind = update::PackageKind::Software;
    } else {
        fail("unknown package kind " + *kind + " (data or program)");
    }
    if (!update::fitsVersionAnswer(manifest.kind, *version)) {
        fail("version " + *version + " does not fit a " + *kind + " version answer (" +
             (manifest.kind == update::PackageKind::Data ? "1 to 7" : "1 to 5") +
             " printable ASCII bytes)");
    }
    manifest.version = *version;
    return manifest;
}

int sign(int argc, char** argv) {
    if (argc < 4) {
        fail("usage: sign PACKAGE.zip SECRET_KEY_FILE [--kind data|program --version V]");
    }
    const std::optional<update::PackageManifest> manifest = manifestOption(argc, argv);
    const fs::path package = argv[2];
    const std::optional<update::SecretKey> key = update::readSecretKeyFile(argv[3]);
    if (!key) {
        fail(std::string(argv[3]) + " holds no secret key (128 hex digits)");
    }
    const common::UnpackResult unpacked = unpackOrFail(package);
    std::vector<common::ArchiveEntry> entries;
    std::vector<update::PackageEntry> signedEntries;
    common::EntryDate latest{1980, 1, 1};
    for (const common::UnpackedEntry& entry : unpacked.entries) {
        if (entry.folder || entry.relative.find('/') != std::string::npos) {
            fail(package.string() + ": a package holds files only, no folders: " + entry.relative);
        }
        if (entry.relative == update::kSignatureEntry) {
            continue; // signed again below
        }
        if (manifest && entry.relative == update::kManifestEntry) {
            continue; // written anew below
        }
        const common::EntryDate date = entryDateOf(entry);
        if (std::tie(date.year, date.month, date.day) >
            std::tie(latest.year, latest.month, latest.day)) {
            latest = date;
        }
        entries.push_back({entry.relative, entry.data, true, date});
        signedEntries.push_back({entry.relative, entry.data});
    }
    if (manifest) {
        const std::string text = update::formatManifest(*manifest);
        entries.push_back({update::kManifestEntry, text, true, latest});
        signedEntries.push_back({update::kManifestEntry, text});
    }
    const std::optional<std::string> signature = update::signPackageEntries(signedEntries, *key);
    if (!signature) {
        fail(package.string() + ": entries cannot be signed");
    }
    entries.push_back({update::kSignatureEntry, *signature, true, latest});
    std::string error;
    if (!common::createArchive(package.string(), entries, &error)) {
        fail(error);
    }
    return 0;
}

// The check the program makes: the package read whole, unpacked in memory, flat and signed.
int verify(int argc, char** argv) {
    if (argc != 4) {
        fail("usage: verify PACKAGE.zip PUBLIC_KEY_FILE");
    }
    const fs::path package = argv[2];
    const std::optional<update::PublicKey> key = update::readPublicKeyFile(argv[3]);
    if (!key) {
        fail(std::string(argv[3]) + " holds no public key (64 hex digits)");
    }
    update::PackageFault fault = update::PackageFault::None;
    if (!update::readVerifiedPackage(package, *key, update::kPackageSizeLimit, {}, &fault)) {
        switch (fault) {
        case update::PackageFault::NotFlat:
            fail(package.string() + ": a package holds files only, no folders");
        case update::PackageFault::Unsigned:
            fail(package.string() + ": signature missing or wrong");
        default:
            fail(package.string() + ": not a package the program accepts (damaged, a link, "
                                    "too large)");
        }
    }
    std::printf("%s: signature good\n", package.string().c_str());
    return 0;
}

int statement(int argc, char** argv) {
    if (argc != 7) {
        fail("usage: statement OUT SECRET_KEY_FILE DATA_VERSION PROGRAM_VERSION YYYY-MM-DD");
    }
    const std::optional<update::SecretKey> key = update::readSecretKeyFile(argv[3]);
    if (!key) {
        fail(std::string(argv[3]) + " holds no secret key (128 hex digits)");
    }
    update::ReleaseStatement statement;
    statement.dataVersion = argv[4];
    statement.programVersion = argv[5];
    if (!update::fitsVersionAnswer(update::PackageKind::Data, statement.dataVersion)) {
        fail("data version " + statement.dataVersion +
             " does not fit a version answer (1 to 7 printable ASCII bytes)");
    }
    if (!update::fitsVersionAnswer(update::PackageKind::Software, statement.programVersion)) {
        fail("program version " + statement.programVersion +
             " does not fit a version answer (1 to 5 printable ASCII bytes)");
    }
    // The signer checks that the day exists.
    const std::optional<std::chrono::year_month_day> issued = update::parseIssueDate(argv[6]);
    if (!issued) {
        fail(std::string("issue date must be YYYY-MM-DD: ") + argv[6]);
    }
    statement.issued = *issued;
    const std::optional<std::string> text = update::signReleaseStatement(statement, *key);
    if (!text) {
        fail(std::string("no such day: ") + argv[6]);
    }
    writeOrFail(argv[2], *text);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "gbk-text") {
        return gbkText(argc, argv);
    }
    if (command == "stored-database") {
        return storedDatabase(argc, argv);
    }
    if (command == "working-copy") {
        return workingCopy(argc, argv);
    }
    if (command == "archive") {
        return archive(argc, argv);
    }
    if (command == "embed") {
        return embed(argc, argv);
    }
    if (command == "keygen") {
        return keygen(argc, argv);
    }
    if (command == "sign") {
        return sign(argc, argv);
    }
    if (command == "verify") {
        return verify(argc, argv);
    }
    if (command == "statement") {
        return statement(argc, argv);
    }
    fail("usage: zorvast-pack gbk-text|stored-database|working-copy|archive|embed|keygen|sign|"
         "verify|statement ...");
}
