// Jet 4 writer. File layout, in page order:
//   0 header, 1 empty, 2 MSysObjects definition, then the catalog's data pages,
//   then per table: definition page(s), data pages, bitmap pages (large tables only),
//   and last the pages holding every table's usage-map rows.
// Everything is computed before the first byte is emitted, so bad input never yields bytes.
#include "JetWriter.h"
#include "JetFormat.h"
#include "JetPageLayout.h"
#include "JetRowEncoder.h"
#include "JetTextEncoding.h"
#include "JetValidation.h"
#include "common/Files.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <stdexcept>

namespace jetwriter {

using namespace detail;

namespace {

PreparedTable prepareUserTable(const Table& table) {
    PreparedTable p;
    p.name = table.name;
    p.name16 = checkName(table.name, "table");
    checkColumns(table.name, table.columns);
    p.shape = userShape(table.columns);
    p.rows = encodeRows(table, p.shape);
    p.pageStarts = packRows(p.rows);
    p.tdefBytes = tdefStream(p.shape, false, 0, 0, 0).size();
    return p;
}

} // namespace

std::string writeDatabase(const std::vector<Table>& tables) {
    std::vector<PreparedTable> prepared;
    prepared.reserve(tables.size() + 1);

    PreparedTable catalog;
    catalog.name = "MSysObjects";
    catalog.name16 = u"MSysObjects";
    catalog.system = true;
    catalog.shape = catalogShape();
    prepared.push_back(std::move(catalog));

    std::vector<std::u16string> seen{u"msysobjects"};
    for (const Table& table : tables) {
        PreparedTable p = prepareUserTable(table);
        const std::u16string key = lowerAscii(p.name16);
        if (std::find(seen.begin(), seen.end(), key) != seen.end()) {
            fail(key == u"msysobjects" ? "table name " + inQuotes(table.name) + " is reserved"
                                       : "duplicate table name " + inQuotes(table.name));
        }
        seen.push_back(key);
        prepared.push_back(std::move(p));
    }

    // Catalog rows have the same size whatever the page numbers are, so pack them once
    // with placeholders, place everything, then fill in the real ids.
    auto catalogRows = [&]() {
        std::vector<std::string> rows;
        rows.push_back(catalogRow(prepared[0].shape, prepared[0].tdefPage, u"MSysObjects",
                                  kSystemObjectFlags));
        for (std::size_t i = 1; i < prepared.size(); ++i) {
            rows.push_back(
                catalogRow(prepared[0].shape, prepared[i].tdefPage, prepared[i].name16, 0));
        }
        return rows;
    };
    prepared[0].rows = catalogRows();
    prepared[0].pageStarts = packRows(prepared[0].rows);
    prepared[0].tdefBytes = tdefStream(prepared[0].shape, true, 0, 0, 0).size();

    std::uint32_t next = 2;
    for (PreparedTable& t : prepared) {
        placeData(t, next);
    }
    prepared[0].rows = catalogRows();

    // Usage-map rows (owned, free) for every table, on pages after everything else.
    std::vector<std::string> mapRows;
    for (const PreparedTable& t : prepared) {
        mapRows.push_back(ownedMapRow(t));
        mapRows.push_back(inlineMap(t.firstDataPage, 0, 0));
    }
    const std::vector<std::size_t> mapStarts = packRows(mapRows);
    const std::uint32_t firstMapPage = next;
    for (std::size_t r = 0, page = 0; r < mapRows.size(); ++r) {
        while (page + 1 < mapStarts.size() && mapStarts[page + 1] <= r) {
            ++page;
        }
        const std::uint32_t ref = ((firstMapPage + static_cast<std::uint32_t>(page)) << 8) |
                                  static_cast<std::uint32_t>(r - mapStarts[page]);
        PreparedTable& t = prepared[r / 2];
        (r % 2 == 0 ? t.ownedMapRef : t.freeMapRef) = ref;
    }
    const std::uint64_t totalPages = std::uint64_t{next} + mapStarts.size();
    if (totalPages > 0x00FFFFFF) {
        fail("the database would need more than 16777215 pages");
    }

    std::string out;
    out.reserve(static_cast<std::size_t>(totalPages) * kPageSize);
    out += headerPage();
    out.append(kPageSize, '\0');
    for (const PreparedTable& t : prepared) {
        const std::string stream =
            tdefStream(t.shape, t.system, static_cast<std::uint32_t>(t.rows.size()), t.ownedMapRef,
                       t.freeMapRef);
        for (const std::string& page : tdefPages(stream, t.tdefPage)) {
            out += page;
        }
        for (std::size_t p = 0; p < t.pageStarts.size(); ++p) {
            const std::size_t last =
                p + 1 < t.pageStarts.size() ? t.pageStarts[p + 1] : t.rows.size();
            out += dataPage(t.tdefPage, t.rows, t.pageStarts[p], last);
        }
        for (std::uint32_t w : t.bitmapWindows) {
            out += bitmapPage(t, w);
        }
    }
    for (std::size_t p = 0; p < mapStarts.size(); ++p) {
        const std::size_t last = p + 1 < mapStarts.size() ? mapStarts[p + 1] : mapRows.size();
        out += dataPage(0, mapRows, mapStarts[p], last);
    }
    if (out.size() != totalPages * kPageSize) {
        throw std::logic_error("jet writer: page layout mismatch");
    }
    return out;
}

void writeDatabaseFile(const std::string& path, const std::vector<Table>& tables) {
    const std::string bytes = writeDatabase(tables);
    // The file gets the usual umask-derived mode, like any other file the tools write.
    const zorvast::common::AtomicWriteResult written = zorvast::common::writeFileAtomically(
        path, bytes, {.durability = zorvast::common::Durability::Durable});
    if (written.failedStep == zorvast::common::AtomicWriteStep::Create) {
        const std::filesystem::path temporary =
            std::filesystem::path(path).parent_path() / written.temporary;
        throw std::runtime_error("cannot create " + temporary.string() + ": " +
                                 std::strerror(written.error));
    }
    if (!written) {
        throw std::runtime_error("cannot write " + path + ": " + std::strerror(written.error));
    }
}

} // namespace jetwriter
