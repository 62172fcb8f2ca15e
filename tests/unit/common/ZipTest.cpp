#include "common/Zip.h"

#include "common/Text.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include <ctime>

namespace zorvast::common {
namespace {

namespace fs = std::filesystem;
using zorvast::testing::readAll;
using zorvast::testing::TempFolder;

const std::string kGbkName = "\xCE\xC0\xD0\xC7.txt"; // "卫星.txt" in GBK

// The fields of one central directory record, and where its local header sits.
struct CentralRecord {
    std::size_t offset = 0;
    std::uint16_t flags = 0;
    std::size_t localOffset = 0;
    std::string name;
};

std::uint32_t readLe(const std::string& b, std::size_t at, int bytes) {
    std::uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) {
        v = (v << 8) | static_cast<unsigned char>(b.at(at + i));
    }
    return v;
}

void writeLe(std::string& b, std::size_t at, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        b.at(at + i) = static_cast<char>((v >> (8 * i)) & 0xFF);
    }
}

// Walks the central directory from the end-of-central-directory record, independently of libzip.
std::vector<CentralRecord> centralDirectory(const std::string& archive) {
    const std::size_t eocd = archive.rfind(std::string("PK\x05\x06", 4));
    EXPECT_NE(eocd, std::string::npos);
    const std::size_t count = readLe(archive, eocd + 10, 2);
    std::size_t p = readLe(archive, eocd + 16, 4);
    std::vector<CentralRecord> records;
    for (std::size_t i = 0; i < count; ++i) {
        EXPECT_EQ(readLe(archive, p, 4), 0x02014b50u);
        CentralRecord r;
        r.offset = p;
        r.flags = static_cast<std::uint16_t>(readLe(archive, p + 8, 2));
        const std::size_t nameLength = readLe(archive, p + 28, 2);
        const std::size_t extraLength = readLe(archive, p + 30, 2);
        const std::size_t commentLength = readLe(archive, p + 32, 2);
        r.localOffset = readLe(archive, p + 42, 4);
        r.name = archive.substr(p + 46, nameLength);
        records.push_back(r);
        p += 46 + nameLength + extraLength + commentLength;
    }
    return records;
}

// Every regular file below `root`, relative to it.
std::set<std::string> filesBelow(const fs::path& root) {
    std::set<std::string> found;
    for (const auto& item : fs::recursive_directory_iterator(root)) {
        if (!item.is_directory()) {
            found.insert(fs::relative(item.path(), root).string());
        }
    }
    return found;
}

std::string makeArchive(const TempFolder& temp, const std::string& name,
                        const std::vector<ArchiveEntry>& entries) {
    const std::string path = temp.file(name);
    std::string error;
    EXPECT_TRUE(createArchive(path, entries, &error)) << error;
    return path;
}

TEST(ExtractArchive, NormalArchiveWithSubfolders) {
    TempFolder temp;
    std::string binary("\x00\x01\xFF\r\n\x00", 6);
    const std::string archive = makeArchive(temp, "normal.zip",
                                            {{"readme.txt", "hello\r\n"},
                                             {"sub/", ""},
                                             {"sub/data.bin", binary},
                                             {"sub/deeper/empty.txt", ""},
                                             {"other/x.txt", std::string(100000, 'x')}});
    const std::string out = temp.file("out");
    const ExtractResult result = extractArchive(archive, out);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_TRUE(result.error.empty());
    EXPECT_EQ(result.entries, (std::vector<std::string>{"readme.txt", "sub/", "sub/data.bin",
                                                        "sub/deeper/empty.txt", "other/x.txt"}));
    EXPECT_EQ(readAll(out + "/readme.txt"), "hello\r\n");
    EXPECT_EQ(readAll(out + "/sub/data.bin"), binary);
    EXPECT_TRUE(fs::is_regular_file(out + "/sub/deeper/empty.txt"));
    EXPECT_EQ(fs::file_size(out + "/sub/deeper/empty.txt"), 0u);
    EXPECT_EQ(readAll(out + "/other/x.txt"), std::string(100000, 'x'));
    EXPECT_EQ(filesBelow(out), (std::set<std::string>{"readme.txt", "sub/data.bin",
                                                      "sub/deeper/empty.txt", "other/x.txt"}));
}

TEST(ExtractArchive, EntriesAreDeflated) {
    TempFolder temp;
    const std::string archive =
        makeArchive(temp, "deflated.zip", {{"big.txt", std::string(200000, 'a')}});
    EXPECT_LT(fs::file_size(archive), 10000u);
    const std::string bytes = readAll(archive);
    const auto records = centralDirectory(bytes);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(readLe(bytes, records[0].offset + 10, 2), 8u); // method 8 = deflate
}

