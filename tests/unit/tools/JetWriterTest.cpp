// Writes Jet 4 files and reads them back with two independent readers: the mdbtools CLI
// and the npm package mdb-reader (tests/js/read-mdb.mjs).
#include "JetWriter.h"
#include "support/SatTableSample.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace {

using jetwriter::Column;
using jetwriter::ColumnType;
using jetwriter::Row;
using jetwriter::Table;
using jetwriter::Value;
using zorvast::testing::readAll;
using zorvast::testing::TempFolder;

struct Result {
    int exitCode = -1;
    std::string out;
};

std::string quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) {
        if (c == '\'') {
            q += "'\\''";
        } else {
            q += c;
        }
    }
    return q + "'";
}

// Runs a shell command; stderr is folded into the output so failures explain themselves.
Result run(const std::string& command) {
    Result r;
    FILE* p = popen((command + " 2>&1").c_str(), "r");
    if (!p) {
        return r;
    }
    std::array<char, 4096> buf{};
    std::size_t n = 0;
    while ((n = fread(buf.data(), 1, buf.size(), p)) > 0) {
        r.out.append(buf.data(), n);
    }
    const int status = pclose(p);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

std::string mdbReader(const std::string& file, const std::string& table = "",
                      const std::string& columns = "") {
    const std::string script = std::string(ZORVAST_SOURCE_DIR) + "/tests/js/read-mdb.mjs";
    std::string cmd = "node " + quote(script) + " " + quote(file);
    if (!table.empty()) {
        cmd += " " + quote(table);
    }
    if (!columns.empty()) {
        cmd += " " + quote(columns);
    }
    const Result r = run(cmd);
    EXPECT_EQ(r.exitCode, 0) << r.out;
    return r.out;
}

std::string mdbTool(const std::string& args) {
    const Result r = run(args);
    EXPECT_EQ(r.exitCode, 0) << args << "\n" << r.out;
    return r.out;
}

std::string jsonString(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c < 0x20) {
            char b[8];
            std::snprintf(b, sizeof b, "\\u%04x", c);
            out += b;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string jsonValue(const Value& v) {
    if (!v) {
        return "null";
    }
    if (const auto* s = std::get_if<std::string>(&*v)) {
        return jsonString(*s);
    }
    if (const auto* b = std::get_if<bool>(&*v)) {
        return *b ? "true" : "false";
    }
    return std::to_string(std::get<std::int64_t>(*v));
}

// What read-mdb.mjs prints for a table; a NULL Yes/No reads as false.
std::string expectedJson(const Table& t) {
    std::string s = "{\"columns\":[";
    for (std::size_t i = 0; i < t.columns.size(); ++i) {
        s += i ? "," : "";
        s += jsonString(t.columns[i].name);
    }
    s += "],\"rowCount\":" + std::to_string(t.rows.size()) + ",\"rows\":[";
    for (std::size_t r = 0; r < t.rows.size(); ++r) {
        s += r ? ",[" : "[";
        for (std::size_t i = 0; i < t.columns.size(); ++i) {
            Value v = t.rows[r][i];
            if (!v && t.columns[i].type == ColumnType::YesNo) {
                v = false;
            }
            s += i ? "," : "";
            s += jsonValue(v);
        }
        s += "]";
    }
    return s + "]}\n";
}

// What `mdb-export -e -Q -d '\t'` prints: a header of names, then one line a row; -e turns
// tab, CR, LF and backslash into C escapes. mdbtools prints NULL and "" alike (nothing) and
// a Yes/No as 1/0, so this side cannot tell NULL from ""; mdb-reader checks that.
std::string expectedExport(const Table& t) {
    std::string s;
    for (std::size_t i = 0; i < t.columns.size(); ++i) {
        s += i ? "\t" : "";
        s += t.columns[i].name;
    }
    s += "\n";
    for (const Row& row : t.rows) {
        for (std::size_t i = 0; i < row.size(); ++i) {
            s += i ? "\t" : "";
            const Value& v = row[i];
            if (t.columns[i].type == ColumnType::YesNo) {
                s += v && std::get<bool>(*v) ? "1" : "0";
            } else if (!v) {
            } else if (const auto* n = std::get_if<std::int64_t>(&*v)) {
                s += std::to_string(*n);
            } else {
                for (char c : std::get<std::string>(*v)) {
                    switch (c) {
                    case '\t':
                        s += "\\t";
                        break;
                    case '\n':
                        s += "\\n";
                        break;
                    case '\r':
                        s += "\\r";
                        break;
                    case '\\':
                        s += "\\\\";
                        break;
                    default:
                        s += c;
                    }
                }
            }
        }
        s += "\n";
    }
    return s;
}

// Both readers, every value: mdb-count, mdb-export line by line, mdb-reader as JSON.
void expectBothReaders(const std::string& path, const Table& t) {
    SCOPED_TRACE("table " + t.name);
    EXPECT_EQ(mdbTool("mdb-count " + quote(path) + " " + quote(t.name)),
              std::to_string(t.rows.size()) + "\n");
    const std::string got =
        mdbTool("mdb-export -e -Q -d '\\t' " + quote(path) + " " + quote(t.name));
    const std::string want = expectedExport(t);
    if (got != want) {
        // Name the first differing line instead of dumping megabytes.
        std::istringstream g(got), w(want);
        std::string gl, wl;
        for (int line = 1;; ++line) {
            const bool gm = static_cast<bool>(std::getline(g, gl));
            const bool wm = static_cast<bool>(std::getline(w, wl));
            if (!gm && !wm) {
                break;
            }
            if (gm != wm || gl != wl) {
                ADD_FAILURE() << "mdb-export line " << line << "\n got: " << gl << "\nwant: " << wl;
                break;
            }
        }
    }
    const std::string json = mdbReader(path, t.name);
    const std::string wantJson = expectedJson(t);
    if (json != wantJson) {
        std::size_t at = 0;
        while (at < json.size() && at < wantJson.size() && json[at] == wantJson[at]) {
            ++at;
        }
        const std::size_t from = at > 80 ? at - 80 : 0;
        ADD_FAILURE() << "mdb-reader differs at byte " << at << "\n got: " << json.substr(from, 160)
                      << "\nwant: " << wantJson.substr(from, 160);
    }
}

Value text(const std::string& s) {
    return Value{s};
}
Value num(std::int64_t n) {
    return Value{n};
}
Value yes(bool b) {
    return Value{b};
}

std::string repeat(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) {
        out += s;
    }
    return out;
}

Table typesTable() {
    Table t;
    t.name = "Types";
    t.columns = {{"t", ColumnType::Text, 255},
                 {"i", ColumnType::Integer, 0},
                 {"l", ColumnType::Long, 0},
                 {"b", ColumnType::YesNo, 0},
                 {"short", ColumnType::Text, 4}};
    t.rows = {
        {text("中星6B 凤凰卫视"), num(0), num(0), yes(true), text("yz")},
        {text(""), num(-32768), num(-2147483648LL), yes(false), text("")},
        {text("Plain ASCII text"), num(32767), num(2147483647), yes(true), text("abcd")},
        {Value{}, Value{}, Value{}, Value{}, Value{}},
        {text(repeat("x", 255)), num(-1), num(-1), yes(false), text("é")},
        {text(repeat("卫", 255)), num(1), num(11646), yes(true), text("Café")},
        {text("tab\there \"quoted\", line\nbreak"), num(12), num(-7), yes(false), Value{}},
    };
    return t;
}

std::string writeFile(const TempFolder& folder, const std::vector<Table>& tables,
                      const std::string& name = "db.mdb") {
    return folder.write(name, jetwriter::writeDatabase(tables));
}

std::string toUtf16le(const std::u16string& s) {
    std::string out;
    for (char16_t c : s) {
        out += static_cast<char>(c & 0xFF);
        out += static_cast<char>(c >> 8);
    }
    return out;
}

// Definition pages (type 0x02) after the catalog's, continuation pages included.
std::size_t definitionPages(const std::string& file) {
    std::size_t n = 0;
    for (std::size_t pg = 3; pg * 4096 < file.size(); ++pg) {
        n += file[pg * 4096] == 0x02;
    }
    return n;
}

std::uint32_t u32(const std::string& b, std::size_t at) {
    const auto* q = reinterpret_cast<const unsigned char*>(b.data()) + at;
    return q[0] | (q[1] << 8) | (q[2] << 16) | (std::uint32_t(q[3]) << 24);
}

// The owned-pages map row of each user table, in file order, found through the pointer at
// offset 55 of each table's first definition page.
std::vector<std::string> ownedMaps(const std::string& file) {
    std::vector<std::string> maps;
    std::uint32_t continuation = 0;
    for (std::uint32_t pg = 3; pg * 4096ull < file.size(); ++pg) {
        const std::size_t at = pg * 4096ull;
        if (file[at] != 0x02) {
            continue;
        }
        const bool first = pg != continuation;
        continuation = u32(file, at + 4);
        if (!first) {
            continue;
        }
        const std::uint32_t ptr = u32(file, at + 55);
        const std::size_t map = (ptr >> 8) * 4096ull;
        const std::uint32_t row = ptr & 0xFF;
        EXPECT_LT(map, file.size());
        EXPECT_LT(row, u32(file, map + 12) & 0xFFFF);
        const std::uint32_t start = u32(file, map + 14 + 2 * row) & 0x1FFF;
        const std::uint32_t end = row == 0 ? 4096 : u32(file, map + 12 + 2 * row) & 0x1FFF;
        maps.push_back(file.substr(map + start, end - start));
    }
    return maps;
}

// The first byte of the owned-pages map of the only user table: 0 inline, 1 bitmap pages.
int ownedMapType(const std::string& file) {
    const std::vector<std::string> maps = ownedMaps(file);
    EXPECT_EQ(maps.size(), 1u);
    return maps.empty() ? -1 : static_cast<unsigned char>(maps[0][0]);
}

TEST(JetWriter, EveryTypeReadsBackInMdbReader) {
    TempFolder folder;
    const Table t = typesTable();
    const std::string path = writeFile(folder, {t});
    EXPECT_EQ(mdbReader(path, "Types"), expectedJson(t));
    expectBothReaders(path, t);
}

TEST(JetWriter, EveryTypeReadsBackInMdbtools) {
    TempFolder folder;
    const std::string path = writeFile(folder, {typesTable()});
    EXPECT_EQ(mdbTool("mdb-tables -1 " + quote(path)), "Types\n");
    EXPECT_EQ(mdbTool("mdb-count " + quote(path) + " Types"), "7\n");
    // -H: no header; -d '|' and -q '' keep the expected text simple; -R '#' marks row ends.
    const std::string out =
        mdbTool("mdb-export -H -d '|' -q '' -R '#\n' " + quote(path) + " Types");
    const std::string expected = std::string("中星6B 凤凰卫视|0|0|1|yz#\n"
                                             "|-32768|-2147483648|0|#\n"
                                             "Plain ASCII text|32767|2147483647|1|abcd#\n"
                                             "|||0|#\n") +
                                 repeat("x", 255) + "|-1|-1|0|é#\n" + repeat("卫", 255) +
                                 "|1|11646|1|Café#\n" +
                                 "tab\there \"quoted\", line\nbreak|12|-7|0|#\n";
    EXPECT_EQ(out, expected);
}

TEST(JetWriter, TextIsCompressedOnlyUnderTheSafeRule) {
    const std::string file = jetwriter::writeDatabase({typesTable()});
    // Latin text of more than 2 chars: FF FE marker then one byte a char.
    EXPECT_NE(file.find(std::string("\xFF\xFE") + "Plain ASCII text"), std::string::npos);
    EXPECT_NE(file.find(std::string("\xFF\xFE") + "Caf\xE9"), std::string::npos);
    // Chinese and 2-char text stay raw UCS-2LE, never with a byte-order mark.
    EXPECT_NE(file.find(toUtf16le(u"中星6B 凤凰卫视")), std::string::npos);
    EXPECT_EQ(file.find(std::string("\xFF\xFE") + toUtf16le(u"中星")), std::string::npos);
    EXPECT_NE(file.find(toUtf16le(u"yz")), std::string::npos);
    EXPECT_EQ(file.find(std::string("\xFF\xFE") + "yz"), std::string::npos);
}

TEST(JetWriter, SeveralTablesListedInTheGivenOrder) {
    TempFolder folder;
    std::vector<Table> tables;
    for (const char* name : {"Zeta", "alpha", "卫星", "Mid"}) {
        Table t;
        t.name = name;
        t.columns = {{"name", ColumnType::Text, 20}, {"n", ColumnType::Long, 0}};
        for (int i = 0; i < 3 + static_cast<int>(tables.size()); ++i) {
            t.rows.push_back({text(std::string(name) + std::to_string(i)), num(i)});
        }
        tables.push_back(t);
    }
    tables.push_back(typesTable());
    const std::string path = writeFile(folder, tables);
    EXPECT_EQ(mdbTool("mdb-tables -1 " + quote(path)), "Zeta\nalpha\n卫星\nMid\nTypes\n");
    // The catalog is there, flagged as a system table.
    EXPECT_EQ(mdbTool("mdb-tables -1 -S " + quote(path)),
              "MSysObjects\nZeta\nalpha\n卫星\nMid\nTypes\n");
    EXPECT_EQ(mdbReader(path), "[\"Zeta\",\"alpha\",\"卫星\",\"Mid\",\"Types\"]\n");
    for (const Table& t : tables) {
        expectBothReaders(path, t);
    }
}

// Hundreds of tables: the catalog and the usage-map rows each need several pages.
TEST(JetWriter, ManyTablesSpanSeveralCatalogAndMapPages) {
    TempFolder folder;
    std::vector<Table> tables;
    std::string listing;
    for (int i = 0; i < 300; ++i) {
        Table t;
        t.name = (i % 2 ? "表" : "table_") + std::to_string(i);
        t.columns = {{"k", ColumnType::Integer, 0}, {"v", ColumnType::Text, 30}};
        for (int r = 0; r < i % 4; ++r) {
            t.rows.push_back({num(i * 10 + r), text(t.name + "/" + std::to_string(r))});
        }
        listing += t.name + "\n";
        tables.push_back(t);
    }
    const std::string bytes = jetwriter::writeDatabase(tables);
    const std::string path = folder.write("many.mdb", bytes);
    EXPECT_EQ(mdbTool("mdb-tables -1 " + quote(path)), listing);
    for (int i : {0, 1, 2, 3, 150, 298, 299}) {
        expectBothReaders(path, tables[i]);
    }
}

// The channel table's shape at the size the program ships.
TEST(JetWriter, TwentyThousandRowsOverManyPages) {
    TempFolder folder;
    const Table t = zorvast::testing::satTableSample(20000);
    using Clock = std::chrono::steady_clock;
    auto since = [](Clock::time_point start) {
        return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    };
    auto start = Clock::now();
    const std::string bytes = jetwriter::writeDatabase({t});
    const auto writeMs = since(start);
    const std::string path = folder.write("sat.mdb", bytes);
    start = Clock::now();
    const std::string exported = mdbTool("mdb-export -e -Q -d '\\t' " + quote(path) + " sat");
    const auto mdbtoolsMs = since(start);
    start = Clock::now();
    const std::string json = mdbReader(path, "sat");
    const auto mdbReaderMs = since(start);
    std::cout << "[ timing ] 20000 sat rows, " << bytes.size() / 4096 << " pages: write " << writeMs
              << " ms, mdb-export " << mdbtoolsMs << " ms, mdb-reader " << mdbReaderMs << " ms\n";
    RecordProperty("write_ms", static_cast<int>(writeMs));
    EXPECT_GT(bytes.size() / 4096, 100u);
    EXPECT_EQ(ownedMapType(bytes), 0);
    EXPECT_TRUE(exported == expectedExport(t));
    EXPECT_TRUE(json == expectedJson(t));
    expectBothReaders(path, t); // repeats the reads, naming the first difference if any
}

// Rows of about 3 KiB, one a page, so the page count is the row count.
Table onePerPage(int rows) {
    Table t;
    t.name = "Wide";
    for (int c = 0; c < 6; ++c) {
        t.columns.push_back({"c" + std::to_string(c), ColumnType::Text, 255});
    }
    for (int r = 0; r < rows; ++r) {
        Row row;
        for (int c = 0; c < 6; ++c) {
            row.push_back(text(std::to_string(r) + repeat("卫", 250)));
        }
        t.rows.push_back(row);
    }
    return t;
}

TEST(JetWriter, UsageMapTypeFollowsTheTablesPageCount) {
    struct Case {
        int rows;
        int mapType;
    };
    // 512 data pages still fit the inline map; 513 need the bitmap pages.
    for (const Case c : {Case{1, 0}, Case{512, 0}, Case{513, 1}, Case{1500, 1}}) {
        SCOPED_TRACE(c.rows);
        TempFolder folder;
        const Table t = onePerPage(c.rows);
        const std::string bytes = jetwriter::writeDatabase({t});
        EXPECT_GE(bytes.size() / 4096, static_cast<std::size_t>(c.rows));
        EXPECT_EQ(ownedMapType(bytes), c.mapType);
        expectBothReaders(folder.write("wide.mdb", bytes), t);
    }
}

// Past 32736 pages one bitmap page no longer covers the file: the big table's map points to
// two of them, the next table's map has an empty first slot, and an inline map starts high.
TEST(JetWriter, TablesBeyondTheFirstBitmapPageWindow) {
    TempFolder folder;
    Table big;
    big.name = "Big";
    big.columns = {{"id", ColumnType::Long, 0}};
    for (int c = 0; c < 8; ++c) {
        big.columns.push_back({"pad" + std::to_string(c), ColumnType::Text, 255});
    }
    const int bigRows = 33000; // rows of 2 KiB: one a page
    for (int r = 0; r < bigRows; ++r) {
        Row row{num(r * 3 - 50000)};
        for (int c = 0; c < 8; ++c) {
            row.push_back(text(std::to_string(r % 10) + repeat("p", 254)));
        }
        big.rows.push_back(std::move(row));
    }
    const std::vector<Table> tables = {big, onePerPage(600), typesTable()};
    const std::string bytes = jetwriter::writeDatabase(tables);
    ASSERT_GT(bytes.size() / 4096, 33600u);
    const std::vector<std::string> maps = ownedMaps(bytes);
    ASSERT_EQ(maps.size(), 3u);
    ASSERT_EQ(maps[0].size(), 9u);
    EXPECT_EQ(maps[0][0], 1);
    EXPECT_NE(u32(maps[0], 1), 0u);
    EXPECT_NE(u32(maps[0], 5), 0u);
    ASSERT_EQ(maps[1].size(), 9u);
    EXPECT_EQ(maps[1][0], 1);
    EXPECT_EQ(u32(maps[1], 1), 0u) << "the second table has no pages in the first window";
    EXPECT_NE(u32(maps[1], 5), 0u);
    ASSERT_EQ(maps[2].size(), 69u);
    EXPECT_EQ(maps[2][0], 0);
    EXPECT_GT(u32(maps[2], 1), 32736u);
    const std::string path = folder.write("huge.mdb", bytes);

    EXPECT_EQ(mdbTool("mdb-count " + quote(path) + " Big"), std::to_string(bigRows) + "\n");
    const std::string exported = mdbTool("mdb-export -H -e -Q -d '\\t' " + quote(path) + " Big");
    std::istringstream lines(exported);
    std::string line;
    int n = 0;
    std::string ids =
        "{\"columns\":[\"id\"],\"rowCount\":" + std::to_string(bigRows) + ",\"rows\":[";
    while (std::getline(lines, line)) {
        std::string want = std::to_string(n * 3 - 50000);
        for (int c = 0; c < 8; ++c) {
            want += "\t" + std::to_string(n % 10) + repeat("p", 254);
        }
        if (line != want) {
            ADD_FAILURE() << "mdb-export row " << n << ": " << line.substr(0, 40);
            break;
        }
        ids += (n ? ",[" : "[") + std::to_string(n * 3 - 50000) + "]";
        ++n;
    }
    EXPECT_EQ(n, bigRows);
    ids += "]}\n";
    EXPECT_TRUE(mdbReader(path, "Big", "id") == ids) << "mdb-reader ids differ";
    expectBothReaders(path, tables[1]);
    expectBothReaders(path, tables[2]);
}

// A large table between small ones: each table's map covers only its own pages.
TEST(JetWriter, LargeTableBetweenSmallOnes) {
    TempFolder folder;
    const std::vector<Table> tables = {typesTable(), onePerPage(600),
                                       zorvast::testing::satTableSample(500)};
    const std::string path = writeFile(folder, tables);
    for (const Table& t : tables) {
        expectBothReaders(path, t);
    }
}

TEST(JetWriter, EmptyTableReads) {
    TempFolder folder;
    Table t;
    t.name = "Empty";
    t.columns = {{"a", ColumnType::Text, 10}, {"b", ColumnType::YesNo, 0}};
    const std::string path = writeFile(folder, {t});
    expectBothReaders(path, t);
}

TEST(JetWriter, OutputIsDeterministic) {
    const std::vector<Table> tables = {typesTable(), onePerPage(20)};
    const std::string a = jetwriter::writeDatabase(tables);
    const std::string b = jetwriter::writeDatabase(tables);
    EXPECT_EQ(a.size() % 4096, 0u);
    EXPECT_TRUE(a == b);
}

TEST(JetWriter, StartsWithTheAccessHeaderPrefix) {
    // The bytes every measured Access 2000/2003 file starts with.
    const unsigned char measured[66] = {
        0x00, 0x01, 0x00, 0x00, 0x53, 0x74, 0x61, 0x6e, 0x64, 0x61, 0x72, 0x64, 0x20, 0x4a,
        0x65, 0x74, 0x20, 0x44, 0x42, 0x00, 0x01, 0x00, 0x00, 0x00, 0xb5, 0x6e, 0x03, 0x62,
        0x60, 0x09, 0xc2, 0x55, 0xe9, 0xa9, 0x67, 0x72, 0x40, 0x3f, 0x00, 0x9c, 0x7e, 0x9f,
        0x90, 0xff, 0x85, 0x9a, 0x31, 0xc5, 0x79, 0xba, 0xed, 0x30, 0xbc, 0xdf, 0xcc, 0x9d,
        0x63, 0xd9, 0xe4, 0xc3, 0x9f, 0x46, 0xfb, 0x8a, 0xbc, 0x4e};
    const std::string file = jetwriter::writeDatabase({typesTable()});
    ASSERT_GE(file.size(), 4096u);
    EXPECT_EQ(std::memcmp(file.data(), measured, 66), 0);
    // What the program puts back in front of a stored database is what the writer wrote.
    EXPECT_EQ(std::memcmp(file.data(), jetwriter::kJetHeaderPrefix, 66), 0);
    // The RC4-masked area decodes to code page 1252 and db key 0 (else pages are encrypted).
    std::array<unsigned char, 256> s{};
    for (int i = 0; i < 256; ++i) {
        s[i] = static_cast<unsigned char>(i);
    }
    const unsigned char key[4] = {0xc7, 0xda, 0x39, 0x6b};
    for (int i = 0, j = 0; i < 256; ++i) {
        j = (j + s[i] + key[i % 4]) & 0xFF;
        std::swap(s[i], s[j]);
    }
    std::array<unsigned char, 128> plain{};
    for (int n = 0, i = 0, j = 0; n < 128; ++n) {
        i = (i + 1) & 0xFF;
        j = (j + s[i]) & 0xFF;
        std::swap(s[i], s[j]);
        plain[n] = static_cast<unsigned char>(file[0x18 + n]) ^ s[(s[i] + s[j]) & 0xFF];
    }
    EXPECT_EQ(plain[0x3C - 0x18] | (plain[0x3D - 0x18] << 8), 1252);
    EXPECT_EQ(plain[0x3E - 0x18] | plain[0x3F - 0x18] | plain[0x40 - 0x18] | plain[0x41 - 0x18], 0);
    EXPECT_EQ(plain[0x6E - 0x18] | (plain[0x6F - 0x18] << 8), 0x0409);
}

TEST(JetWriter, RejectsInvalidInput) {
    auto base = [] {
        Table t;
        t.name = "T";
        t.columns = {{"s", ColumnType::Text, 5},
                     {"i", ColumnType::Integer, 0},
                     {"l", ColumnType::Long, 0},
                     {"b", ColumnType::YesNo, 0}};
        t.rows = {{text("ok"), num(1), num(1), yes(true)}};
        return std::vector<Table>{t};
    };
    struct Case {
        const char* what;
        void (*change)(std::vector<Table>&);
    };
    const Case cases[] = {
        {"text too long",
         [](auto& v) {
             v[0].rows[0][0] = text("abcdef");
         }},
        {"chinese too long",
         [](auto& v) {
             v[0].rows[0][0] = text("卫星卫星卫星");
         }},
        {"integer above",
         [](auto& v) {
             v[0].rows[0][1] = num(32768);
         }},
        {"integer below",
         [](auto& v) {
             v[0].rows[0][1] = num(-32769);
         }},
        {"long above",
         [](auto& v) {
             v[0].rows[0][2] = num(2147483648LL);
         }},
        {"long below",
         [](auto& v) {
             v[0].rows[0][2] = num(-2147483649LL);
         }},
        {"too few cells",
         [](auto& v) {
             v[0].rows[0].pop_back();
         }},
        {"too many cells",
         [](auto& v) {
             v[0].rows[0].push_back(Value{});
         }},
        {"string in Long",
         [](auto& v) {
             v[0].rows[0][2] = text("1");
         }},
        {"bool in Integer",
         [](auto& v) {
             v[0].rows[0][1] = yes(true);
         }},
        {"number in Text",
         [](auto& v) {
             v[0].rows[0][0] = num(1);
         }},
        {"number in Yes/No",
         [](auto& v) {
             v[0].rows[0][3] = num(1);
         }},
        {"invalid UTF-8",
         [](auto& v) {
             v[0].rows[0][0] = text("\xC3");
         }},
        {"text length 0",
         [](auto& v) {
             v[0].columns[0].textLength = 0;
         }},
        {"text length 256",
         [](auto& v) {
             v[0].columns[0].textLength = 256;
         }},
        {"unknown type",
         [](auto& v) {
             v[0].columns[1].type = static_cast<ColumnType>(42);
         }},
        {"duplicate column",
         [](auto& v) {
             v[0].columns[1].name = "S";
         }},
        {"empty column name",
         [](auto& v) {
             v[0].columns[1].name = "";
         }},
        {"empty table name",
         [](auto& v) {
             v[0].name = "";
         }},
        {"duplicate table",
         [](auto& v) {
             v.push_back(v[0]);
             v[1].name = "t";
         }},
        {"text outside the BMP",
         [](auto& v) {
             v[0].rows[0][0] = text("a\xF0\x9F\x98\x80");
         }},
        {"text starting with U+FEFF",
         [](auto& v) {
             v[0].rows[0][0] = text("\xEF\xBB\xBF"
                                    "ab");
         }},
        {"NUL in text",
         [](auto& v) {
             v[0].rows[0][0] = text(std::string("a\0b", 3));
         }},
        {"encoded surrogate",
         [](auto& v) {
             v[0].rows[0][0] = text("\xED\xA0\x80");
         }},
        {"overlong UTF-8",
         [](auto& v) {
             v[0].rows[0][0] = text("\xC0\xAF");
         }},
        {"column name of 65 characters",
         [](auto& v) {
             v[0].columns[0].name = repeat("n", 65);
         }},
        {"control character in a table name",
         [](auto& v) {
             v[0].name = "a\tb";
         }},
        {"catalog name in another case",
         [](auto& v) {
             v[0].name = "msysobjects";
         }},
        {"catalog name",
         [](auto& v) {
             v[0].name = "MSysObjects";
         }},
        {"no columns",
         [](auto& v) {
             v[0].columns.clear();
             v[0].rows.clear();
         }},
        {"row too big",
         [](auto& v) {
             v[0].columns.clear();
             v[0].rows = {{}};
             for (int c = 0; c < 9; ++c) {
                 v[0].columns.push_back({"c" + std::to_string(c), ColumnType::Text, 255});
                 v[0].rows[0].push_back(text(repeat("卫", 255)));
             }
         }},
    };
    for (const Case& c : cases) {
        std::vector<Table> tables = base();
        EXPECT_NO_THROW(jetwriter::writeDatabase(tables)) << c.what;
        c.change(tables);
        EXPECT_THROW(jetwriter::writeDatabase(tables), std::invalid_argument) << c.what;
    }
}

TEST(JetWriter, LargestRowFits) {
    // 7 x 255 Chinese chars + 3 bytes of mask/offsets stays under 4060 bytes.
    TempFolder folder;
    Table t;
    t.name = "Max";
    Row row;
    for (int c = 0; c < 7; ++c) {
        t.columns.push_back({"c" + std::to_string(c), ColumnType::Text, 255});
        row.push_back(text(repeat("星", 255)));
    }
    t.rows = {row, row};
    const std::string path = writeFile(folder, {t});
    expectBothReaders(path, t);
}

// Many columns with long names: the definition continues on further pages.
TEST(JetWriter, ManyColumnsSpanSeveralDefinitionPages) {
    TempFolder folder;
    Table t;
    t.name = "Columns";
    const ColumnType types[] = {ColumnType::Long, ColumnType::Text, ColumnType::Integer,
                                ColumnType::YesNo};
    for (int c = 0; c < 255; ++c) {
        std::string name = (c % 2 ? "卫星列" : "column_") + std::to_string(c) + "_";
        while (name.size() < 60) {
            name += "x";
        }
        t.columns.push_back({name, types[c % 4], 3});
    }
    for (int r = 0; r < 40; ++r) {
        Row row;
        for (int c = 0; c < 255; ++c) {
            switch (types[c % 4]) {
            case ColumnType::Long:
                row.push_back((r + c) % 7 ? num(r * 1000003LL - c) : Value{});
                break;
            case ColumnType::Text:
                row.push_back((r + c) % 5 ? text(r % 2 ? "卫" + std::to_string(c % 10) : "abc")
                                          : Value{});
                break;
            case ColumnType::Integer:
                row.push_back(num((r * 31 + c) % 65536 - 32768));
                break;
            case ColumnType::YesNo:
                row.push_back(yes((r + c) % 3 == 0));
                break;
            }
        }
        t.rows.push_back(row);
    }
    const std::string bytes = jetwriter::writeDatabase({t});
    EXPECT_GT(definitionPages(bytes), 2u);
    const std::string path = folder.write("cols.mdb", bytes);
    expectBothReaders(path, t);
    t.columns.push_back({"one_too_many", ColumnType::Long, 0});
    for (Row& row : t.rows) {
        row.push_back(num(1));
    }
    EXPECT_THROW(jetwriter::writeDatabase({t}), std::invalid_argument);
}

TEST(JetWriter, WriteDatabaseFile) {
    TempFolder folder;
    const std::vector<Table> tables = {typesTable()};
    const std::string path = folder.file("out.mdb");
    jetwriter::writeDatabaseFile(path, tables);
    EXPECT_TRUE(readAll(path) == jetwriter::writeDatabase(tables));
    // Overwriting goes through a temp file too.
    jetwriter::writeDatabaseFile(path, {onePerPage(3)});
    EXPECT_TRUE(readAll(path) == jetwriter::writeDatabase({onePerPage(3)}));

    EXPECT_THROW(jetwriter::writeDatabaseFile(folder.file("no/such/dir/x.mdb"), tables),
                 std::runtime_error);
    std::vector<Table> bad = tables;
    bad[0].rows[0][1] = num(40000);
    EXPECT_THROW(jetwriter::writeDatabaseFile(path, bad), std::invalid_argument);
    EXPECT_TRUE(readAll(path) == jetwriter::writeDatabase({onePerPage(3)}))
        << "a rejected write keeps the old file";
    std::vector<std::string> left;
    for (const auto& e : std::filesystem::directory_iterator(folder.path())) {
        left.push_back(e.path().filename().string());
    }
    EXPECT_EQ(left, std::vector<std::string>{"out.mdb"});
}

TEST(ReadTypedTsv, ParsesTypesEscapesAndNulls) {
    const Table t = jetwriter::readTypedTsv(
        "Chan", "name:Text(20)\tcount:Long\tflag:YesNo\tn:Integer\tfree:Text\n"
                "a\\tb\\nc\\rd\\\\e\t-2147483648\t1\t-32768\t\\N\n"
                "\t0\tfalse\t32767\t卫星\r\n"
                "\\N\t\\N\ttrue\t\\N\tx\n");
    EXPECT_EQ(t.name, "Chan");
    ASSERT_EQ(t.columns.size(), 5u);
    EXPECT_EQ(t.columns[0].name, "name");
    EXPECT_EQ(t.columns[0].type, ColumnType::Text);
    EXPECT_EQ(t.columns[0].textLength, 20);
    EXPECT_EQ(t.columns[1].type, ColumnType::Long);
    EXPECT_EQ(t.columns[2].type, ColumnType::YesNo);
    EXPECT_EQ(t.columns[3].type, ColumnType::Integer);
    EXPECT_EQ(t.columns[4].textLength, 255);
    ASSERT_EQ(t.rows.size(), 3u);
    const std::vector<Row> expected = {
        {text("a\tb\nc\rd\\e"), num(-2147483648LL), yes(true), num(-32768), Value{}},
        {text(""), num(0), yes(false), num(32767), text("卫星")},
        {Value{}, Value{}, yes(true), Value{}, text("x")},
    };
    EXPECT_EQ(t.rows, expected);
}

TEST(ReadTypedTsv, RejectsBadInputWithTheLineNumber) {
    struct Case {
        const char* tsv;
        const char* line;
    };
    const Case cases[] = {
        {"", "line 1"},
        {"a:Blob\n", "line 1"},
        {"a\n", "line 1"},
        {"a:Text(0)\n", "line 1"},
        {"a:Text(256)\n", "line 1"},
        {"a:Text(x)\n", "line 1"},
        {"a:Long\ta:Long\n", "line 1"},
        {"a:Long\tb:Long\n1\t2\n3\n", "line 3"},
        {"a:Long\n1\n2.5\n", "line 3"},
        {"a:Long\n2147483648\n", "line 2"},
        {"a:Integer\n-32769\n", "line 2"},
        {"a:Integer\n\n", "line 2"},
        {"a:YesNo\nyes\n", "line 2"},
        {"a:Text\nok\nbad\\x\n", "line 3"},
        {"a:Text\nbad\\\n", "line 2"},
    };
    for (const Case& c : cases) {
        try {
            jetwriter::readTypedTsv("T", c.tsv);
            ADD_FAILURE() << "accepted: " << c.tsv;
        } catch (const std::invalid_argument& e) {
            EXPECT_EQ(std::string(e.what()).rfind(c.line + std::string(":"), 0), 0u)
                << c.tsv << " -> " << e.what();
        }
    }
}

std::string jetWrite() {
    return std::string(ZORVAST_BINARY_DIR) + "/tools/jetwriter/jet-write";
}

TEST(JetWriteCommand, WritesTablesFromTsvFiles) {
    TempFolder folder;
    const std::string a = folder.write(
        "a.tsv",
        "name:Text(20)\tcount:Long\tflag:YesNo\tn:Integer\n中星6B\t-5\t1\t7\n\\N\t\\N\t0\t\\N\n");
    const std::string b = folder.write("b.tsv", "x:Text\nhello\n\n");
    const std::string out = folder.file("out.mdb");
    const Result r =
        run(quote(jetWrite()) + " " + quote(out) + " Chan=" + quote(a) + " Other=" + quote(b));
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(mdbTool("mdb-tables -1 " + quote(out)), "Chan\nOther\n");
    EXPECT_EQ(mdbReader(out, "Chan"),
              "{\"columns\":[\"name\",\"count\",\"flag\",\"n\"],\"rowCount\":2,\"rows\":"
              "[[\"中星6B\",-5,true,7],[null,null,false,null]]}\n");
    EXPECT_EQ(mdbReader(out, "Other"),
              "{\"columns\":[\"x\"],\"rowCount\":2,\"rows\":[[\"hello\"],[\"\"]]}\n");
    EXPECT_TRUE(readAll(out) ==
                jetwriter::writeDatabase({jetwriter::readTypedTsv("Chan", readAll(a)),
                                          jetwriter::readTypedTsv("Other", readAll(b))}));
}

TEST(JetWriteCommand, FailingRunLeavesNoOutput) {
    struct Case {
        const char* what;
        std::string args;
        const char* message;
    };
    TempFolder folder;
    const std::string good = folder.write("good.tsv", "a:Long\n1\n");
    const std::string bad = folder.write("bad.tsv", "a:Long\n1\nnope\n");
    const std::string out = folder.file("out.mdb");
    const Case cases[] = {
        {"bad cell", quote(out) + " A=" + quote(good) + " B=" + quote(bad), "line 3"},
        {"missing file", quote(out) + " A=" + quote(folder.file("none.tsv")), "cannot read"},
        {"no equals", quote(out) + " " + quote(good), "NAME=FILE.tsv"},
        {"duplicate table", quote(out) + " A=" + quote(good) + " a=" + quote(good), "duplicate"},
        {"no tables", quote(out), "usage"},
        {"unwritable", quote(folder.file("no/such/dir/out.mdb")) + " A=" + quote(good),
         "jet-write"},
    };
    for (const Case& c : cases) {
        const Result r = run(quote(jetWrite()) + " " + c.args);
        EXPECT_EQ(r.exitCode, 1) << c.what << ": " << r.out;
        EXPECT_NE(r.out.find(c.message), std::string::npos) << c.what << ": " << r.out;
        std::vector<std::string> left;
        for (const auto& e : std::filesystem::directory_iterator(folder.path())) {
            left.push_back(e.path().filename().string());
        }
        std::sort(left.begin(), left.end());
        EXPECT_EQ(left, (std::vector<std::string>{"bad.tsv", "good.tsv"})) << c.what;
    }
}

TEST(JetWriteCommand, AFullDiskKeepsTheOldOutput) {
    TempFolder folder;
    const std::string tsv = folder.write("a.tsv", "a:Long\tb:Text\n1\tone\n2\ttwo\n");
    const std::string out = folder.write("out.mdb", "the database of yesterday");
    // A size limit fails the write with EFBIG as a full disk fails it with ENOSPC; the shell
    // ignores SIGXFSZ, and so does the command it starts.
    const Result r = run("trap '' XFSZ; ulimit -f 8; " + quote(jetWrite()) + " " + quote(out) +
                         " A=" + quote(tsv));
    EXPECT_EQ(r.exitCode, 1) << r.out;
    EXPECT_NE(r.out.find("cannot write " + out), std::string::npos) << r.out;
    EXPECT_EQ(readAll(out), "the database of yesterday");
    std::vector<std::string> left;
    for (const auto& e : std::filesystem::directory_iterator(folder.path())) {
        left.push_back(e.path().filename().string());
    }
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"a.tsv", "out.mdb"}));
}

} // namespace
