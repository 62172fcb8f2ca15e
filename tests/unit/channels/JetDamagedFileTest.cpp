// The engine on files the project's writer made and a test then damaged on purpose: each
// damage ends in a refused open or a refused table, never in a signal.
#include "channels/jet/JetConnection.h"
#include "channels/jet/JetCursor.h"
#include "channels/jet/JetFileCheck.h"

#include "JetWriter.h"
#include "support/SatTableSample.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace zorvast::channels::jet {
namespace {

using zorvast::testing::TempFolder;

constexpr std::size_t kPage = 4096;
constexpr std::size_t kRowCount = 600;

std::uint16_t get16(const std::string& b, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(b[at]) |
                                      (static_cast<unsigned char>(b[at + 1]) << 8));
}

std::uint32_t get32(const std::string& b, std::size_t at) {
    return get16(b, at) | (static_cast<std::uint32_t>(get16(b, at + 2)) << 16);
}

void put16(std::string& b, std::size_t at, std::uint16_t v) {
    b[at] = static_cast<char>(v & 0xFF);
    b[at + 1] = static_cast<char>(v >> 8);
}

void put32(std::string& b, std::size_t at, std::uint32_t v) {
    put16(b, at, static_cast<std::uint16_t>(v & 0xFFFF));
    put16(b, at + 2, static_cast<std::uint16_t>(v >> 16));
}

// Where the writer put what the damage aims at, read back from the bytes themselves.
struct Layout {
    std::uint32_t pages = 0;
    std::size_t catalogTdef = 2 * kPage;
    std::size_t tableTdef = 0;   // the `sat` table's definition page, as a byte offset
    std::uint32_t tablePage = 0; // the same as a page number
    std::size_t mapSlot = 0;     // the slot word of its owned-pages map row
    std::size_t map = 0;         // the map row itself
    std::size_t catalogRow = 0;  // its row in MSysObjects
};

Layout locate(const std::string& b) {
    Layout l;
    l.pages = static_cast<std::uint32_t>(b.size() / kPage);
    for (std::uint32_t p = 3; p < l.pages && l.tablePage == 0; ++p) {
        if (b[p * kPage] == 0x02 && static_cast<unsigned char>(b[p * kPage + 40]) == 0x4E) {
            l.tablePage = p;
        }
    }
    l.tableTdef = l.tablePage * kPage;
    const std::uint32_t ref = get32(b, l.tableTdef + 55);
    l.mapSlot = (ref >> 8) * kPage + 14 + 2 * (ref & 0xFF);
    l.map = (ref >> 8) * kPage + (get16(b, l.mapSlot) & 0x1FFF);
    for (std::uint32_t p = 3; p < l.pages; ++p) {
        const std::size_t at = p * kPage;
        if (b[at] != 0x01 || get32(b, at + 4) != 2) {
            continue;
        }
        for (unsigned r = 0; r < get16(b, at + 12); ++r) {
            const std::size_t row = at + (get16(b, at + 14 + 2 * r) & 0x1FFF);
            if (get32(b, row + 2) == l.tablePage) { // Id: the first fixed column
                l.catalogRow = row;
            }
        }
    }
    return l;
}

const std::string& goodBytes() {
    static const std::string bytes =
        jetwriter::writeDatabase({zorvast::testing::satTableSample(kRowCount)});
    return bytes;
}

enum class Outcome { Loads, TableRefused, OpenRefused };

const char* outcomeName(Outcome o) {
    switch (o) {
    case Outcome::Loads:
        return "loads";
    case Outcome::TableRefused:
        return "table refused";
    case Outcome::OpenRefused:
        return "open refused";
    }
    return "?";
}

struct Result {
    Outcome outcome = Outcome::Loads;
    std::string error;
    std::size_t rows = 0;
};

Result openAndLoad(const std::string& path) {
    Result r;
    JetConnection connection;
    if (!connection.open(path)) {
        r.outcome = Outcome::OpenRefused;
        r.error = connection.lastError();
        return r;
    }
    const auto table = connection.loadTable("sat");
    if (!table) {
        r.outcome = Outcome::TableRefused;
        r.error = connection.lastError();
        return r;
    }
    r.rows = table->rows.size();
    return r;
}

TEST(JetDamagedFile, TheUndamagedFileLoadsWhole) {
    const Layout l = locate(goodBytes());
    ASSERT_NE(l.tablePage, 0u);
    ASSERT_NE(l.catalogRow, 0u);
    ASSERT_EQ(static_cast<unsigned char>(goodBytes()[l.map]), 0u) << "an inline map";
    TempFolder folder;
    const Result r = openAndLoad(folder.write("good.mdb", goodBytes()));
    EXPECT_EQ(r.outcome, Outcome::Loads) << r.error;
    EXPECT_EQ(r.rows, kRowCount);
}

