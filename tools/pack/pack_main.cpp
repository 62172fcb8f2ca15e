// Build steps that turn the committed data into what the program ships:
//   zorvast-pack gbk-text IN OUT [TOKEN=VALUE...]   UTF-8 text -> GBK with CR LF, tokens replaced
//   zorvast-pack stored-database IN.mdb OUT.str MIN  the stored form, padded to more than MIN bytes
//   zorvast-pack working-copy IN.str OUT.mdb          the plain database back from a stored one
//   zorvast-pack archive OUT.zip YYYYMMDD FILE...    a ZIP of the files (by their base names)
//   zorvast-pack embed IN OUT.cpp NAMESPACE FUNCTION a source file returning IN's bytes
#include "channels/store/StoredFile.h"
#include "common/Files.h"
#include "common/Text.h"
#include "common/Zip.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
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
    fail("usage: zorvast-pack gbk-text|stored-database|working-copy|archive|embed ...");
}
