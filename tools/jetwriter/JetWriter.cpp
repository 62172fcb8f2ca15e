// Jet 4 writer. File layout, in page order:
//   0 header, 1 empty, 2 MSysObjects definition, then the catalog's data pages,
//   then per table: definition page(s), data pages, bitmap pages (large tables only),
//   and last the pages holding every table's usage-map rows.
// Everything is computed before the first byte is emitted, so bad input never yields bytes.
#include "JetWriter.h"
#include "channels/jet/JetHeaderMask.h"
#include "common/Files.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string_view>

namespace jetwriter {

namespace {

constexpr std::size_t kPageSize = 4096;
constexpr std::size_t kDataPageHeader = 14;
constexpr std::size_t kMaxRowBytes = 4060;
constexpr std::size_t kMaxRowsPerPage = 255;
constexpr std::size_t kTdefHeader = 63;
constexpr std::size_t kColumnBlock = 25;
constexpr std::size_t kTdefContinuationHeader = 8;
constexpr std::uint32_t kInlineMapPages = 512;                 // 64-byte bitmap
constexpr std::uint32_t kBitmapPageSpan = (kPageSize - 4) * 8; // pages per 0x05 page
constexpr std::uint32_t kTdefMagic = 1625;
constexpr std::uint32_t kTablesContainerId = 0x0F000001;
constexpr std::uint32_t kSystemObjectFlags = 0x80000002;
constexpr std::size_t kMaxNameUnits = 64;
constexpr std::size_t kMaxColumns = 255;

constexpr std::uint8_t kTypeBool = 0x01;
constexpr std::uint8_t kTypeInt = 0x03;
constexpr std::uint8_t kTypeLong = 0x04;
constexpr std::uint8_t kTypeText = 0x0A;
constexpr std::uint8_t kTypeOle = 0x0B;

[[noreturn]] void fail(const std::string& message) {
    throw std::invalid_argument(message);
}

void put16(std::string& b, std::size_t at, std::uint16_t v) {
    b[at] = static_cast<char>(v & 0xFF);
    b[at + 1] = static_cast<char>(v >> 8);
}

void put32(std::string& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        b[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    }
}

void append16(std::string& b, std::uint16_t v) {
    b.push_back(static_cast<char>(v & 0xFF));
    b.push_back(static_cast<char>(v >> 8));
}

// UTF-8 to UTF-16 code units. Only the BMP: mdbtools reads text as UCS-2, so a surrogate
// pair would come back as "??" there.
bool toUtf16(const std::string& s, std::u16string& out, std::string& error) {
    out.clear();
    std::size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        std::uint32_t cp = 0;
        std::size_t extra = 0;
        if (c < 0x80) {
            cp = c;
        } else if (c >= 0xC2 && c <= 0xDF) {
            cp = c & 0x1F;
            extra = 1;
        } else if (c >= 0xE0 && c <= 0xEF) {
            cp = c & 0x0F;
            extra = 2;
        } else if (c >= 0xF0 && c <= 0xF4) {
            error = "characters outside the Basic Multilingual Plane are not supported";
            return false;
        } else {
            error = "not valid UTF-8";
            return false;
        }
        if (extra > 0 && i + extra >= s.size()) {
            error = "not valid UTF-8 (truncated sequence)";
            return false;
        }
        for (std::size_t k = 1; k <= extra; ++k) {
            const auto cc = static_cast<unsigned char>(s[i + k]);
            if ((cc & 0xC0) != 0x80) {
                error = "not valid UTF-8";
                return false;
            }
            cp = (cp << 6) | (cc & 0x3F);
        }
        if ((extra == 2 && cp < 0x800) || (cp >= 0xD800 && cp <= 0xDFFF)) {
            error = "not valid UTF-8";
            return false;
        }
        if (cp == 0) {
            error = "contains the character U+0000";
            return false;
        }
        out.push_back(static_cast<char16_t>(cp));
        i += extra + 1;
    }
    return true;
}

std::string inQuotes(const std::string& name) {
    return "\"" + name + "\"";
}

// Names of tables and columns: what both readers and Jet itself accept.
std::u16string checkName(const std::string& name, const std::string& what) {
    std::u16string units;
    std::string error;
    if (name.empty()) {
        fail(what + " name is empty");
    }
    if (!toUtf16(name, units, error)) {
        fail(what + " name " + inQuotes(name) + ": " + error);
    }
    if (units.size() > kMaxNameUnits) {
        fail(what + " name " + inQuotes(name) + " is longer than 64 characters");
    }
    for (char16_t u : units) {
        if (u < 0x20 || u == 0x7F) {
            fail(what + " name " + inQuotes(name) + " contains a control character");
        }
    }
    if (units.front() == 0xFEFF) {
        fail(what + " name " + inQuotes(name) + " starts with U+FEFF");
    }
    return units;
}

std::u16string lowerAscii(std::u16string s) {
    for (char16_t& u : s) {
        if (u >= 'A' && u <= 'Z') {
            u = static_cast<char16_t>(u + 32);
        }
    }
    return s;
}

// Compressed form only where both readers decode it the same way: more than two characters,
// all in 1..0xFF, so the stream never needs a mode switch.
std::string encodeText(const std::u16string& units) {
    const bool compress =
        units.size() > 2 &&
        std::all_of(units.begin(), units.end(), [](char16_t u) { return u >= 1 && u <= 0xFF; });
    std::string out;
    if (compress) {
        out.reserve(units.size() + 2);
        out.push_back(static_cast<char>(0xFF));
        out.push_back(static_cast<char>(0xFE));
        for (char16_t u : units) {
            out.push_back(static_cast<char>(u));
        }
    } else {
        out.reserve(units.size() * 2);
        for (char16_t u : units) {
            append16(out, static_cast<std::uint16_t>(u));
        }
    }
    return out;
}

const char* typeName(ColumnType t) {
    switch (t) {
    case ColumnType::Text:
        return "Text";
    case ColumnType::Integer:
        return "Integer";
    case ColumnType::Long:
        return "Long";
    case ColumnType::YesNo:
        return "YesNo";
    }
    return "unknown";
}

bool knownType(ColumnType t) {
    return t == ColumnType::Text || t == ColumnType::Integer || t == ColumnType::Long ||
           t == ColumnType::YesNo;
}

// Returns "" when the value fits the column, else why not. Text comes back in UTF-16.
std::string checkValue(const Column& column, const Value& value, std::u16string* text) {
    if (!value) {
        return {};
    }
    switch (column.type) {
    case ColumnType::Text: {
        const auto* s = std::get_if<std::string>(&*value);
        if (!s) {
            return "a Text column needs a text value";
        }
        std::u16string units;
        std::string error;
        if (!toUtf16(*s, units, error)) {
            return "text " + error;
        }
        if (units.size() > static_cast<std::size_t>(column.textLength)) {
            return "text of " + std::to_string(units.size()) + " characters is longer than " +
                   std::to_string(column.textLength);
        }
        if (!units.empty() && units.front() == 0xFEFF) {
            return "text starts with U+FEFF, which readers take for the compression mark";
        }
        if (text) {
            *text = std::move(units);
        }
        return {};
    }
    case ColumnType::Integer:
    case ColumnType::Long: {
        const auto* n = std::get_if<std::int64_t>(&*value);
        if (!n) {
            return std::string("an ") + typeName(column.type) + " column needs a number";
        }
        const bool small = column.type == ColumnType::Integer;
        const std::int64_t lo = small ? -32768 : -2147483648LL;
        const std::int64_t hi = small ? 32767 : 2147483647LL;
        if (*n < lo || *n > hi) {
            return std::to_string(*n) + " is out of range for " + typeName(column.type) + " (" +
                   std::to_string(lo) + ".." + std::to_string(hi) + ")";
        }
        return {};
    }
    case ColumnType::YesNo:
        if (!std::holds_alternative<bool>(*value)) {
            return "a YesNo column needs true or false";
        }
        return {};
    }
    return "unknown column type";
}

void checkColumns(const std::string& tableName, const std::vector<Column>& columns) {
    if (columns.empty()) {
        fail("table " + inQuotes(tableName) + " has no columns");
    }
    if (columns.size() > kMaxColumns) {
        fail("table " + inQuotes(tableName) + " has more than 255 columns");
    }
    std::vector<std::u16string> seen;
    for (const Column& c : columns) {
        const std::u16string units = checkName(c.name, "table " + inQuotes(tableName) + ": column");
        const std::u16string key = lowerAscii(units);
        if (std::find(seen.begin(), seen.end(), key) != seen.end()) {
            fail("table " + inQuotes(tableName) + ": duplicate column name " + inQuotes(c.name));
        }
        seen.push_back(key);
        if (!knownType(c.type)) {
            fail("table " + inQuotes(tableName) + ", column " + inQuotes(c.name) + ": unknown type");
        }
        if (c.type == ColumnType::Text && (c.textLength < 1 || c.textLength > 255)) {
            fail("table " + inQuotes(tableName) + ", column " + inQuotes(c.name) +
                 ": text length must be 1..255, not " + std::to_string(c.textLength));
        }
    }
}

// A column as stored: both user columns and the catalog's own (which has an OLE column).
struct StoredColumn {
    std::u16string name;
    std::uint8_t type = 0;
    bool fixed = false;
    std::uint16_t number = 0;
    std::uint16_t varIndex = 0;
    std::uint16_t fixedOffset = 0;
    std::uint16_t length = 0;
};

struct Shape {
    std::vector<StoredColumn> columns;
    std::uint16_t varCount = 0;
    std::uint16_t fixedBytes = 0;
};

Shape makeShape(const std::vector<std::pair<std::u16string, std::uint8_t>>& defs,
                const std::vector<int>& textLengths) {
    Shape shape;
    for (std::size_t i = 0; i < defs.size(); ++i) {
        StoredColumn c;
        c.name = defs[i].first;
        c.type = defs[i].second;
        c.number = static_cast<std::uint16_t>(i);
        switch (c.type) {
        case kTypeText:
            c.length = static_cast<std::uint16_t>(2 * textLengths[i]);
            break;
        case kTypeInt:
            c.length = 2;
            c.fixed = true;
            break;
        case kTypeLong:
            c.length = 4;
            c.fixed = true;
            break;
        case kTypeBool:
            c.length = 1; // readers treat it as 0 bytes; Access stores 1
            c.fixed = true;
            break;
        default:
            c.length = 0; // OLE: long value, stored outside the row (we never store any)
            break;
        }
        if (c.fixed) {
            c.fixedOffset = shape.fixedBytes;
            if (c.type != kTypeBool) {
                shape.fixedBytes = static_cast<std::uint16_t>(shape.fixedBytes + c.length);
            }
        } else {
            c.varIndex = shape.varCount++;
        }
        shape.columns.push_back(std::move(c));
    }
    return shape;
}

// One cell ready for the row: null flag, the fixed value, or the variable bytes.
struct Cell {
    bool present = false;
    std::int64_t number = 0;
    bool flag = false;
    std::string bytes;
};

std::string encodeRow(const Shape& shape, const std::vector<Cell>& cells) {
    const std::size_t n = shape.columns.size();
    const std::size_t maskBytes = (n + 7) / 8;
    std::string row;
    append16(row, static_cast<std::uint16_t>(n));
    row.append(shape.fixedBytes, '\0');
    std::string mask(maskBytes, '\0');
    std::vector<std::uint16_t> varOffsets(shape.varCount);
    // Variable data goes in var-index order, which is column order.
    for (std::size_t i = 0; i < n; ++i) {
        const StoredColumn& c = shape.columns[i];
        const Cell& cell = cells[i];
        bool bit = cell.present;
        if (c.type == kTypeBool) {
            bit = cell.present && cell.flag;
        } else if (c.fixed) {
            if (cell.present) {
                const auto v = static_cast<std::uint32_t>(cell.number);
                const std::size_t at = 2 + c.fixedOffset;
                if (c.type == kTypeInt) {
                    put16(row, at, static_cast<std::uint16_t>(v));
                } else {
                    put32(row, at, v);
                }
            }
        } else {
            varOffsets[c.varIndex] = static_cast<std::uint16_t>(row.size());
            if (cell.present) {
                row += cell.bytes;
            }
        }
        if (bit) {
            mask[i / 8] = static_cast<char>(mask[i / 8] | (1 << (i % 8)));
        }
    }
    if (shape.varCount > 0) {
        const auto eod = static_cast<std::uint16_t>(row.size());
        append16(row, eod);
        for (std::size_t k = shape.varCount; k-- > 0;) {
            append16(row, varOffsets[k]);
        }
        append16(row, shape.varCount);
    }
    row += mask;
    return row;
}

// Rows to pages: greedy, in order, so both readers return the rows as given.
std::vector<std::size_t> packRows(const std::vector<std::string>& rows) {
    std::vector<std::size_t> starts; // index of each page's first row
    std::size_t used = kPageSize;    // forces a new page for the first row
    std::size_t count = kMaxRowsPerPage;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const std::size_t need = rows[i].size() + 2;
        if (count == kMaxRowsPerPage || used + need > kPageSize) {
            starts.push_back(i);
            used = kDataPageHeader;
            count = 0;
        }
        used += need;
        ++count;
    }
    return starts;
}

