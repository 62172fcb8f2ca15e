#include "channels/query/ChannelQuery.h"

#include "channels/Messages.h"
#include "common/Numbers.h"
#include "common/Text.h"

#include <algorithm>
#include <array>
#include <initializer_list>
#include <utility>

namespace zorvast::channels {

namespace {

// MHz: C band below, Ku band above.
constexpr double kBandBoundary = 10000;

constexpr Rgb kFreeBackground{150, 255, 150};
constexpr Rgb kEncryptedBackground{255, 50, 50};
constexpr Rgb kTintBackground{245, 245, 255};
constexpr Rgb kHeadingBackground{0, 0, 150};
constexpr Rgb kHeadingForeground{255, 255, 0};
constexpr Rgb kChannelSearchNoResultBackground{200, 255, 200};
constexpr Rgb kBlack{0, 0, 0};

struct ColumnLayout {
    int width;
    CellAlign align;
    int textHeight;
};

constexpr std::array<ColumnLayout, kGridColumns> kColumnLayout = {{
    {120, CellAlign::Right, 38},
    {140, CellAlign::Right, 32},
    {130, CellAlign::Right, 38},
    {420, CellAlign::Centre, 35},
    {100, CellAlign::Centre, 35},
}};
constexpr std::array<std::string_view, kGridColumns> kHeaderTexts = {"频率", "极化", "符号率",
                                                                     "频 道 名", "权限"};
constexpr int kHeaderRowHeight = 48;
constexpr int kHeaderTextHeight = 33;
constexpr int kDataRowHeight = 50;
constexpr int kHeadingTextHeight = 36;

// The text without its first (UTF-8) character.
std::string_view withoutFirstCharacter(std::string_view text) {
    if (text.empty()) {
        return text;
    }
    std::size_t i = 1;
    while (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) {
        ++i;
    }
    return text.substr(i);
}

// The pattern with each "{name}" listed in `values` replaced by its value, in one pass: what a
// value holds is never read as part of the pattern.
using Fill = std::pair<std::string_view, std::string_view>;
std::string filledPattern(std::string_view pattern, std::initializer_list<Fill> values) {
    std::string out;
    std::size_t i = 0;
    while (i < pattern.size()) {
        const std::size_t open = pattern.find('{', i);
        if (open == std::string_view::npos) {
            out.append(pattern.substr(i));
            break;
        }
        out.append(pattern.substr(i, open - i));
        const std::size_t close = pattern.find('}', open);
        const auto value = std::find_if(values.begin(), values.end(), [&](const Fill& fill) {
            return close != std::string_view::npos &&
                   fill.first == pattern.substr(open + 1, close - open - 1);
        });
        if (value == values.end()) {
            out += '{';
            i = open + 1;
            continue;
        }
        out.append(value->second);
        i = close + 1;
    }
    return out;
}

} // namespace

bool beginsWithCharacter(std::string_view text, std::string_view character) {
    // Only the first character matters, so only a short head is converted.
    const std::string_view head = text.substr(0, 4);
    return common::gbkStartsWithCharacter(common::toGbk(head), common::toGbk(character));
}

jet::FilterExpr buildCombinedFilter(const CombinedSelection& selection) {
    using jet::CompareOp;
    using jet::FilterLiteral;
    const auto text = [](std::string_view field, CompareOp op, std::string_view value) {
        return jet::compare(std::string(field), op, FilterLiteral::ofText(std::string(value)));
    };
    const auto number = [](std::string_view field, CompareOp op, double value) {
        return jet::compare(std::string(field), op, FilterLiteral::ofNumber(value));
    };
    std::vector<jet::FilterExpr> clauses = {
        text("s_loca", CompareOp::Equal, selection.satellite.code)};
    switch (selection.band) {
    case Band::All:
        break;
    case Band::C:
        clauses.push_back(number("s_freq", CompareOp::Less, kBandBoundary));
        break;
    case Band::Ku:
        clauses.push_back(number("s_freq", CompareOp::Greater, kBandBoundary));
        break;
    }
    switch (selection.polarisation) {
    case Polarisation::All:
        break;
    case Polarisation::Horizontal:
        clauses.push_back(text("s_pola", CompareOp::Equal, "H"));
        break;
    case Polarisation::Vertical:
        clauses.push_back(text("s_pola", CompareOp::Equal, "V"));
        break;
    }
    // Compared as a number, as Jet compares a Yes/No field with 1 or 0.
    switch (selection.access) {
    case Access::All:
        break;
    case Access::Free:
        clauses.push_back(number("s_free", CompareOp::Equal, 1));
        break;
    case Access::Encrypted:
        clauses.push_back(number("s_free", CompareOp::Equal, 0));
        break;
    }
    if (selection.kind == ProgrammeKind::Television) {
        clauses.push_back(text("s_sys", CompareOp::NotEqual, labelOf(ProgrammeKind::Radio)));
        clauses.push_back(text("s_sys", CompareOp::NotEqual, labelOf(ProgrammeKind::Data)));
    } else if (selection.kind != ProgrammeKind::Everything) {
        clauses.push_back(text("s_sys", CompareOp::Equal, labelOf(selection.kind)));
    }
    return jet::allOf(clauses);
}

jet::FilterExpr channelFilterOf(std::string_view typedText) {
    std::string pattern = "*";
    pattern.append(typedText);
    pattern += '*';
    return jet::compare("s_ch", jet::CompareOp::Like, jet::FilterLiteral::ofText(pattern));
}

jet::FilterExpr providerFilterOf(std::string_view provider) {
    return jet::compare("s_upda", jet::CompareOp::Equal,
                        jet::FilterLiteral::ofText(std::string(provider)));
}

std::string combinedSummaryText(const CombinedSelection& selection, int n) {
    return filledPattern(messages::kCombinedSummaryPattern,
                         {{"n", std::to_string(n)},
                          {"degrees", withoutFirstCharacter(selection.satellite.code)},
                          {"band", labelOf(selection.band)},
                          {"polarisation", labelOf(selection.polarisation)},
                          {"access", labelOf(selection.access)},
                          {"kind", labelOf(selection.kind)},
                          {"name", selection.satellite.name}});
}

std::string channelSearchSummaryText(std::string_view typedText, int n) {
    return filledPattern(messages::kChannelSearchSummaryPattern,
                         {{"n", std::to_string(n)}, {"text", typedText}});
}

std::string providerSearchSummaryText(std::string_view provider, int n) {
    return filledPattern(messages::kProviderSearchSummaryPattern,
                         {{"n", std::to_string(n)}, {"provider", provider}});
}

SearchTextError checkSearchText(std::string_view typedText) {
    const std::size_t length = common::gbkByteLength(typedText);
    if (length == 0) {
        return SearchTextError::Empty;
    }
    if (length <= 2) {
        return SearchTextError::TooShort;
    }
    if (length > 50) {
        return SearchTextError::TooLong;
    }
    return SearchTextError::None;
}

std::string_view searchTextErrorMessage(SearchTextError error) {
    switch (error) {
    case SearchTextError::None:
        return {};
    case SearchTextError::Empty:
        return messages::kSearchTextEmptyText;
    case SearchTextError::TooShort:
        return messages::kSearchTextTooShortText;
    case SearchTextError::TooLong:
        return messages::kSearchTextTooLongText;
    }
    return {};
}

bool isFillerRecord(const ChannelRecord& record) {
    return record.ch.empty() && record.freq == 0;
}

std::string polarisationLabel(std::string_view pola) {
    if (pola == "V" || pola == "v") {
        return std::string(labelOf(Polarisation::Vertical));
    }
    if (pola == "H" || pola == "h") {
        return std::string(labelOf(Polarisation::Horizontal));
    }
    if (pola == "L" || pola == "l") {
        return "左旋(L)";
    }
    if (pola == "R" || pola == "r") {
        return "右旋(R)";
    }
    return "未知";
}

std::string channelNameText(const ChannelRecord& record) {
    if (record.sys == labelOf(ProgrammeKind::HighDefinitionTelevision)) {
        return record.ch + "(高清)";
    }
    if (record.sys == labelOf(ProgrammeKind::Data)) {
        return record.ch + "(数据)";
    }
    return record.ch;
}

std::string accessText(bool free) {
    return std::string(labelOf(free ? Access::Free : Access::Encrypted));
}

RowKind rowKindOf(std::string_view column1) {
    if (beginsWithCharacter(column1, "频")) {
        return RowKind::Header;
    }
    if (beginsWithCharacter(column1, "★")) {
        return RowKind::SatelliteHeading;
    }
    if (beginsWithCharacter(column1, "（")) {
        return RowKind::NoResult;
    }
    if (beginsWithCharacter(column1, "提")) {
        return RowKind::OverviewHint;
    }
    // Overview satellites are indented with full-width spaces before their white star.
    if (beginsWithCharacter(column1, "　") || beginsWithCharacter(column1, "☆")) {
        return RowKind::OverviewSatellite;
    }
    return RowKind::Channel;
}

void applyResultGridLayout(GridContent& grid) {
    const int rows = grid.rowCount();
    for (int c = 1; c <= kGridColumns; ++c) {
        const ColumnLayout& layout = kColumnLayout[static_cast<std::size_t>(c - 1)];
        grid.setColumnWidth(c, layout.width);
        const CellBlock data{2, c, rows - 1, 1};
        grid.setAlign(data, layout.align);
        grid.setTextHeight(data, layout.textHeight);
    }
    const CellBlock header{1, 1, 1, kGridColumns};
    grid.setRowHeight(1, kHeaderRowHeight);
    grid.setTextHeight(header, kHeaderTextHeight);
    grid.setBold(header, true);
    grid.setAlign(header, CellAlign::Centre);
    for (int r = 2; r <= rows; ++r) {
        grid.setRowHeight(r, kDataRowHeight);
    }
}

void writeHeader(GridContent& grid) {
    for (int c = 1; c <= kGridColumns; ++c) {
        grid.setText(1, c, std::string(kHeaderTexts[static_cast<std::size_t>(c - 1)]));
    }
}

void writeChannelRow(GridContent& grid, int row, const ChannelRecord& record) {
    grid.setText(row, 1, common::formatInteger(record.freq));
    grid.setText(row, 2, polarisationLabel(record.pola));
    grid.setText(row, 3, common::formatInteger(record.sr));
    grid.setText(row, 4, channelNameText(record));
    grid.setText(row, 5, accessText(record.free));
    grid.setBackground({row, 5, 1, 1}, record.free ? kFreeBackground : kEncryptedBackground);
}

void writeSatelliteHeading(GridContent& grid, int row, std::string_view loca,
                           std::string_view name) {
    const CellBlock whole{row, 1, 1, kGridColumns};
    grid.merge(whole);
    grid.setText(row, 1, "★ " + std::string(loca) + "【" + std::string(name) + "】：");
    grid.setAlign(whole, CellAlign::Left);
    grid.setBackground(whole, kHeadingBackground);
    grid.setForeground(whole, kHeadingForeground);
    grid.setBold(whole, true);
    grid.setTextHeight({row, 1, 1, 3}, kHeadingTextHeight);
}

void writeNoResultCell(GridContent& grid, std::string_view text, Rgb background,
                       std::optional<Rgb> foreground) {
    const CellBlock block{2, 1, 2, kGridColumns};
    grid.merge(block);
    grid.setAlign(block, CellAlign::Centre);
    grid.setText(2, 1, std::string(text));
    grid.setBackground({2, 1, 1, 1}, background);
    if (foreground) {
        grid.setForeground({2, 1, 1, 1}, *foreground);
    }
}

void groupTransponders(GridContent& grid, bool tint) {
    const int last = grid.rowCount();
    int r = 2;
    int run = 0;
    int group = 1;
    while (r <= last) {
        if (grid.text(r, 1) == grid.text(r + 1, 1)) {
            ++run;
            ++r;
            continue;
        }
        const int first = r - run;
        if (run > 0) {
            for (int c = 1; c <= 3; ++c) {
                grid.merge({first, c, run + 1, 1});
            }
        }
        if (tint && group % 2 == 0) {
            grid.setBackground({first, 1, run + 1, 4}, kTintBackground);
        }
        ++group;
        run = 0;
        ++r;
    }
}

namespace {

// Grid size, columns, layout and header: what every fill starts with.
GridContent startGrid(int rows) {
    GridContent grid(rows, kGridColumns);
    applyResultGridLayout(grid);
    writeHeader(grid);
    return grid;
}

} // namespace

QueryGrid combinedQueryGrid(const std::vector<ChannelRecord>& rows,
                            const CombinedSelection& selection) {
    QueryGrid result;
    const int n = static_cast<int>(rows.size());
    result.recordCount = n;
    result.grid = startGrid(n == 0 ? 2 : n + 1);
    for (const ChannelRecord& record : rows) {
        if (isFillerRecord(record)) {
            continue;
        }
        ++result.shown;
        writeChannelRow(result.grid, result.shown + 1, record);
    }
    if (result.shown > 0) {
        result.statusText = combinedSummaryText(selection, n);
    } else {
        result.statusText = messages::kCombinedNoResultStatus;
        writeNoResultCell(result.grid, messages::kNoRecordCellText, kFreeBackground, std::nullopt);
    }
    result.grid.setCurrentCell(2, 4);
    if (n > 1) {
        groupTransponders(result.grid, true);
    }
    return result;
}

namespace {

// Both searches say the same when nothing was found; the grid's cell differs.
SearchTexts searchTexts(std::string summary, const char* noResultCell, Rgb background,
                        std::optional<Rgb> foreground) {
    return {.summary = std::move(summary),
            .noResultStatus = messages::kSearchNoResultStatus,
            .noResultCell = noResultCell,
            .noResultBackground = background,
            .noResultForeground = foreground};
}

} // namespace

SearchTexts channelSearchTexts(std::string_view typedText, int n) {
    return searchTexts(channelSearchSummaryText(typedText, n), messages::kNothingFoundCellText,
                       kChannelSearchNoResultBackground, kBlack);
}

SearchTexts providerSearchTexts(std::string_view provider, int n) {
    return searchTexts(providerSearchSummaryText(provider, n), messages::kNoRecordCellText,
                       kFreeBackground, std::nullopt);
}

QueryGrid searchGrid(const std::vector<ChannelRecord>& rows,
                     const std::function<SearchTexts(int n)>& texts) {
    QueryGrid result;
    const int n = static_cast<int>(rows.size());
    result.recordCount = n;
    int changes = 0;
    for (std::size_t i = 1; i < rows.size(); ++i) {
        if (rows[i].loca != rows[i - 1].loca) {
            ++changes;
        }
    }
    result.grid = startGrid(n == 0 ? 2 : n + changes + 2);
    if (n > 0) {
        writeSatelliteHeading(result.grid, 2, rows.front().loca, rows.front().name);
        std::string current = rows.front().loca;
        int row = 2;
        for (const ChannelRecord& record : rows) {
            if (record.loca != current) {
                writeSatelliteHeading(result.grid, row + 1, record.loca, record.name);
                ++row;
                current = record.loca;
            }
            if (isFillerRecord(record)) {
                continue;
            }
            writeChannelRow(result.grid, row + 1, record);
            ++row;
            ++result.shown;
        }
    }
    const SearchTexts t = texts ? texts(n) : SearchTexts{};
    if (result.shown > 0) {
        result.statusText = t.summary;
    } else {
        result.statusText = t.noResultStatus;
        writeNoResultCell(result.grid, t.noResultCell, t.noResultBackground, t.noResultForeground);
    }
    result.grid.setCurrentCell(3, 4);
    if (n > 1) {
        groupTransponders(result.grid, false);
    }
    return result;
}

} // namespace zorvast::channels