TEST(ExtractArchive, ReplacesExistingFiles) {
    TempFolder temp;
    const std::string out = temp.file("out");
    temp.write("out/a.txt", "a much longer old content");
    const std::string archive = makeArchive(temp, "a.zip", {{"a.txt", "new"}});
    ASSERT_TRUE(extractArchive(archive, out).ok);
    EXPECT_EQ(readAll(out + "/a.txt"), "new");
}

TEST(ExtractArchive, FilesKeepTheirEntryDate) {
    TempFolder temp;
    const std::string archive = temp.file("d.zip");
    ArchiveEntry entry{"satdata.str", "data"};
    entry.date = {2026, 12, 9};
    ASSERT_TRUE(createArchive(archive, {entry, {"other.txt", "x"}}));
    const std::string out = temp.file("out");
    ASSERT_TRUE(extractArchive(archive, out).ok);
    auto localDate = [](const std::string& path) {
        struct stat info {};
        EXPECT_EQ(::stat(path.c_str(), &info), 0);
        std::tm parts{};
        localtime_r(&info.st_mtime, &parts);
        return std::vector<int>{parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday};
    };
    EXPECT_EQ(localDate(out + "/satdata.str"), (std::vector<int>{2026, 12, 9}));
    // An entry made without a day of its own gets the default day, never the clock's.
    const EntryDate undated;
    EXPECT_EQ(localDate(out + "/other.txt"),
              (std::vector<int>{undated.year, undated.month, undated.day}));
}

TEST(ExtractArchive, FromMemory) {
    TempFolder temp;
    const std::string archive =
        makeArchive(temp, "m.zip", {{"cities/list.txt", "x"}, {kGbkName, "gbk", false}});
    const std::string bytes = readAll(archive);
    fs::remove(archive);
    const std::string out = temp.file("out");
    const ExtractResult result = extractArchive(asBytes(bytes), out);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(readAll(out + "/cities/list.txt"), "x");
    EXPECT_EQ(readAll(out + "/卫星.txt"), "gbk");

    const ExtractResult broken = extractArchive(asBytes(bytes.substr(0, 40)), temp.file("b"));
    EXPECT_FALSE(broken.ok);
    EXPECT_FALSE(broken.error.empty());
    EXPECT_FALSE(fs::exists(temp.file("b")));
}

TEST(ExtractArchive, GbkNameWithoutUtf8Flag) {
    TempFolder temp;
    const std::string archive = makeArchive(
        temp, "gbk.zip",
        {{kGbkName, "gbk entry", false}, {"\xCC\xEC\xCF\xDF/\xD1\xF6\xBD\xC7.txt", "x", false}});
    const auto records = centralDirectory(readAll(archive));
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].name, kGbkName); // stored raw
    EXPECT_EQ(records[0].flags & 0x800, 0);
    EXPECT_EQ(records[1].flags & 0x800, 0);

    const std::string out = temp.file("out");
    const ExtractResult result = extractArchive(archive, out);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.entries, (std::vector<std::string>{"卫星.txt", "天线/仰角.txt"}));
    EXPECT_EQ(readAll(out + "/卫星.txt"), "gbk entry");
    EXPECT_EQ(readAll(out + "/天线/仰角.txt"), "x");
}

TEST(ExtractArchive, Utf8NameWithFlag) {
    TempFolder temp;
    const std::string archive =
        makeArchive(temp, "utf8.zip", {{"天线/仰角.txt", "utf8 entry", true}, {"plain.txt", "p"}});
    const auto records = centralDirectory(readAll(archive));
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].name, "天线/仰角.txt");
    EXPECT_NE(records[0].flags & 0x800, 0);

    const std::string out = temp.file("out");
    const ExtractResult result = extractArchive(archive, out);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(readAll(out + "/天线/仰角.txt"), "utf8 entry");
    EXPECT_EQ(readAll(out + "/plain.txt"), "p");
}

TEST(ExtractArchive, UnflaggedNamesAreGbkEvenWhenTheyLookLikeUtf8) {
    TempFolder temp;
    const std::string utf8Bytes = "中.txt";
    const std::string archive = makeArchive(temp, "looks.zip", {{utf8Bytes, "x", false}});
    const auto records = centralDirectory(readAll(archive));
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].flags & 0x800, 0);
    const std::string expected = fromGbk(Gbk{utf8Bytes});
    ASSERT_NE(expected, utf8Bytes);

    const ExtractResult result = extractArchive(archive, temp.file("out"));
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.entries, (std::vector<std::string>{expected}));
    EXPECT_TRUE(fs::exists(temp.file("out") + "/" + expected));
}