struct Damage {
    const char* name;
    std::function<void(std::string&, const Layout&)> apply;
    Outcome expected;
    const char* reasonPart;
};

class DamagedFile : public ::testing::TestWithParam<Damage> {};

TEST_P(DamagedFile, EndsInAReadErrorNeverASignal) {
    const Damage& d = GetParam();
    std::string bytes = goodBytes();
    const Layout l = locate(bytes);
    d.apply(bytes, l);
    ASSERT_NE(bytes, goodBytes()) << d.name << ": the damage changed nothing";
    TempFolder folder;
    const Result r = openAndLoad(folder.write("damaged.mdb", bytes));
    EXPECT_EQ(r.outcome, d.expected) << d.name << ": " << outcomeName(r.outcome) << ", " << r.error;
    EXPECT_NE(r.error.find(d.reasonPart), std::string::npos) << d.name << ": " << r.error;
}

std::string damageName(const ::testing::TestParamInfo<Damage>& info) {
    std::string name;
    for (const char* c = info.param.name; *c; ++c) {
        name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
    }
    return name;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DamagedFile,
    ::testing::Values(
        // The usage map libmdb walks to find the table's data pages.
        Damage{"zero-length usage map",
               [](std::string& b, const Layout& l) {
                   put16(b, l.mapSlot, get16(b, l.mapSlot - 2) & 0x1FFF);
               },
               Outcome::TableRefused, "usage map is empty"},
        Damage{"usage map row on a page beyond the file",
               [](std::string& b, const Layout& l) {
                   put32(b, l.tableTdef + 55, (l.pages + 10) << 8);
               },
               Outcome::TableRefused, "outside the file"},
        Damage{"usage map row marked deleted",
               [](std::string& b, const Layout& l) {
                   put16(b, l.mapSlot, get16(b, l.mapSlot) | 0x4000);
               },
               Outcome::TableRefused, "does not fit"},
        Damage{"usage map row reaching past the next row",
               [](std::string& b, const Layout& l) {
                   put16(b, l.mapSlot, (get16(b, l.mapSlot - 2) & 0x1FFF) + 1);
               },
               Outcome::TableRefused, "does not fit"},
        Damage{"usage map row that is not on its page",
               [](std::string& b, const Layout& l) {
                   put32(b, l.tableTdef + 55, (l.pages - 1) << 8 | 200);
               },
               Outcome::TableRefused, "no such row"},
        Damage{"inline usage map marking data pages beyond the file",
               [](std::string& b, const Layout& l) { put32(b, l.map + 1, l.pages); },
               Outcome::TableRefused, "outside the file"},
        Damage{"inline usage map whose page numbers wrap around",
               [](std::string& b, const Layout& l) { put32(b, l.map + 1, 0xFFFFFFF0u); },
               Outcome::TableRefused, "outside the file"},
        Damage{"bitmap usage map pointing beyond the file",
               [](std::string& b, const Layout& l) {
                   b.replace(l.map, 69, std::string(69, '\0'));
                   b[l.map] = 0x01;
                   put32(b, l.map + 1, l.pages + 3);
               },
               Outcome::TableRefused, "outside the file"},
        Damage{"bitmap usage map pointing to a page that is no bitmap",
               [](std::string& b, const Layout& l) {
                   b.replace(l.map, 69, std::string(69, '\0'));
                   b[l.map] = 0x01;
                   put32(b, l.map + 1, 1);
               },
               Outcome::TableRefused, "not a bitmap page"},
        Damage{"bitmap usage map marking data pages beyond the file",
               [](std::string& b, const Layout& l) {
                   b.replace(l.map, 69, std::string(69, '\0'));
                   b[l.map] = 0x01;
                   put32(b, l.map + 1, 1);
                   b[kPage] = 0x05;                      // page 1 becomes a bitmap page
                   b[kPage + 4 + (l.pages + 7) / 8] = 1; // marking a page past the end
               },
               Outcome::TableRefused, "outside the file"},
        Damage{"unknown usage map type", [](std::string& b, const Layout& l) { b[l.map] = 0x07; },
               Outcome::TableRefused, "unknown usage map type"},
        Damage{
            "free-space map row beyond the file",
            [](std::string& b, const Layout& l) { put32(b, l.tableTdef + 59, (l.pages + 1) << 8); },
            Outcome::TableRefused, "outside the file"},
        // The definition page and what it counts.
        Damage{"row count 0xFFFFFFFF",
               [](std::string& b, const Layout& l) { put32(b, l.tableTdef + 16, 0xFFFFFFFFu); },
               Outcome::TableRefused, "more than the file can hold"},
        Damage{"definition page beyond the file",
               [](std::string& b, const Layout& l) { put32(b, l.catalogRow + 2, l.pages + 100); },
               Outcome::TableRefused, "outside the file"},
        Damage{"definition page that is the header",
               [](std::string& b, const Layout& l) { put32(b, l.catalogRow + 2, 0); },
               Outcome::TableRefused, "outside the file"},
        Damage{"definition page that is a data page",
               [](std::string& b, const Layout& l) { put32(b, l.catalogRow + 2, l.tablePage + 1); },
               Outcome::TableRefused, "not a table definition page"},
        Damage{"definition continuing beyond the file",
               [](std::string& b, const Layout& l) { put32(b, l.tableTdef + 4, l.pages + 1); },
               Outcome::TableRefused, "outside the file"},
        Damage{"definition continuing on itself",
               [](std::string& b, const Layout& l) { put32(b, l.tableTdef + 4, l.tablePage); },
               Outcome::TableRefused, "do not end"},
        Damage{"column count 0xFFFF",
               [](std::string& b, const Layout& l) { put16(b, l.tableTdef + 45, 0xFFFF); },
               Outcome::TableRefused, "column count"},
        Damage{"column count 300",
               [](std::string& b, const Layout& l) {
                   put16(b, l.tableTdef + 43, 300);
                   put16(b, l.tableTdef + 45, 300);
               },
               Outcome::TableRefused, "column count"},
        Damage{"column count past the definition",
               [](std::string& b, const Layout& l) { put16(b, l.tableTdef + 45, 200); },
               Outcome::TableRefused, "past the definition"},
        Damage{"index count 0x7FFFFFFF",
               [](std::string& b, const Layout& l) { put32(b, l.tableTdef + 51, 0x7FFFFFFF); },
               Outcome::TableRefused, "past the definition"},
        Damage{"column name longer than the definition",
               [](std::string& b, const Layout& l) { put16(b, l.tableTdef + 63 + 9 * 25, 0xFFFF); },
               Outcome::TableRefused, "column name 1"},
        Damage{"empty column name",
               [](std::string& b, const Layout& l) { put16(b, l.tableTdef + 63 + 9 * 25, 0); },
               Outcome::TableRefused, "column name 1"},
        // The catalog, which open reads.
        Damage{"catalog with a zero-length usage map",
               [](std::string& b, const Layout& l) {
                   put16(b, l.mapSlot, get16(b, l.mapSlot - 2) & 0x1FFF);
                   put32(b, l.catalogTdef + 55, get32(b, l.tableTdef + 55));
               },
               Outcome::OpenRefused, "usage map is empty"},
        Damage{"catalog row count 0xFFFFFFFF",
               [](std::string& b, const Layout& l) { put32(b, l.catalogTdef + 16, 0xFFFFFFFFu); },
               Outcome::OpenRefused, "more than the file can hold"},
        Damage{"catalog definition continuing beyond the file",
               [](std::string& b, const Layout& l) { put32(b, l.catalogTdef + 4, l.pages); },
               Outcome::OpenRefused, "outside the file"},
        Damage{"catalog usage map marking pages beyond the file",
               [](std::string& b, const Layout& l) {
                   const std::uint32_t ref = get32(b, l.catalogTdef + 55);
                   const std::size_t slot = (ref >> 8) * kPage + 14 + 2 * (ref & 0xFF);
                   put32(b, (ref >> 8) * kPage + (get16(b, slot) & 0x1FFF) + 1, l.pages + 5);
               },
               Outcome::OpenRefused, "outside the file"},
        Damage{"catalog Name column that is a number",
               [](std::string& b, const Layout& l) { b[l.catalogTdef + 63 + 2 * 25] = 0x04; },
               Outcome::OpenRefused, "wrong type"},
        Damage{"catalog without LvProp",
               [](std::string& b, const Layout& l) {
                   const std::size_t names = l.catalogTdef + 63 + 6 * 25;
                   std::size_t at = names;
                   for (int c = 0; c < 5; ++c) {
                       at += 2 + get16(b, at);
                   }
                   put16(b, at + 2, 'X'); // "LvProp" becomes "XvProp"
               },
               Outcome::OpenRefused, "LvProp"},
        // The file as a whole.
        Damage{"truncated before the map page",
               [](std::string& b, const Layout& l) { b.resize((l.pages - 1) * kPage); },
               Outcome::OpenRefused, "outside the file"},
        Damage{"encoded pages",
               [](std::string& b, const Layout&) { b[0x3E] = static_cast<char>(b[0x3E] ^ 1); },
               Outcome::OpenRefused, "encoded"}),
    damageName);

