#include "JetPageLayout.h"
#include "JetFormat.h"
#include "channels/jet/JetHeaderMask.h"

#include <algorithm>
#include <cstring>

namespace jetwriter::detail {

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

} // namespace jetwriter::detail