std::string dataPage(std::uint32_t tdefPage, const std::vector<std::string>& rows,
                     std::size_t first, std::size_t last) {
    std::string page(kPageSize, '\0');
    page[0] = 0x01;
    page[1] = 0x01;
    put32(page, 4, tdefPage);
    const auto count = static_cast<std::uint16_t>(last - first);
    put16(page, 12, count);
    std::size_t end = kPageSize;
    for (std::size_t i = first; i < last; ++i) {
        const std::string& row = rows[i];
        end -= row.size();
        std::memcpy(page.data() + end, row.data(), row.size());
        put16(page, kDataPageHeader + 2 * (i - first), static_cast<std::uint16_t>(end));
    }
    const std::size_t free = end - kDataPageHeader - 2 * count;
    put16(page, 2, static_cast<std::uint16_t>(free));
    return page;
}

// The definition as one byte stream (header included); split over pages later.
std::string tdefStream(const Shape& shape, bool system, std::uint32_t rowCount,
                       std::uint32_t ownedMap, std::uint32_t freeMap) {
    std::string t(kTdefHeader, '\0');
    t[0] = 0x02;
    t[1] = 0x01;
    put32(t, 12, kTdefMagic);
    put32(t, 16, rowCount);
    t[24] = 0x01;
    t[40] = static_cast<char>(system ? 0x53 : 0x4E);
    const auto n = static_cast<std::uint16_t>(shape.columns.size());
    put16(t, 41, n);
    put16(t, 43, shape.varCount);
    put16(t, 45, n);
    put32(t, 55, ownedMap);
    put32(t, 59, freeMap);
    for (const StoredColumn& c : shape.columns) {
        std::string b(kColumnBlock, '\0');
        b[0] = static_cast<char>(c.type);
        put32(b, 1, kTdefMagic);
        put16(b, 5, c.number);
        put16(b, 7, c.varIndex);
        put16(b, 9, c.number);
        if (c.type == kTypeText) {
            put16(b, 11, 0x0409); // sort order: General
            b[16] = 0x01;         // Unicode compression allowed
        }
        b[15] = static_cast<char>(c.fixed ? 0x03 : 0x02);
        put16(b, 21, c.fixedOffset);
        put16(b, 23, c.length);
        t += b;
    }
    for (const StoredColumn& c : shape.columns) {
        append16(t, static_cast<std::uint16_t>(2 * c.name.size()));
        for (char16_t u : c.name) {
            append16(t, static_cast<std::uint16_t>(u));
        }
    }
    append16(t, 0xFFFF);
    put32(t, 8, static_cast<std::uint32_t>(t.size() - 8));
    return t;
}