TEST(ExtractArchive, RefusesEntriesThatEscapeAndWritesNothing) {
    const std::string absolute = "/zorvast-abs-" + std::to_string(::getpid()) + ".txt";
    ASSERT_FALSE(fs::exists(absolute));
    const std::vector<std::string> hostile = {
        "../evil.txt",           "a/../../evil.txt", absolute, "..\\evil.txt",
        "sub\\..\\..\\evil.txt", "C:/evil.txt",      "..",
    };
    for (const std::string& name : hostile) {
        SCOPED_TRACE(name);
        TempFolder temp;
        // The good entry comes first: a refused name must stop the archive before any write.
        const std::string archive =
            makeArchive(temp, "slip.zip", {{"good.txt", "fine"}, {name, "evil"}});
        const std::string out = temp.file("out");
        const ExtractResult result = extractArchive(archive, out);
        EXPECT_FALSE(result.ok);
        EXPECT_FALSE(result.error.empty());
        EXPECT_FALSE(fs::exists(out + "/good.txt"));
        EXPECT_EQ(filesBelow(temp.path()), (std::set<std::string>{"slip.zip"}));
        EXPECT_FALSE(fs::exists(absolute));
    }
}

TEST(ExtractArchive, DotDotThatStaysInsideIsAccepted) {
    TempFolder temp;
    const std::string archive =
        makeArchive(temp, "dots.zip", {{"a/../b.txt", "b"}, {"./c.txt", "c"}});
    const ExtractResult result = extractArchive(archive, temp.file("out"));
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.entries, (std::vector<std::string>{"b.txt", "c.txt"}));
    EXPECT_EQ(readAll(temp.file("out/b.txt")), "b");
    EXPECT_EQ(readAll(temp.file("out/c.txt")), "c");
}

TEST(ExtractArchive, DoesNotFollowSymbolicLinksInTheTarget) {
    TempFolder temp;
    const std::string out = temp.file("out");
    fs::create_directories(out);
    fs::create_directories(temp.file("outside"));
    fs::create_directory_symlink(temp.file("outside"), out + "/link");
    const std::string archive = makeArchive(temp, "link.zip", {{"link/x.txt", "x"}});
    const ExtractResult result = extractArchive(archive, out);
    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(fs::exists(temp.file("outside/x.txt")));
}

TEST(EntryTargetPath, Table) {
    const std::vector<std::pair<std::string, std::optional<std::string>>> cases = {
        {"a.txt", "a.txt"},
        {"sub/a.txt", "sub/a.txt"},
        {"sub/", "sub/"},
        {"sub\\a.txt", "sub/a.txt"},
        {"a//b/./c", "a/b/c"},
        {"a/../b", "b"},
        {"a/b/../../c/", "c/"},
        {"../a", std::nullopt},
        {"a/../../b", std::nullopt},
        {"/etc/passwd", std::nullopt},
        {"\\share\\x", std::nullopt},
        {"C:\\x", std::nullopt},
        {"a/../C:x", std::nullopt}, // found by fuzz_zip: a drive letter behind "a/.."
        {"./C:/x", std::nullopt},
        {"a/C:x", "a/C:x"},
        {"", std::nullopt},
        {".", std::nullopt},
        {"a/..", std::nullopt},
        {"...", "..."},
        {"..a/b", "..a/b"},
    };
    for (const auto& [name, expected] : cases) {
        EXPECT_EQ(entryTargetPath(name), expected) << "name " << name;
    }
}

TEST(EntryNameClaims, OneNameOneThing) {
    struct Claim {
        const char* relative;
        bool folder;
        bool accepted;
    };
    const std::vector<std::pair<const char*, std::vector<Claim>>> cases = {
        {"distinct files", {{"a", false, true}, {"b", false, true}, {"c/d", false, true}}},
        {"the same file twice", {{"a", false, true}, {"a", false, false}}},
        {"a folder named twice", {{"d", true, true}, {"d", true, true}, {"d/x", false, true}}},
        {"a file, then a folder of its name", {{"a", false, true}, {"a", true, false}}},
        {"a file, then an entry below it", {{"a", false, true}, {"a/b", false, false}}},
        {"an entry below, then a file of the folder's name",
         {{"a/b/c", false, true}, {"a/b", false, false}, {"a", false, false}}},
        {"a folder, then a file of its name", {{"e", true, true}, {"e", false, false}}},
        {"names that only share a beginning", {{"ab", false, true}, {"a/b", false, true}}},
    };
    for (const auto& [what, claims] : cases) {
        SCOPED_TRACE(what);
        EntryNameClaims names;
        for (const Claim& claim : claims) {
            EXPECT_EQ(names.claim(claim.relative, claim.folder), claim.accepted) << claim.relative;
        }
    }
}

