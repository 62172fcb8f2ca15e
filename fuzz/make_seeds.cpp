// Writes the generated seed corpora of the fuzz targets from the project's own data:
//   fuzz-seeds OUT REPO DATA_BUILD
// OUT/NAME/ for each target; REPO is the source tree, DATA_BUILD the build's data/ folder
// (city.zip, city.dat, satdata.mdb, satdata.sta and package/). Small hand-written seeds live
// in fuzz/seeds/ beside these.
#include "FuzzSupport.h"

#include "JetWriter.h"
#include "common/Files.h"
#include "common/Text.h"
#include "common/Zip.h"
#include "update/check/ReleaseStatement.h"
#include "update/package/PackageManifest.h"
#include "update/package/PackageSignature.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace zorvast;

namespace {

fs::path outRoot;
fs::path repo;
fs::path dataBuild;

[[noreturn]] void die(const std::string& message) {
    std::fprintf(stderr, "fuzz-seeds: %s\n", message.c_str());
    std::exit(1);
}

std::string readOrDie(const fs::path& path) {
    std::optional<std::string> bytes = common::readFileBytes(path);
    if (!bytes) {
        die("cannot read " + path.string());
    }
    return *bytes;
}

void writeSeed(const std::string& target, const std::string& name, const std::string& bytes) {
    const fs::path folder = outRoot / target;
    if (!common::createFolders(folder) || !common::writeFileBytes(folder / name, bytes)) {
        die("cannot write " + (folder / name).string());
    }
}

// The header line and the first `rows` rows of a typed TSV.
std::string headOfTsv(const std::string& tsv, int rows) {
    std::size_t at = 0;
    for (int line = 0; line <= rows && at != std::string::npos; ++line) {
        at = tsv.find('\n', at);
        if (at != std::string::npos) {
            ++at;
        }
    }
    return at == std::string::npos ? tsv : tsv.substr(0, at);
}

jetwriter::Table tsvTable(const std::string& name, const fs::path& file, int rows) {
    return jetwriter::readTypedTsv(name, headOfTsv(readOrDie(file), rows));
}

void jetSeeds() {
    const fs::path channels = repo / "data/channels";
    const fs::path city = repo / "data/city/city.tsv";
    for (const char* table : {"sat", "satlist", "sup", "sys"}) {
        writeSeed("jet", std::string(table) + ".mdb",
                  jetwriter::writeDatabase(
                      {tsvTable(table, channels / (std::string(table) + ".tsv"), 12)}));
    }
    writeSeed("jet", "city.mdb", jetwriter::writeDatabase({tsvTable("city", city, 12)}));
    std::vector<jetwriter::Table> all;
    for (const char* table : {"sat", "satlist", "sup", "sys"}) {
        all.push_back(tsvTable(table, channels / (std::string(table) + ".tsv"), 4));
    }
    writeSeed("jet", "channels.mdb", jetwriter::writeDatabase(all));
    jetwriter::Table empty = tsvTable("sat", channels / "sat.tsv", 0);
    writeSeed("jet", "empty.mdb", jetwriter::writeDatabase({empty}));
    // One of each column type, NULLs included.
    jetwriter::Table kinds;
    kinds.name = "kinds";
    kinds.columns = {{"t", jetwriter::ColumnType::Text, 20},
                     {"i", jetwriter::ColumnType::Integer, 0},
                     {"l", jetwriter::ColumnType::Long, 0},
                     {"b", jetwriter::ColumnType::YesNo, 0}};
    kinds.rows = {{std::string("卫星"), std::int64_t{-5}, std::int64_t{123456}, true},
                  {std::nullopt, std::nullopt, std::nullopt, false},
                  {std::string(""), std::int64_t{32767}, std::int64_t{-2147483647}, true}};
    writeSeed("jet", "kinds.mdb", jetwriter::writeDatabase({kinds}));
    // The shipped databases whole.
    writeSeed("jet", "satdata.mdb", readOrDie(dataBuild / "satdata.mdb"));
    writeSeed("jet", "city.dat", readOrDie(dataBuild / "city.dat"));
}

void zipSeeds() {
    writeSeed("zip", "city.zip", readOrDie(dataBuild / "city.zip"));
    writeSeed("zip", "satdata.sta", readOrDie(dataBuild / "satdata.sta"));
    const fs::path work = fuzz::scratchFolder();
    auto archive = [&](const std::string& name, const std::vector<common::ArchiveEntry>& entries) {
        const fs::path file = work / name;
        std::string error;
        if (!common::createArchive(file.string(), entries, &error)) {
            die("cannot make " + name + ": " + error);
        }
        writeSeed("zip", name, readOrDie(file));
    };
    archive("one.zip", {{"a.txt", "hello", true, {}}});
    archive("empty-file.zip", {{"empty", "", true, {}}});
    archive("folders.zip", {{"dir/", "", true, {}},
                            {"dir/file.txt", "text", true, {}},
                            {"dir/sub/深.txt", "深圳", true, {2107, 12, 31}}});
    archive("gbk-name.zip", {{common::toGbk("频道.txt").bytes, "gbk", false, {1980, 1, 1}}});
    std::vector<common::ArchiveEntry> lists;
    for (const char* name : {"nch.str", "sng.str", "news.htm"}) {
        lists.push_back({name, readOrDie(dataBuild / "package" / name), true, {}});
    }
    archive("lists.zip", lists);
}

void listSeeds() {
    for (const char* list : {"nch", "sng"}) {
        const common::Gbk text =
            common::toGbkWithCrLf(readOrDie(repo / "data/lists" / (std::string(list) + ".txt")));
        writeSeed("lists", std::string(list) + ".str", text.bytes);
        std::string page = text.bytes;
        if (!page.empty() && !page.ends_with("\r\n")) {
            page += "\r\n";
        }
        writeSeed("lists", std::string(list) + ".htm", page + "\xA3\xFE");
    }
}

void answerSeeds() {
    const std::string sys = readOrDie(repo / "data/channels/sys.tsv");
    // The version row follows the header line.
    const std::string rows = sys.substr(sys.find('\n') + 1);
    writeSeed("update_answers", "dv.htm", rows.substr(0, rows.find_first_of("\r\n")));
    const std::string comma = "，";
    writeSeed("update_answers", "du.htm",
              common::toGbk("http://127.0.0.1:8080/zorvast/satdata.sta" + comma +
                            "ftp://127.0.0.1:2121/pub/satdata.sta")
                  .bytes);
    writeSeed("update_answers", "su.htm",
              common::toGbk(" http://127.0.0.1:8080/zorvast/zorvast.zip　" + comma + comma +
                            "　ftp://127.0.0.1:2121/pub/zorvast.zip " + comma)
                  .bytes);
}

void signatureSeeds() {
    const std::optional<update::SecretKey> key =
        update::readSecretKeyFile(repo / "keys/test-package.sec");
    if (!key) {
        die("cannot read the test signing key");
    }
    auto signedSeed = [&](const std::string& name, std::vector<update::PackageEntry> entries) {
        const std::optional<std::string> signature = update::signPackageEntries(entries, *key);
        if (!signature) {
            die("cannot sign " + name);
        }
        entries.push_back({update::kSignatureEntry, *signature});
        writeSeed("signature", name, fuzz::encodeEntries(entries));
    };
    // The shipped package's entries but the large database.
    std::vector<update::PackageEntry> small;
    for (const fs::directory_entry& file : fs::directory_iterator(dataBuild / "package")) {
        const std::string content = readOrDie(file.path());
        if (content.size() <= 16 * 1024) {
            small.push_back({file.path().filename().string(), content});
        }
    }
    std::sort(small.begin(), small.end(),
              [](const auto& a, const auto& b) { return a.name < b.name; });
    signedSeed("package.bin", small);
    signedSeed("one-entry.bin", {small.front()});
    signedSeed("no-entries.bin", {});
    writeSeed("signature", "unsigned.bin", fuzz::encodeEntries(small));
    writeSeed("signature", "public-key.txt", readOrDie(repo / "keys/test-package.pub"));
}

void releaseSeeds() {
    const std::optional<update::SecretKey> key =
        update::readSecretKeyFile(repo / "keys/test-package.sec");
    if (!key) {
        die("cannot read the test signing key");
    }
    writeSeed("release", "data.pkg", update::formatManifest({update::PackageKind::Data, "261210"}));
    writeSeed("release", "program.pkg",
              update::formatManifest({update::PackageKind::Software, "1.03"}));
    const std::optional<std::string> statement =
        update::signReleaseStatement({.dataVersion = "261210",
                                      .programVersion = "1.03",
                                      .issued = std::chrono::year{2026} / 12 / 10},
                                     *key);
    if (!statement) {
        die("cannot sign the release statement");
    }
    writeSeed("release", "release.sig", *statement);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        die("usage: fuzz-seeds OUT REPO DATA_BUILD");
    }
    outRoot = argv[1];
    repo = argv[2];
    dataBuild = argv[3];
    try {
        jetSeeds();
        zipSeeds();
        listSeeds();
        answerSeeds();
        signatureSeeds();
        releaseSeeds();
    } catch (const std::exception& e) {
        die(e.what());
    }
    return 0;
}