std::size_t tdefPageCount(std::size_t streamBytes) {
    if (streamBytes <= kPageSize) {
        return 1;
    }
    const std::size_t rest = streamBytes - kPageSize;
    const std::size_t perPage = kPageSize - kTdefContinuationHeader;
    return 1 + (rest + perPage - 1) / perPage;
}

std::vector<std::string> tdefPages(const std::string& stream, std::uint32_t firstPage) {
    std::vector<std::string> pages;
    const std::size_t count = tdefPageCount(stream.size());
    std::size_t pos = 0;
    for (std::size_t p = 0; p < count; ++p) {
        std::string page(kPageSize, '\0');
        std::size_t at = 0;
        if (p > 0) {
            page[0] = 0x02;
            page[1] = 0x01;
            at = kTdefContinuationHeader;
        }
        const std::size_t take = std::min(kPageSize - at, stream.size() - pos);
        std::memcpy(page.data() + at, stream.data() + pos, take);
        pos += take;
        put16(page, 2, static_cast<std::uint16_t>(kPageSize - at - take));
        put32(page, 4, p + 1 < count ? static_cast<std::uint32_t>(firstPage + p + 1) : 0);
        pages.push_back(std::move(page));
    }
    return pages;
}

std::string headerPage() {
    std::string page(kPageSize, '\0');
    const char magic[] = "Standard Jet DB";
    page[1] = 0x01;
    std::memcpy(page.data() + 4, magic, sizeof magic); // with its NUL
    page[0x14] = 0x01;                                 // Jet 4
    std::string plain(128, '\0');
    // 0x18..0x2F: constant in every Access-made Jet 4 file.
    const unsigned char lead[24] = {0, 1, 0, 0, 1, 1, 0, 0, 2, 0, 0, 0,
                                    3, 0, 0, 0, 4, 0, 0, 0, 5, 0, 0, 0};
    std::memcpy(plain.data(), lead, sizeof lead);
    put16(plain, 0x3C - 0x18, 1252); // code page
    // db key at 0x3E stays 0: anything else makes readers decode every page.
    // No password, and creation date 0, so the password mask is 0 too.
    put16(plain, 0x6E - 0x18, 0x0409); // sort order: General
    const auto mask = zorvast::channels::jet::jetHeaderMask();
    for (std::size_t i = 0; i < 128; ++i) {
        page[0x18 + i] = static_cast<char>(plain[i] ^ static_cast<char>(mask[i]));
    }
    return page;
}