TEST(ExtractArchive, StopsAHighlyCompressibleEntryAboveTheLimit) {
    TempFolder temp;
    const std::string archive =
        makeArchive(temp, "bomb.zip", {{"zeros.bin", std::string(8 * 1024 * 1024, '\0')}});
    ASSERT_LT(fs::file_size(archive), 64u * 1024);
    ExtractLimits limits;
    limits.maxTotalBytes = 1024 * 1024;
    const ExtractResult result = extractArchive(archive, temp.file("out"), limits);
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.error.find("limit"), std::string::npos) << result.error;
    EXPECT_FALSE(fs::exists(temp.file("out/zeros.bin")));

    // The same archive is fine under the default limits.
    EXPECT_TRUE(extractArchive(archive, temp.file("ok")).ok);
    EXPECT_EQ(fs::file_size(temp.file("ok/zeros.bin")), 8u * 1024 * 1024);
}

TEST(ExtractArchive, LimitsApplyPerEntryAndInTotal) {
    TempFolder temp;
    const std::string archive =
        makeArchive(temp, "two.zip",
                    {{"a", std::string(600 * 1024, 'a')}, {"b", std::string(600 * 1024, 'b')}});
    ExtractLimits perEntry;
    perEntry.maxEntryBytes = 512 * 1024;
    EXPECT_FALSE(extractArchive(archive, temp.file("e"), perEntry).ok);
    ExtractLimits total;
    total.maxTotalBytes = 1024 * 1024;
    EXPECT_FALSE(extractArchive(archive, temp.file("t"), total).ok);
    ExtractLimits enough;
    enough.maxEntryBytes = 600 * 1024;
    enough.maxTotalBytes = 1200 * 1024;
    EXPECT_TRUE(extractArchive(archive, temp.file("ok"), enough).ok);
    ExtractLimits fewEntries;
    fewEntries.maxEntries = 1;
    EXPECT_FALSE(extractArchive(archive, temp.file("n"), fewEntries).ok);
}

TEST(ExtractArchive, CountsInflatedBytesNotDeclaredSizes) {
    TempFolder temp;
    const std::string archive =
        makeArchive(temp, "liar.zip", {{"zeros.bin", std::string(8 * 1024 * 1024, '\0')}});
    // Claim 1000 bytes in both headers; the deflate stream still inflates to 8 MiB.
    std::string bytes = readAll(archive);
    const auto records = centralDirectory(bytes);
    ASSERT_EQ(records.size(), 1u);
    writeLe(bytes, records[0].offset + 24, 1000, 4);
    writeLe(bytes, records[0].localOffset + 22, 1000, 4);
    const std::string liar = temp.write("patched.zip", bytes);

    ExtractLimits limits;
    limits.maxTotalBytes = 1024 * 1024;
    limits.maxEntryBytes = 1024 * 1024;
    const std::string out = temp.file("out");
    const ExtractResult result = extractArchive(liar, out, limits);
    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(result.error.empty());
    if (fs::exists(out + "/zeros.bin")) {
        EXPECT_LE(fs::file_size(out + "/zeros.bin"), 1024u * 1024);
    }
}

TEST(ExtractArchive, CrcMismatchFails) {
    TempFolder temp;
    const std::string archive =
        makeArchive(temp, "crc.zip", {{"first.txt", "ok"}, {"data.txt", std::string(5000, 'q')}});
    std::string bytes = readAll(archive);
    const auto records = centralDirectory(bytes);
    ASSERT_EQ(records.size(), 2u);
    const std::uint32_t crc = readLe(bytes, records[1].offset + 16, 4) ^ 0x5A5A5A5Au;
    writeLe(bytes, records[1].offset + 16, crc, 4);
    writeLe(bytes, records[1].localOffset + 14, crc, 4);
    const std::string broken = temp.write("broken.zip", bytes);

    const std::string out = temp.file("out");
    const ExtractResult result = extractArchive(broken, out);
    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(result.error.empty());
    EXPECT_FALSE(fs::exists(out + "/data.txt")); // the bad entry is not left behind
}