// Past 512 data pages the writer switches to a map of bitmap pages: read whole when intact,
// refused when a bitmap page lies outside the file or marks a page past its end.
TEST(JetDamagedFile, BitmapUsageMapOfALargeTable) {
    const int rows = 40000;
    const std::string good = jetwriter::writeDatabase({zorvast::testing::satTableSample(rows)});
    const Layout l = locate(good);
    ASSERT_EQ(good[l.map], 0x01) << "a map of bitmap pages";
    const std::uint32_t bitmapPage = get32(good, l.map + 1);
    ASSERT_GT(bitmapPage, 0u);
    TempFolder folder;
    const Result intact = openAndLoad(folder.write("large.mdb", good));
    ASSERT_EQ(intact.outcome, Outcome::Loads) << intact.error;
    EXPECT_EQ(intact.rows, static_cast<std::size_t>(rows));

    std::string outside = good;
    put32(outside, l.map + 1, l.pages + 1);
    const Result r1 = openAndLoad(folder.write("outside.mdb", outside));
    EXPECT_EQ(r1.outcome, Outcome::TableRefused) << r1.error;
    EXPECT_NE(r1.error.find("outside the file"), std::string::npos) << r1.error;

    std::string marks = good;
    marks[bitmapPage * kPage + 4 + (l.pages + 9) / 8] = 0x01;
    const Result r2 = openAndLoad(folder.write("marks.mdb", marks));
    EXPECT_EQ(r2.outcome, Outcome::TableRefused) << r2.error;
    EXPECT_NE(r2.error.find("outside the file"), std::string::npos) << r2.error;
}