struct PreparedTable {
    std::string name;
    std::u16string name16;
    Shape shape;
    std::vector<std::string> rows;
    bool system = false;
    std::vector<std::size_t> pageStarts;
    std::size_t tdefBytes = 0; // stream length; the pointers inside do not change it
    // placement
    std::uint32_t tdefPage = 0;
    std::uint32_t firstDataPage = 0;
    std::uint32_t dataPages = 0;
    std::vector<std::uint32_t> bitmapWindows; // windows touched, with pages below
    std::uint32_t firstBitmapPage = 0;
    bool inlineMap = true;
    std::uint32_t ownedMapRef = 0;
    std::uint32_t freeMapRef = 0;
};

std::uint8_t storedType(ColumnType t) {
    switch (t) {
    case ColumnType::Text:
        return kTypeText;
    case ColumnType::Integer:
        return kTypeInt;
    case ColumnType::Long:
        return kTypeLong;
    case ColumnType::YesNo:
        return kTypeBool;
    }
    return 0;
}

PreparedTable prepareUserTable(const Table& table) {
    PreparedTable p;
    p.name = table.name;
    p.name16 = checkName(table.name, "table");
    checkColumns(table.name, table.columns);
    std::vector<std::pair<std::u16string, std::uint8_t>> defs;
    std::vector<int> lengths;
    for (const Column& c : table.columns) {
        std::u16string units;
        std::string ignored;
        toUtf16(c.name, units, ignored);
        defs.emplace_back(units, storedType(c.type));
        lengths.push_back(c.textLength);
    }
    p.shape = makeShape(defs, lengths);
    if (table.rows.size() > 0xFFFFFFFFull) {
        fail("table " + inQuotes(table.name) + " has too many rows");
    }
    p.rows.reserve(table.rows.size());
    std::vector<Cell> cells(table.columns.size());
    for (std::size_t r = 0; r < table.rows.size(); ++r) {
        const Row& row = table.rows[r];
        const std::string where = "table " + inQuotes(table.name) + ", row " + std::to_string(r + 1);
        if (row.size() != table.columns.size()) {
            fail(where + ": " + std::to_string(row.size()) + " cells for " +
                 std::to_string(table.columns.size()) + " columns");
        }
        for (std::size_t c = 0; c < row.size(); ++c) {
            const Column& column = table.columns[c];
            std::u16string text;
            const std::string error = checkValue(column, row[c], &text);
            if (!error.empty()) {
                fail(where + ", column " + inQuotes(column.name) + ": " + error);
            }
            Cell& cell = cells[c];
            cell.present = row[c].has_value();
            cell.bytes.clear();
            if (cell.present) {
                if (column.type == ColumnType::Text) {
                    cell.bytes = encodeText(text);
                } else if (column.type == ColumnType::YesNo) {
                    cell.flag = std::get<bool>(*row[c]);
                } else {
                    cell.number = std::get<std::int64_t>(*row[c]);
                }
            }
        }
        std::string bytes = encodeRow(p.shape, cells);
        if (bytes.size() > kMaxRowBytes) {
            fail(where + ": the row takes " + std::to_string(bytes.size()) + " bytes, more than " +
                 std::to_string(kMaxRowBytes));
        }
        p.rows.push_back(std::move(bytes));
    }
    p.pageStarts = packRows(p.rows);
    p.tdefBytes = tdefStream(p.shape, false, 0, 0, 0).size();
    return p;
}