// Renames entry `index` in both its directory record and its local header (same length).
std::string renamedEntry(std::string bytes, std::size_t index, const std::string& newName) {
    const auto records = centralDirectory(bytes);
    const CentralRecord& r = records.at(index);
    EXPECT_EQ(r.name.size(), newName.size());
    bytes.replace(r.offset + 46, newName.size(), newName);
    bytes.replace(r.localOffset + 30, newName.size(), newName);
    return bytes;
}

TEST(ExtractArchive, BadEntryNeverTouchesFilesThatWereThereBefore) {
    TempFolder temp;
    const std::string archive = makeArchive(
        temp, "crc.zip", {{"nch.str", "new list"}, {"satdata.str", std::string(5000, 'q')}});
    std::string bytes = readAll(archive);
    const auto records = centralDirectory(bytes);
    const std::uint32_t crc = readLe(bytes, records[1].offset + 16, 4) ^ 0x5A5A5A5Au;
    writeLe(bytes, records[1].offset + 16, crc, 4);
    writeLe(bytes, records[1].localOffset + 14, crc, 4);
    const std::string broken = temp.write("broken.zip", bytes);

    // The folder already holds both names: neither is removed nor changed.
    temp.write("out/satdata.str", "running database");
    temp.write("out/nch.str", "running list");
    const ExtractResult result = extractArchive(broken, temp.file("out"));
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(readAll(temp.file("out/satdata.str")), "running database");
    EXPECT_EQ(readAll(temp.file("out/nch.str")), "running list");
    EXPECT_EQ(filesBelow(temp.file("out")), (std::set<std::string>{"nch.str", "satdata.str"}));
}