// Growth is bounded by what the table's pages could hold, whatever a page's row count says.
TEST(JetDamagedFile, RowLimitFollowsThePagesAndColumns) {
    EXPECT_EQ(JetFileCheck::maxRowsIn(0, 9), 0u);
    EXPECT_EQ(JetFileCheck::maxRowsIn(1, 1), (4096u - 14) / 5);
    EXPECT_EQ(JetFileCheck::maxRowsIn(10, 9), 10u * ((4096 - 14) / 6));
    EXPECT_EQ(JetFileCheck::maxRowsIn(1, 255), (4096u - 14) / 36);
}

// A file cut at every page boundary: whatever is left either reads or is refused.
TEST(JetDamagedFile, TruncatedAtEveryPage) {
    TempFolder folder;
    const std::string& good = goodBytes();
    for (std::size_t pages = 1; pages * kPage < good.size(); ++pages) {
        const Result r = openAndLoad(folder.write("cut.mdb", good.substr(0, pages * kPage)));
        EXPECT_NE(r.outcome, Outcome::Loads) << pages << " pages";
        EXPECT_FALSE(r.error.empty()) << pages << " pages";
    }
}

// Random bytes where libmdb trusts the most: the definitions, the catalog rows and the
// usage maps. Each file reads or is refused; data pages are untouched, so no table can
// yield more rows than the writer put in.
TEST(JetDamagedFile, RandomDamageToDefinitionsCatalogAndMaps) {
    const std::string& good = goodBytes();
    const Layout l = locate(good);
    const std::vector<std::size_t> targets = {l.catalogTdef, 3 * kPage, l.tableTdef,
                                              l.mapSlot / kPage * kPage};
    std::mt19937 random(4711);
    TempFolder folder;
    int refused = 0;
    const int rounds = 400;
    for (int round = 0; round < rounds; ++round) {
        std::string bytes = good;
        const int flips = 1 + static_cast<int>(random() % 6);
        for (int f = 0; f < flips; ++f) {
            const std::size_t page = targets[random() % targets.size()];
            const std::size_t within = random() % 512;
            const std::size_t at = page + (random() % 2 == 0 ? within : kPage - 1 - within);
            const unsigned pick = random() % 4;
            bytes[at] = static_cast<char>(pick == 0 ? 0x00 : pick == 1 ? 0xFF : random() & 0xFF);
        }
        const Result r = openAndLoad(folder.write("damaged.mdb", bytes));
        if (r.outcome != Outcome::Loads) {
            ++refused;
            EXPECT_FALSE(r.error.empty()) << round;
        }
        EXPECT_LE(r.rows, kRowCount) << round;
    }
    EXPECT_GT(refused, rounds / 10);
}

} // namespace
} // namespace zorvast::channels::jet