Shape catalogShape() {
    return makeShape({{u"Id", kTypeLong},
                      {u"ParentId", kTypeLong},
                      {u"Name", kTypeText},
                      {u"Type", kTypeInt},
                      {u"Flags", kTypeLong},
                      {u"LvProp", kTypeOle}},
                     {0, 0, 255, 0, 0, 0});
}

std::string catalogRow(const Shape& shape, std::uint32_t id, const std::u16string& name,
                       std::uint32_t flags) {
    std::vector<Cell> cells(6);
    cells[0].present = true;
    cells[0].number = static_cast<std::int32_t>(id);
    cells[1].present = true;
    cells[1].number = static_cast<std::int32_t>(kTablesContainerId);
    cells[2].present = true;
    cells[2].bytes = encodeText(name);
    cells[3].present = true;
    cells[3].number = 1; // table
    cells[4].present = true;
    cells[4].number = static_cast<std::int32_t>(flags);
    return encodeRow(shape, cells);
}

std::string inlineMap(std::uint32_t start, std::uint32_t setFrom, std::uint32_t setCount) {
    std::string m(1 + 4 + kInlineMapPages / 8, '\0');
    put32(m, 1, start);
    for (std::uint32_t i = 0; i < setCount; ++i) {
        const std::uint32_t bit = setFrom - start + i;
        m[5 + bit / 8] = static_cast<char>(m[5 + bit / 8] | (1 << (bit % 8)));
    }
    return m;
}

