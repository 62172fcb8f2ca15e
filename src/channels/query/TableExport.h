// The result grid as text for the user: the whole table box-drawn, one channel row, and the
// detail text of the current row. Built from the grid's cell texts and the status text only.
#pragma once

#include "channels/grid/GridContent.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zorvast::channels {

inline constexpr std::string_view kMakerDomain = "www.zorvast.cn";

// A corner and 26 "━".
std::string ruleLine(std::string_view corner);
// "┏" rule, the column titles, "┣" rule.
std::string tableHeaderBlock();
// "※以上资料是Zorvast(" domain ")软件自动生成。"
std::string generatedNote();

// False for the overview, a no-result state, and a search whose first satellite shows none.
bool hasChannelRows(const GridContent& grid);
// The box-drawn lines; empty without channel rows.
std::string buildTableText(const GridContent& grid);
// What is saved or copied: the lines, the bottom rule, the status text and the note; empty
// without channel rows.
std::string finalTableText(const GridContent& grid, std::string_view statusText);

// One channel (or, from column 1, the transponder's channels below it).
std::string buildRowText(const GridContent& grid, int row, int column);
// The satellite named by a combined query's summary: "东经115.5度（中星6B）卫星".
std::string satelliteTextOfSummary(std::string_view statusText);
// The satellite the copied row belongs to: the heading above it after a search, else the
// summary's.
std::string satelliteTextForRow(const GridContent& grid, int row, std::string_view statusText);
std::string rowCopyText(const GridContent& grid, int row, int column, std::string_view statusText);

// The current row's details for "详细信息："; nothing for headings and the hint.
std::optional<std::string> rowDetailsText(const GridContent& grid, int row, int column);
// The position code a heading or overview row names (to pick it in the satellite list).
std::optional<std::string> headingCodeOf(std::string_view column1);
// The first satellite-list item that begins with `code`, ASCII letters compared without regard
// to case; a code that is the start of a longer one picks whichever comes first.
std::optional<std::size_t> satelliteItemIndexFor(const std::vector<std::string>& items,
                                                 std::string_view code);

} // namespace zorvast::channels
