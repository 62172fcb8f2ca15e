#include "channels/jet/JetFileCheck.h"
#include "channels/jet/JetHeaderMask.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace zorvast::channels::jet {

namespace {

constexpr char kJetSignature[] = "Standard Jet DB";
constexpr std::size_t kDataPageHeader = 14; // type, flags, free space, owner, row count
constexpr std::size_t kTdefHeader = 63;
constexpr std::size_t kRealIndexEntry = 12;
constexpr std::size_t kColumnBlock = 25;
constexpr std::size_t kTdefContinuation = 8;
constexpr unsigned kMaxColumns = 255;      // libmdb cracks a row into a 256-field array
constexpr std::size_t kMaxNameBytes = 128; // 64 UCS-2 characters, Jet's longest name
constexpr std::size_t kMaxTdefPages = 256;
constexpr std::uint32_t kBitmapPageSpan = (kJetPageSize - 4) * 8;
constexpr std::uint16_t kRowFlags = 0xE000; // deleted / overflow; the offset is below
constexpr std::uint16_t kRowOffsetMask = 0x1FFF;

std::uint16_t get16(const unsigned char* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t get32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::string pageText(std::uint64_t page) {
    return "page " + std::to_string(page);
}

} // namespace

std::uint64_t JetFileCheck::maxRowsIn(std::uint64_t pages, unsigned columnCount) {
    const std::size_t smallestRow = 2 + 2 + (columnCount + 7) / 8;
    return pages * ((kJetPageSize - kDataPageHeader) / smallestRow);
}

bool JetFileCheck::checkHeader(std::string& error) const {
    const std::size_t size = bytes_.size();
    if (size < 3 * kJetPageSize || size % kJetPageSize != 0) {
        error = "not a whole number of Jet pages";
        return false;
    }
    if (size > kMaxJetFileBytes) {
        error = "the file is too large for a Jet database";
        return false;
    }
    const unsigned char* header = page(0);
    if (header[0] != 0 || std::memcmp(header + 4, kJetSignature, sizeof kJetSignature) != 0) {
        error = "not a Jet database";
        return false;
    }
    if (header[0x14] != 1) {
        error = "not a Jet 4 database";
        return false;
    }
    // A non-zero page key makes libmdb decode every page; this check reads them plainly.
    const auto mask = jetHeaderMask();
    for (std::size_t at = 0x3E; at < 0x42; ++at) {
        if ((header[at] ^ mask[at - 0x18]) != 0) {
            error = "the pages are encoded";
            return false;
        }
    }
    return true;
}

// Where libmdb's mdb_find_pg_row would find row (pageRow & 0xFF) of page (pageRow >> 8).
bool JetFileCheck::findRow(std::uint32_t pageRow, const char* what, std::size_t& start,
                           std::size_t& length, std::string& error) const {
    const std::uint32_t number = pageRow >> 8;
    const unsigned row = pageRow & 0xFF;
    if (number == 0 || number >= pageCount()) {
        error = std::string(what) + " is on " + pageText(number) + ", outside the file";
        return false;
    }
    const unsigned char* p = page(number);
    const unsigned rows = get16(p + 12);
    if (row >= rows || kDataPageHeader + 2 * std::size_t{rows} > kJetPageSize) {
        error = std::string(what) + " is row " + std::to_string(row) + " of " + pageText(number) +
                ", which has no such row";
        return false;
    }
    const std::uint16_t slot = get16(p + kDataPageHeader + 2 * row);
    const std::size_t begin = slot & kRowOffsetMask;
    const std::size_t end =
        row == 0 ? kJetPageSize : get16(p + kDataPageHeader + 2 * (row - 1)) & kRowOffsetMask;
    if ((slot & kRowFlags) != 0 || begin < kDataPageHeader + 2 * std::size_t{rows} || begin > end ||
        end > kJetPageSize) {
        error = std::string(what) + " does not fit in " + pageText(number);
        return false;
    }
    start = static_cast<std::size_t>(number) * kJetPageSize + begin;
    length = end - begin;
    return true;
}

// The owned-pages map as libmdb's mdb_map_find_next walks it: every page it can hand back
// must lie inside the file, and every bitmap page it reads must be one.
bool JetFileCheck::checkUsageMap(const unsigned char* map, std::size_t length, std::uint32_t& pages,
                                 std::string& error) const {
    pages = 0;
    const std::uint64_t count = pageCount();
    auto markedPagesInside = [&](const unsigned char* bits, std::size_t bytes,
                                 std::uint64_t first) {
        for (std::size_t b = 0; b < bytes; ++b) {
            if (bits[b] == 0) {
                continue;
            }
            for (unsigned bit = 0; bit < 8; ++bit) {
                if ((bits[b] & (1u << bit)) == 0) {
                    continue;
                }
                const std::uint64_t marked = first + 8 * b + bit;
                if (marked >= count) {
                    error = "the usage map marks " + pageText(marked) + ", outside the file";
                    return false;
                }
                ++pages;
            }
        }
        return true;
    };
    if (length == 0) {
        error = "the usage map is empty";
        return false;
    }
    switch (map[0]) {
    case 0: // inline: start page, then a bitmap
        if (length < 5) {
            error = "the usage map is too short";
            return false;
        }
        return markedPagesInside(map + 5, length - 5, get32(map + 1));
    case 1: { // bitmap pages, each covering a fixed span of pages from 0
        const std::size_t pointers = (length - 1) / 4;
        for (std::size_t k = 0; k < pointers; ++k) {
            const std::uint32_t bitmap = get32(map + 1 + 4 * k);
            if (bitmap == 0) {
                continue;
            }
            if (bitmap >= count) {
                error = "the usage map points to " + pageText(bitmap) + ", outside the file";
                return false;
            }
            const unsigned char* q = page(bitmap);
            if (q[0] != 0x05) {
                error = "the usage map points to " + pageText(bitmap) + ", not a bitmap page";
                return false;
            }
            if (!markedPagesInside(q + 4, kJetPageSize - 4, std::uint64_t{kBitmapPageSpan} * k)) {
                return false;
            }
        }
        return true;
    }
    default:
        error = "unknown usage map type " + std::to_string(map[0]);
        return false;
    }
}

std::optional<CheckedTable> JetFileCheck::checkTable(std::uint32_t tdefPage,
                                                     std::string& error) const {
    const std::uint32_t count = pageCount();
    if (tdefPage == 0 || tdefPage >= count) {
        error = "the definition is on " + pageText(tdefPage) + ", outside the file";
        return std::nullopt;
    }
    // The definition as libmdb reads it: the first page whole, then each continuation page
    // after its 8-byte header, following the chain at offset 4.
    std::vector<std::uint32_t> chain{tdefPage};
    for (std::uint32_t next = get32(page(tdefPage) + 4); next != 0; next = get32(page(next) + 4)) {
        if (next >= count) {
            error = "the definition continues on " + pageText(next) + ", outside the file";
            return std::nullopt;
        }
        if (chain.size() >= kMaxTdefPages ||
            std::find(chain.begin(), chain.end(), next) != chain.end()) {
            error = "the definition's pages do not end";
            return std::nullopt;
        }
        chain.push_back(next);
    }
    for (std::uint32_t number : chain) {
        if (page(number)[0] != 0x02) {
            error = pageText(number) + " is not a table definition page";
            return std::nullopt;
        }
    }
    std::string stream(reinterpret_cast<const char*>(page(tdefPage)), kJetPageSize);
    for (std::size_t i = 1; i < chain.size(); ++i) {
        stream.append(reinterpret_cast<const char*>(page(chain[i])) + kTdefContinuation,
                      kJetPageSize - kTdefContinuation);
    }
    const auto* t = reinterpret_cast<const unsigned char*>(stream.data());

    CheckedTable table;
    table.rowCount = get32(t + 16);
    const unsigned varColumns = get16(t + 43);
    table.columnCount = get16(t + 45);
    const std::uint32_t realIndexes = get32(t + 51);
    if (table.columnCount == 0 || table.columnCount > kMaxColumns ||
        varColumns > table.columnCount) {
        error = "a column count of " + std::to_string(table.columnCount) + " (" +
                std::to_string(varColumns) + " variable) does not fit";
        return std::nullopt;
    }
    // Column blocks, then one length-prefixed name per column, all inside the definition.
    std::uint64_t at = kTdefHeader + std::uint64_t{realIndexes} * kRealIndexEntry +
                       std::uint64_t{table.columnCount} * kColumnBlock;
    for (unsigned c = 0; c < table.columnCount; ++c) {
        if (at + 2 > stream.size()) {
            error = "the column definitions run past the definition's pages";
            return std::nullopt;
        }
        const std::size_t nameBytes = get16(t + at);
        if (nameBytes == 0 || nameBytes > kMaxNameBytes || at + 2 + nameBytes > stream.size()) {
            error = "column name " + std::to_string(c + 1) + " of " + std::to_string(nameBytes) +
                    " bytes does not fit";
            return std::nullopt;
        }
        at += 2 + nameBytes;
    }
    if (table.rowCount > maxRowsIn(count, table.columnCount)) {
        error =
            "a row count of " + std::to_string(table.rowCount) + " is more than the file can hold";
        return std::nullopt;
    }

    std::size_t start = 0;
    std::size_t length = 0;
    if (!findRow(get32(t + 55), "the usage map", start, length, error)) {
        return std::nullopt;
    }
    const auto* map = reinterpret_cast<const unsigned char*>(bytes_.data()) + start;
    if (!checkUsageMap(map, length, table.mappedPages, error)) {
        return std::nullopt;
    }
    // libmdb copies the free-space map too, though reading never looks into it.
    if (!findRow(get32(t + 59), "the free-space map", start, length, error)) {
        return std::nullopt;
    }
    table.maxRows = maxRowsIn(table.mappedPages, table.columnCount);
    return table;
}

} // namespace zorvast::channels::jet