void placeData(PreparedTable& t, std::uint32_t& next) {
    t.tdefPage = next;
    next += static_cast<std::uint32_t>(tdefPageCount(t.tdefBytes));
    t.dataPages = static_cast<std::uint32_t>(t.pageStarts.size());
    t.firstDataPage = t.dataPages > 0 ? next : t.tdefPage;
    next += t.dataPages;
    t.inlineMap = t.dataPages <= kInlineMapPages;
    if (!t.inlineMap) {
        const std::uint32_t last = t.firstDataPage + t.dataPages - 1;
        for (std::uint32_t w = t.firstDataPage / kBitmapPageSpan; w <= last / kBitmapPageSpan;
             ++w) {
            t.bitmapWindows.push_back(w);
        }
        t.firstBitmapPage = next;
        next += static_cast<std::uint32_t>(t.bitmapWindows.size());
    }
}

std::string ownedMapRow(const PreparedTable& t) {
    if (t.inlineMap) {
        return inlineMap(t.firstDataPage, t.firstDataPage, t.dataPages);
    }
    const std::uint32_t last = t.firstDataPage + t.dataPages - 1;
    std::string m(1 + 4 * (last / kBitmapPageSpan + 1), '\0');
    m[0] = 0x01;
    for (std::size_t k = 0; k < t.bitmapWindows.size(); ++k) {
        put32(m, 1 + 4 * t.bitmapWindows[k], t.firstBitmapPage + static_cast<std::uint32_t>(k));
    }
    return m;
}

