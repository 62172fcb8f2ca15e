// Pages of a Jet 4 file: rows packed onto data pages, table definitions, the header page,
// where each table's pages go, and the usage maps that tell readers which pages are its own.
#pragma once

#include "JetRowEncoder.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace jetwriter::detail {

// Rows to pages: greedy, in order, so both readers return the rows as given.
// Returns the index of each page's first row.
std::vector<std::size_t> packRows(const std::vector<std::string>& rows);

// The data page holding rows[first, last) of the table defined at `tdefPage`.
std::string dataPage(std::uint32_t tdefPage, const std::vector<std::string>& rows,
                     std::size_t first, std::size_t last);

// The definition as one byte stream (header included); split over pages later.
std::string tdefStream(const Shape& shape, bool system, std::uint32_t rowCount,
                       std::uint32_t ownedMap, std::uint32_t freeMap);
std::size_t tdefPageCount(std::size_t streamBytes);
// The stream over pages from `firstPage` on, each pointing to the next.
std::vector<std::string> tdefPages(const std::string& stream, std::uint32_t firstPage);

// Page 0: the Jet 4 header, its masked area decoding to code page 1252 and no encryption.
std::string headerPage();

// A table on its way into the file: its rows encoded and packed, then its pages placed.
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

// A usage-map row of the inline kind: pages from `start` on, with `setCount` of them from
// `setFrom` marked.
std::string inlineMap(std::uint32_t start, std::uint32_t setFrom, std::uint32_t setCount);
// Gives the table its definition, data and bitmap pages from page `next` on.
void placeData(PreparedTable& t, std::uint32_t& next);
// The map of the pages the table owns: inline, or pointing to its bitmap pages.
std::string ownedMapRow(const PreparedTable& t);
std::string bitmapPage(const PreparedTable& t, std::uint32_t window);

} // namespace jetwriter::detail
