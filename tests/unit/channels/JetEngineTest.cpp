// The engine on real Jet 4 files made by the project's writer.
#include "channels/jet/JetConnection.h"
#include "channels/jet/JetCursor.h"
#include "channels/jet/JetFilter.h"
#include "channels/jet/JetText.h"

#include "JetWriter.h"
#include "support/SatTableSample.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <tuple>

namespace zorvast::channels::jet {
namespace {

using jetwriter::ColumnType;
using zorvast::testing::readAll;
using zorvast::testing::TempFolder;

jetwriter::Table typesTable() {
    jetwriter::Table t;
    t.name = "types";
    t.columns = {{"t", ColumnType::Text, 50},
                 {"i", ColumnType::Integer, 0},
                 {"l", ColumnType::Long, 0},
                 {"b", ColumnType::YesNo, 0}};
    using V = jetwriter::Value;
    t.rows = {
        {V{std::string("中星6B")}, V{std::int64_t{0}}, V{std::int64_t{0}}, V{true}},
        {V{std::string("")}, V{std::int64_t{-32768}}, V{std::int64_t{-2147483648LL}}, V{false}},
        {V{}, V{}, V{}, V{false}},
        {V{std::string("Plain ASCII text")}, V{std::int64_t{32767}}, V{std::int64_t{2147483647}},
         V{true}},
        {V{std::string("12.5 abc")}, V{std::int64_t{-1}}, V{std::int64_t{11646}}, V{true}},
    };
    return t;
}

struct Fixture {
    TempFolder folder;
    std::string path;
    explicit Fixture(const std::vector<jetwriter::Table>& tables) : path(folder.file("db.mdb")) {
        jetwriter::writeDatabaseFile(path, tables);
    }
};

TEST(JetEngine, ReadsEveryTypeAsTextIntegerAndBoolean) {
    Fixture db({typesTable()});
    JetConnection connection;
    ASSERT_TRUE(connection.open(db.path)) << connection.lastError();
    JetCursor cursor;
    cursor.attach(connection);
    ASSERT_TRUE(cursor.openTable("types")) << cursor.lastError();
    ASSERT_EQ(cursor.recordCount(), 5);

    struct Expected {
        std::string text;
        std::int64_t i;
        std::string iText;
        std::int64_t l;
        bool b;
        std::string bText;
    };
    const std::vector<Expected> rows = {
        {"中星6B", 0, "0", 0, true, "True"},
        {"", -32768, "-32768", -2147483648LL, false, "False"},
        {"", 0, "", 0, false, "False"},
        {"Plain ASCII text", 32767, "32767", 2147483647, true, "True"},
        {"12.5 abc", -1, "-1", 11646, true, "True"},
    };
    std::size_t index = 0;
    for (cursor.moveFirst(); !cursor.atEnd(); cursor.moveNext(), ++index) {
        ASSERT_LT(index, rows.size());
        const Expected& e = rows[index];
        EXPECT_EQ(cursor.readText("t"), e.text) << index;
        EXPECT_EQ(cursor.readInteger("i"), e.i) << index;
        EXPECT_EQ(cursor.readText("i"), e.iText) << index;
        EXPECT_EQ(cursor.readInteger("l"), e.l) << index;
        EXPECT_EQ(cursor.readBoolean("b"), e.b) << index;
        EXPECT_EQ(cursor.readText("b"), e.bText) << index;
        EXPECT_EQ(cursor.readText("T"), e.text) << "field names ignore case";
    }
    EXPECT_EQ(index, rows.size());
    // A text read as a number takes its leading numeric part, truncated.
    cursor.moveFirst();
    for (int k = 0; k < 4; ++k) {
        cursor.moveNext();
    }
    EXPECT_EQ(cursor.readInteger("t"), 12);
}

TEST(JetEngine, FieldLookupsGiveTheSameAnswerInAnyOrder) {
    Fixture db({typesTable()});
    JetConnection connection;
    ASSERT_TRUE(connection.open(db.path)) << connection.lastError();
    JetCursor cursor;
    cursor.attach(connection);
    ASSERT_TRUE(cursor.openTable("types")) << cursor.lastError();
    cursor.moveNext(); // "", -32768, -2147483648, False
    const std::vector<std::pair<const char*, std::string>> reads = {
        {"t", ""},       {"i", "-32768"}, {"l", "-2147483648"},
        {"b", "False"},  {"b", "False"},  {"l", "-2147483648"},
        {"i", "-32768"}, {"t", ""},       {"L", "-2147483648"},
        {"x", "?"},      {"i", "-32768"}, {"I", "-32768"},
        {"B", "False"},  {"t", ""},       {"l", "-2147483648"}};
    for (std::size_t k = 0; k < reads.size(); ++k) {
        EXPECT_EQ(cursor.readText(reads[k].first).value_or("?"), reads[k].second) << k;
    }
}

TEST(JetEngine, TextsAsLongAsTheirColumnsAllowAreReadWhole) {
    jetwriter::Table t;
    t.name = "long";
    t.columns = {{"wide", ColumnType::Text, 255},
                 {"narrow", ColumnType::Text, 3},
                 {"n", ColumnType::Long, 0}};
    std::string wide;
    for (int i = 0; i < 255; ++i) {
        wide += i % 2 == 0 ? "星" : "\xef\xbf\xbd"; // three UTF-8 bytes each
    }
    using V = jetwriter::Value;
    t.rows = {{V{wide}, V{std::string("卫星号")}, V{std::int64_t{-2147483647}}},
              {V{std::string(255, 'x')}, V{std::string("abc")}, V{std::int64_t{0}}}};
    Fixture db({t});
    JetConnection connection;
    ASSERT_TRUE(connection.open(db.path)) << connection.lastError();
    JetCursor cursor;
    cursor.attach(connection);
    ASSERT_TRUE(cursor.openTable("long")) << cursor.lastError();
    EXPECT_EQ(cursor.readText("wide"), wide);
    EXPECT_EQ(cursor.readText("narrow"), "卫星号");
    EXPECT_EQ(cursor.readInteger("n"), -2147483647);
    cursor.moveNext();
    EXPECT_EQ(cursor.readText("wide"), std::string(255, 'x'));
    EXPECT_EQ(cursor.readText("narrow"), "abc");
}

TEST(JetEngine, ReadPastTheLastRowFailsWithTheEmptyText) {
    Fixture db({typesTable()});
    JetConnection connection;
    ASSERT_TRUE(connection.open(db.path));
    JetCursor cursor;
    cursor.attach(connection);
    ASSERT_TRUE(cursor.openTable("types"));
    ASSERT_TRUE(cursor.setFilter("t='nothing matches'"));
    EXPECT_EQ(cursor.recordCount(), 0);
    EXPECT_TRUE(cursor.atEnd());
    EXPECT_FALSE(cursor.readText("t").has_value());
    EXPECT_EQ(cursor.readText("t").value_or(""), "");
    EXPECT_FALSE(cursor.readInteger("i").has_value());
    cursor.moveNext();
    EXPECT_TRUE(cursor.atEnd());

    ASSERT_TRUE(cursor.setFilter(""));
    EXPECT_EQ(cursor.recordCount(), 5);
    EXPECT_FALSE(cursor.readText("no_such_field").has_value());
    cursor.close();
    EXPECT_FALSE(cursor.isOpen());
    EXPECT_FALSE(cursor.readText("t").has_value());
}

TEST(JetEngine, MalformedFilterKeepsTheCurrentOneAndSaysWhy) {
    Fixture db({typesTable()});
    JetConnection connection;
    ASSERT_TRUE(connection.open(db.path));
    JetCursor cursor;
    cursor.attach(connection);
    ASSERT_TRUE(cursor.openTable("types"));
    ASSERT_TRUE(cursor.setFilter("b=1"));
    EXPECT_EQ(cursor.recordCount(), 3);
    EXPECT_FALSE(cursor.setFilter("t='unterminated"));
    EXPECT_FALSE(cursor.lastError().empty());
    EXPECT_EQ(cursor.recordCount(), 3);
    EXPECT_FALSE(cursor.setFilter("missing=1"));
    EXPECT_EQ(cursor.recordCount(), 3);
    EXPECT_FALSE(cursor.setFilter(std::string(50000, '(') + "b=1"));
    EXPECT_NE(cursor.lastError().find("nested"), std::string::npos) << cursor.lastError();
    EXPECT_EQ(cursor.recordCount(), 3);
    EXPECT_FALSE(cursor.setFilter(std::string(50000, '(') + "b=1" + std::string(50000, ')')));
    EXPECT_EQ(cursor.recordCount(), 3);
    EXPECT_FALSE(cursor.setFilter("t<>'" + std::string(kMaxFilterLength, 'x') + "'"));
    EXPECT_EQ(cursor.recordCount(), 3);
    EXPECT_EQ(cursor.readText("t"), "中星6B");
}

TEST(JetEngine, SeveralTablesByNameAndAMissingOne) {
    jetwriter::Table sys;
    sys.name = "sys";
    sys.columns = {{"s_ver", ColumnType::Text, 20}};
    sys.rows = {{jetwriter::Value{std::string("2026.1209")}}};
    jetwriter::Table sup;
    sup.name = "sup";
    sup.columns = {{"s_upda", ColumnType::Text, 40}};
    sup.rows = {{jetwriter::Value{std::string("凤凰卫视")}}, {jetwriter::Value{std::string("")}}};
    Fixture db({typesTable(), sys, sup});

    JetConnection connection;
    ASSERT_TRUE(connection.open(db.path));
    EXPECT_EQ(connection.tableNames(), (std::vector<std::string>{"types", "sys", "sup"}));
    JetCursor cursor;
    cursor.attach(connection);
    ASSERT_TRUE(cursor.openTable("SYS"));
    EXPECT_EQ(cursor.readText("s_ver"), "2026.1209");
    ASSERT_TRUE(cursor.openTable("sup"));
    EXPECT_EQ(cursor.recordCount(), 2);
    EXPECT_EQ(cursor.readText("s_upda"), "凤凰卫视");
    EXPECT_FALSE(cursor.openTable("satlist"));
    EXPECT_FALSE(cursor.isOpen());
    EXPECT_FALSE(cursor.openQuery("select * from types order by nosuch"));
    EXPECT_FALSE(cursor.openQuery("select t from types"));

    connection.close();
    EXPECT_FALSE(connection.isOpen());
    EXPECT_FALSE(cursor.openTable("sys")) << "a closed connection opens nothing";
}

TEST(JetEngine, OrderedQueryAndFiltersOnALargeChannelTable) {
    const jetwriter::Table sample = zorvast::testing::satTableSample(20000);
    Fixture db({sample});
    JetConnection connection;
    ASSERT_TRUE(connection.open(db.path)) << connection.lastError();
    JetCursor cursor;
    cursor.attach(connection);
    ASSERT_TRUE(cursor.openQuery(orderedQueryText("sat", kChannelOrdering))) << cursor.lastError();
    ASSERT_EQ(cursor.recordCount(), 20000);

    // The expected order, computed here from the writer's input.
    auto text = [&](std::size_t r, int c) {
        return std::get<std::string>(*sample.rows[r][c]);
    };
    auto number = [&](std::size_t r, int c) {
        return std::get<std::int64_t>(*sample.rows[r][c]);
    };
    std::vector<std::size_t> expected(sample.rows.size());
    std::iota(expected.begin(), expected.end(), std::size_t{0});
    std::stable_sort(expected.begin(), expected.end(), [&](std::size_t a, std::size_t b) {
        if (int c = compareTextFolded(text(a, 0), text(b, 0))) {
            return c < 0;
        }
        if (number(a, 2) != number(b, 2)) {
            return number(a, 2) < number(b, 2);
        }
        return compareTextFolded(text(a, 5), text(b, 5)) < 0;
    });
    std::size_t i = 0;
    for (cursor.moveFirst(); !cursor.atEnd(); cursor.moveNext(), ++i) {
        const std::size_t r = expected[i];
        ASSERT_EQ(cursor.readText("s_loca"), text(r, 0)) << i;
        ASSERT_EQ(cursor.readInteger("s_freq"), number(r, 2)) << i;
        ASSERT_EQ(cursor.readText("s_ch"), text(r, 5)) << i;
        ASSERT_EQ(cursor.readInteger("s_sr"), number(r, 4)) << i;
        ASSERT_EQ(cursor.readBoolean("s_free"), std::get<bool>(*sample.rows[r][7])) << i;
    }
    EXPECT_EQ(i, 20000u);

    // The combined query's filter selects what a plain scan of the input selects.
    const std::string criterion =
        "s_loca='E115.5' and s_freq>10000 and s_free=1 and s_sys<>'广播' and s_sys<>'数据'";
    ASSERT_TRUE(cursor.setFilter(criterion));
    std::vector<std::size_t> selected;
    for (std::size_t r : expected) {
        const std::string sys = text(r, 6);
        if (text(r, 0) == "E115.5" && number(r, 2) > 10000 && std::get<bool>(*sample.rows[r][7]) &&
            sys != "广播" && sys != "数据") {
            selected.push_back(r);
        }
    }
    ASSERT_GT(selected.size(), 100u);
    ASSERT_EQ(cursor.recordCount(), static_cast<int>(selected.size()));
    i = 0;
    for (cursor.moveFirst(); !cursor.atEnd(); cursor.moveNext(), ++i) {
        ASSERT_EQ(cursor.readText("s_ch"), text(selected[i], 5)) << i;
        ASSERT_EQ(cursor.readInteger("s_freq"), number(selected[i], 2)) << i;
    }

    ASSERT_TRUE(cursor.setFilter("s_ch like '*cctv-1*'"));
    int cctv = 0;
    for (std::size_t r = 0; r < sample.rows.size(); ++r) {
        std::string ch = text(r, 5);
        cctv += ch.rfind("CCTV-1", 0) == 0 ? 1 : 0;
    }
    EXPECT_EQ(cursor.recordCount(), cctv);
    EXPECT_GT(cctv, 0);
}

std::string validDatabaseBytes() {
    TempFolder folder;
    const std::string path = folder.file("ok.mdb");
    jetwriter::writeDatabaseFile(path, {typesTable(), zorvast::testing::satTableSample(600)});
    return readAll(path);
}

// Opening must fail cleanly (or succeed) on whatever lies at the path; never crash.
bool openAndReadEverything(const std::string& path) {
    JetConnection connection;
    if (!connection.open(path)) {
        EXPECT_FALSE(connection.lastError().empty());
        return false;
    }
    JetCursor cursor;
    cursor.attach(connection);
    for (const std::string& name : connection.tableNames()) {
        if (cursor.openTable(name)) {
            for (; !cursor.atEnd(); cursor.moveNext()) {
                for (const FieldInfo& field : cursor.fields()) {
                    (void)cursor.readText(field.name);
                }
            }
        }
    }
    return true;
}

TEST(JetEngine, RefusesFilesThatAreNotWholeJet4Databases) {
    TempFolder folder;
    const std::string good = validDatabaseBytes();
    ASSERT_TRUE(openAndReadEverything(folder.write("good.mdb", good)));

    std::string jet3 = good;
    jet3[0x14] = 0;
    std::string notJet = good;
    notJet[4] = 'X';
    struct BadFile {
        const char* name;
        std::string bytes;
    };
    const std::vector<BadFile> bad = {
        {"empty.mdb", ""},
        {"text.mdb", "this is not a database\r\n"},
        {"header-only.mdb", good.substr(0, 4096)},
        {"cut-in-a-page.mdb", good.substr(0, good.size() - 100)},
        {"jet3.mdb", jet3},
        {"signature.mdb", notJet},
        {"zeros.mdb", std::string(8 * 4096, '\0')},
    };
    for (const BadFile& b : bad) {
        EXPECT_FALSE(openAndReadEverything(folder.write(b.name, b.bytes))) << b.name;
    }
    EXPECT_FALSE(openAndReadEverything(folder.file("missing.mdb")));

    JetConnection connection;
    EXPECT_FALSE(connection.open(folder.file("good.mdb"), "secret")) << "no password opens";
    EXPECT_TRUE(connection.open(folder.file("good.mdb"), ""));
}

TEST(JetEngine, SurvivesDamagedAndTruncatedFiles) {
    TempFolder folder;
    const std::string good = validDatabaseBytes();
    std::mt19937 random(2026);
    // Cut at page boundaries: what remains is read as far as it goes.
    for (std::size_t pages = 3; pages * 4096 < good.size(); ++pages) {
        openAndReadEverything(folder.write("cut.mdb", good.substr(0, pages * 4096)));
    }
    // Random damage past the header page.
    for (int round = 0; round < 300; ++round) {
        std::string damaged = good;
        const int flips = 1 + static_cast<int>(random() % 16);
        for (int f = 0; f < flips; ++f) {
            const std::size_t at = 4096 + random() % (damaged.size() - 4096);
            damaged[at] = static_cast<char>(random() & 0xFF);
        }
        openAndReadEverything(folder.write("damaged.mdb", damaged));
    }
    SUCCEED();
}

} // namespace
} // namespace zorvast::channels::jet