std::string bitmapPage(const PreparedTable& t, std::uint32_t window) {
    std::string page(kPageSize, '\0');
    page[0] = 0x05;
    page[1] = 0x01;
    const std::uint32_t base = window * kBitmapPageSpan;
    const std::uint32_t from = std::max(base, t.firstDataPage);
    const std::uint32_t to = std::min(base + kBitmapPageSpan, t.firstDataPage + t.dataPages);
    for (std::uint32_t pg = from; pg < to; ++pg) {
        const std::uint32_t bit = pg - base;
        page[4 + bit / 8] = static_cast<char>(page[4 + bit / 8] | (1 << (bit % 8)));
    }
    return page;
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

// ---- typed TSV ----

namespace {

std::vector<std::string> splitTabs(const std::string& line) {
    std::vector<std::string> cells;
    std::size_t start = 0;
    while (true) {
        const std::size_t tab = line.find('\t', start);
        if (tab == std::string::npos) {
            cells.push_back(line.substr(start));
            return cells;
        }
        cells.push_back(line.substr(start, tab - start));
        start = tab + 1;
    }
}

std::string lineError(std::size_t line, const std::string& message) {
    return "line " + std::to_string(line) + ": " + message;
}

Column parseHeaderCell(const std::string& cell, std::size_t index) {
    const std::size_t colon = cell.rfind(':');
    if (colon == std::string::npos) {
        fail(lineError(1, "column " + std::to_string(index + 1) + " " + inQuotes(cell) +
                              " has no type (name:Type)"));
    }
    Column c;
    c.name = cell.substr(0, colon);
    const std::string type = cell.substr(colon + 1);
    if (type == "Integer") {
        c.type = ColumnType::Integer;
    } else if (type == "Long") {
        c.type = ColumnType::Long;
    } else if (type == "YesNo") {
        c.type = ColumnType::YesNo;
    } else if (type == "Text") {
        c.type = ColumnType::Text;
        c.textLength = 255;
    } else if (type.size() > 6 && type.compare(0, 5, "Text(") == 0 && type.back() == ')') {
        const std::string digits = type.substr(5, type.size() - 6);
        int n = 0;
        const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), n);
        if (ec != std::errc() || end != digits.data() + digits.size() || n < 1 || n > 255) {
            fail(lineError(1, "column " + inQuotes(c.name) + ": text length must be 1..255, not " +
                                  inQuotes(digits)));
        }
        c.type = ColumnType::Text;
        c.textLength = n;
    } else {
        fail(lineError(1, "column " + inQuotes(c.name) + ": unknown type " + inQuotes(type) +
                              " (Text(N), Integer, Long, YesNo)"));
    }
    return c;
}