TEST(ExtractArchive, ANameThatOccursTwiceFailsTheArchive) {
    struct Case {
        const char* what;
        std::vector<ArchiveEntry> entries;
        std::size_t renamed;
        const char* newName;
    };
    const std::vector<Case> cases = {
        {"the same file name", {{"a.txt", "first"}, {"b.txt", "second"}}, 1, "a.txt"},
        {"the same after resolving", {{"x/../a.txt", "first"}, {"y/../a.txt", "second"}}, 0, ""},
        {"a file where a folder is needed", {{"a", "file"}, {"b/c", "nested"}}, 1, "a/c"},
        {"a folder entry over a file", {{"d", "file"}, {"e/", ""}}, 1, "d/"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder temp;
        std::string bytes = readAll(makeArchive(temp, "in.zip", c.entries));
        if (*c.newName != '\0') {
            bytes = renamedEntry(bytes, c.renamed, c.newName);
        }
        const ExtractResult result = extractArchive(temp.write("dup.zip", bytes), temp.file("out"));
        EXPECT_FALSE(result.ok);
        EXPECT_NE(result.error.find("twice"), std::string::npos) << result.error;
        EXPECT_FALSE(fs::exists(temp.file("out"))); // nothing written at all
        EXPECT_FALSE(unpackArchive(asBytes(bytes)).ok);
    }
}

TEST(ExtractArchive, LinkEntriesAreRefused) {
    TempFolder temp;
    const std::string archive = makeArchive(temp, "l.zip", {{"page.htm", "/etc/passwd"}});
    std::string bytes = readAll(archive);
    const auto records = centralDirectory(bytes);
    writeLe(bytes, records[0].offset + 5, 3, 1);                 // made by: Unix
    writeLe(bytes, records[0].offset + 38, (0120777u << 16), 4); // mode: a link
    const ExtractResult result = extractArchive(temp.write("link.zip", bytes), temp.file("out"));
    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(fs::exists(temp.file("out/page.htm")));
}

TEST(ExtractArchive, APlantedLinkAtAFileNameIsReplacedNotWrittenThrough) {
    TempFolder temp;
    const std::string victim = temp.write("victim.txt", "the user's own file");
    fs::create_directories(temp.file("out"));
    fs::create_symlink(victim, temp.file("out/city.dat"));
    const std::string archive = makeArchive(temp, "c.zip", {{"city.dat", "ZIP bytes"}});
    ASSERT_TRUE(extractArchive(archive, temp.file("out")).ok);
    EXPECT_EQ(readAll(victim), "the user's own file");
    EXPECT_FALSE(fs::is_symlink(fs::symlink_status(temp.file("out/city.dat"))));
    EXPECT_EQ(readAll(temp.file("out/city.dat")), "ZIP bytes");
}

TEST(ExtractArchive, ArchiveFileMustBeARegularFile) {
    TempFolder temp;
    const std::string archive = makeArchive(temp, "real.zip", {{"a", "1"}});
    fs::create_symlink(archive, temp.file("linked.zip"));
    EXPECT_FALSE(extractArchive(temp.file("linked.zip"), temp.file("out")).ok);
    fs::create_directories(temp.file("folder.zip"));
    EXPECT_FALSE(extractArchive(temp.file("folder.zip"), temp.file("out")).ok);
    EXPECT_TRUE(extractArchive(archive, temp.file("out")).ok);
}

TEST(ExtractArchive, DamagedDataFails) {
    TempFolder temp;
    std::string content;
    for (int i = 0; i < 20000; ++i) {
        content += std::to_string(i * 7919 % 10007) + ",";
    }
    const std::string archive = makeArchive(temp, "data.zip", {{"numbers.txt", content}});
    std::string bytes = readAll(archive);
    const auto records = centralDirectory(bytes);
    ASSERT_EQ(records.size(), 1u);
    const std::size_t dataStart = records[0].localOffset + 30 +
                                  readLe(bytes, records[0].localOffset + 26, 2) +
                                  readLe(bytes, records[0].localOffset + 28, 2);
    const std::size_t dataLength = readLe(bytes, records[0].offset + 20, 4);
    for (std::size_t k = dataLength / 3; k < dataLength / 3 + 64; ++k) {
        bytes[dataStart + k] = static_cast<char>(bytes[dataStart + k] ^ 0xFF);
    }
    const ExtractResult result = extractArchive(temp.write("damaged.zip", bytes), temp.file("out"));
    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(result.error.empty());
}

TEST(ExtractArchive, TruncatedArchivesFailCleanly) {
    TempFolder temp;
    const std::string archive = makeArchive(
        temp, "full.zip", {{"a.txt", std::string(3000, 'a')}, {"b/c.txt", "content of c"}});
    const std::string bytes = readAll(archive);
    for (const std::size_t keep :
         {std::size_t{0}, std::size_t{10}, bytes.size() / 2, bytes.size() - 23, bytes.size() - 1}) {
        SCOPED_TRACE("keep " + std::to_string(keep));
        const std::string cut = temp.write("cut.zip", bytes.substr(0, keep));
        const ExtractResult result = extractArchive(cut, temp.file("out"));
        EXPECT_FALSE(result.ok);
        EXPECT_FALSE(result.error.empty());
        EXPECT_TRUE(result.entries.empty());
    }
}

TEST(ExtractArchive, MissingArchiveFails) {
    TempFolder temp;
    const ExtractResult result = extractArchive(temp.file("absent.zip"), temp.file("out"));
    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(result.error.empty());
    EXPECT_FALSE(fs::exists(temp.file("out")));
}

TEST(CreateArchive, ReportsFailures) {
    TempFolder temp;
    std::string error;
    EXPECT_FALSE(createArchive(temp.file("dup.zip"), {{"a", "1"}, {"a", "2"}}, &error));
    EXPECT_FALSE(error.empty());
    error.clear();
    EXPECT_FALSE(createArchive(temp.file("no/such/folder/x.zip"), {{"a", "1"}}, &error));
    EXPECT_FALSE(error.empty());
    error.clear();
    // A name flagged UTF-8 must be UTF-8.
    EXPECT_FALSE(createArchive(temp.file("bad.zip"), {{kGbkName, "1", true}}, &error));
    EXPECT_FALSE(error.empty());
}

} // namespace
} // namespace zorvast::common

namespace {
TEST(CreateArchiveReproducible, TwoRunsGiveTheSameBytes) {
    zorvast::testing::TempFolder temp;
    const std::vector<zorvast::common::ArchiveEntry> entries = {
        {"satdata.str", std::string(5000, 'x')}, {"页面/home.htm", "<html></html>"}};
    ASSERT_TRUE(zorvast::common::createArchive(temp.file("a.zip"), entries));
    std::this_thread::sleep_for(std::chrono::milliseconds(2100)); // past the DOS 2 s step
    ASSERT_TRUE(zorvast::common::createArchive(temp.file("b.zip"), entries));
    EXPECT_EQ(zorvast::testing::readAll(temp.file("a.zip")),
              zorvast::testing::readAll(temp.file("b.zip")));
}
} // namespace
