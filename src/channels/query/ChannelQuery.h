// The parameter tab's queries: their filters on the channel table, the channel-row texts, the
// summaries and the input checks of the searches. Filters are values: what the user typed or
// picked is compared as it stands, never read as filter syntax.
#pragma once

#include "channels/grid/GridContent.h"
#include "channels/jet/JetFilter.h"
#include "channels/query/Selection.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zorvast::channels {

// True when the first GBK character of `text` is `character` (one character, UTF-8).
bool beginsWithCharacter(std::string_view text, std::string_view character);

// The satellite's rows, narrowed by each list not at "全部" / "全部显示". A frequency of
// exactly 10000 is in neither band; "所有电视" leaves out radio and data.
jet::FilterExpr buildCombinedFilter(const CombinedSelection& selection);
// Channel names containing the typed text; a "*" in it is a character like any other.
jet::FilterExpr channelFilterOf(std::string_view typedText);
// The provider's rows.
jet::FilterExpr providerFilterOf(std::string_view provider);

// The status line after a query or a search that showed channels; n is the filtered count.
std::string combinedSummaryText(const CombinedSelection& selection, int n);
std::string channelSearchSummaryText(std::string_view typedText, int n);
std::string providerSearchSummaryText(std::string_view provider, int n);

// The channel-name box, measured in GBK bytes: 3..50 are accepted.
enum class SearchTextError { None, Empty, TooShort, TooLong };
SearchTextError checkSearchText(std::string_view typedText);
std::string_view searchTextErrorMessage(SearchTextError error);

// One row of table `sat` as the grid shows it.
struct ChannelRecord {
    std::string loca; // s_loca
    std::string name; // s_name
    std::int64_t freq = 0;
    std::string pola;
    std::int64_t sr = 0;
    std::string ch;
    std::string sys;
    bool free = false;
    std::string upda; // provider
};

// An empty name with frequency 0: counted by the filter, never shown.
bool isFillerRecord(const ChannelRecord& record);

// "垂直(V)", "水平(H)", "左旋(L)", "右旋(R)" or "未知".
std::string polarisationLabel(std::string_view pola);
// The name with "(高清)" or "(数据)" for those kinds.
std::string channelNameText(const ChannelRecord& record);
// "免费" or "加密".
std::string accessText(bool free);

// The kinds of grid rows, told apart by the first character of column 1.
enum class RowKind { Header, Channel, NoResult, SatelliteHeading, OverviewHint, OverviewSatellite };
RowKind rowKindOf(std::string_view column1);

// Grid building blocks, rows counted from 1.
inline constexpr int kGridColumns = 5;
void applyResultGridLayout(GridContent& grid); // widths, alignments, heights, bold header
void writeHeader(GridContent& grid);
void writeChannelRow(GridContent& grid, int row, const ChannelRecord& record);
void writeSatelliteHeading(GridContent& grid, int row, std::string_view loca,
                           std::string_view name);
// Merges rows 2-3 (as far as they exist), centres and writes the cell text in row 2.
void writeNoResultCell(GridContent& grid, std::string_view text, Rgb background,
                       std::optional<Rgb> foreground);

// Merges columns 1 to 3 of consecutive rows with the same column-1 text; with tinting every
// second transponder gets the (245, 245, 255) background in columns 1 to 4.
void groupTransponders(GridContent& grid, bool tint);

// The grid a combined query fills from the filtered rows in cursor order.
struct QueryGrid {
    GridContent grid;
    int recordCount = 0; // filtered rows, fillers included
    int shown = 0;
    std::string statusText;
};
QueryGrid combinedQueryGrid(const std::vector<ChannelRecord>& rows,
                            const CombinedSelection& selection);

// What the two searches differ in.
struct SearchTexts {
    std::string summary; // when channels were shown
    std::string noResultStatus;
    std::string noResultCell;
    Rgb noResultBackground;
    std::optional<Rgb> noResultForeground; // unset keeps the heading's yellow
};
SearchTexts channelSearchTexts(std::string_view typedText, int n);
SearchTexts providerSearchTexts(std::string_view provider, int n);

// The grid a search fills: a heading per satellite, then its channels.
QueryGrid searchGrid(const std::vector<ChannelRecord>& rows,
                     const std::function<SearchTexts(int n)>& texts);

} // namespace zorvast::channels