// Undoes \t \n \r \\; a whole cell of \N is NULL.
Value parseCell(const Column& column, const std::string& raw, std::size_t line) {
    const std::string where = "column " + inQuotes(column.name);
    if (raw == "\\N") {
        return std::nullopt;
    }
    std::string text;
    text.reserve(raw.size());
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] != '\\') {
            text.push_back(raw[i]);
            continue;
        }
        if (i + 1 == raw.size()) {
            fail(lineError(line, where + ": bad escape: a lone \\ at the end of the cell"));
        }
        const char e = raw[++i];
        switch (e) {
        case 't':
            text.push_back('\t');
            break;
        case 'n':
            text.push_back('\n');
            break;
        case 'r':
            text.push_back('\r');
            break;
        case '\\':
            text.push_back('\\');
            break;
        default:
            fail(lineError(line, where + ": bad escape \\" + std::string(1, e)));
        }
    }
    Value value;
    switch (column.type) {
    case ColumnType::Text:
        value = text;
        break;
    case ColumnType::Integer:
    case ColumnType::Long: {
        std::int64_t n = 0;
        const char* b = text.data();
        const char* e = text.data() + text.size();
        if (b != e && *b == '+') {
            ++b;
        }
        const auto [end, ec] = std::from_chars(b, e, n);
        if (text.empty() || ec != std::errc() || end != e) {
            fail(lineError(line, where + ": " + inQuotes(text) + " is not a whole number"));
        }
        value = n;
        break;
    }
    case ColumnType::YesNo:
        if (text == "1" || text == "true" || text == "TRUE" || text == "True") {
            value = true;
        } else if (text == "0" || text == "false" || text == "FALSE" || text == "False") {
            value = false;
        } else {
            fail(lineError(line, where + ": " + inQuotes(text) + " is not 1, 0, true or false"));
        }
        break;
    }
    const std::string error = checkValue(column, value, nullptr);
    if (!error.empty()) {
        fail(lineError(line, where + ": " + error));
    }
    return value;
}

} // namespace

Table readTypedTsv(const std::string& tableName, const std::string& tsvText) {
    std::string_view text(tsvText);
    if (text.substr(0, 3) == "\xEF\xBB\xBF") {
        text.remove_prefix(3);
    }
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        lines.emplace_back(line);
        start = end + 1;
    }
    if (lines.empty() || lines[0].empty()) {
        fail(lineError(1, "missing header (name:Type, separated by tabs)"));
    }
    Table table;
    table.name = tableName;
    const std::vector<std::string> header = splitTabs(lines[0]);
    for (std::size_t i = 0; i < header.size(); ++i) {
        table.columns.push_back(parseHeaderCell(header[i], i));
    }
    try {
        checkColumns(tableName, table.columns);
    } catch (const std::invalid_argument& e) {
        fail(lineError(1, e.what()));
    }
    for (std::size_t l = 1; l < lines.size(); ++l) {
        const std::vector<std::string> cells = splitTabs(lines[l]);
        if (cells.size() != table.columns.size()) {
            fail(lineError(l + 1, std::to_string(cells.size()) + " cells for " +
                                      std::to_string(table.columns.size()) + " columns"));
        }
        Row row;
        row.reserve(cells.size());
        for (std::size_t c = 0; c < cells.size(); ++c) {
            row.push_back(parseCell(table.columns[c], cells[c], l + 1));
        }
        table.rows.push_back(std::move(row));
    }
    return table;
}

} // namespace jetwriter
