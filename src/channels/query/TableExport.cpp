#include "channels/query/TableExport.h"

#include "channels/query/ChannelQuery.h"
#include "common/Numbers.h"
#include "common/Text.h"

#include <algorithm>

namespace zorvast::channels {

namespace {

constexpr std::string_view kRuleCharacter = "━";
constexpr int kRuleLength = 26;
constexpr std::string_view kFullWidthBlank = "　";

// The part before the first `marker`; all of the text when there is none.
std::string_view beforeFirst(std::string_view text, std::string_view marker) {
    return text.substr(0, text.find(marker));
}

// The part after the first `marker`; all of the text when there is none.
std::string_view afterFirst(std::string_view text, std::string_view marker) {
    const std::size_t at = text.find(marker);
    return at == std::string_view::npos ? text : text.substr(at + marker.size());
}

std::string_view withoutLeadingBlanks(std::string_view text) {
    while (true) {
        if (text.starts_with(' ')) {
            text.remove_prefix(1);
        } else if (text.starts_with(kFullWidthBlank)) {
            text.remove_prefix(kFullWidthBlank.size());
        } else {
            return text;
        }
    }
}

bool isStarRow(std::string_view trimmed) {
    return beginsWithCharacter(trimmed, "☆") || beginsWithCharacter(trimmed, "★");
}

// Short C-band values get a leading zero so the columns line up with five-digit ones.
std::string zeroPadded(const std::string& value) {
    return common::parseLeadingNumber(value) < 10000 ? "0" + value : value;
}

// "E115.5（中星6B）卫星" from "★ E115.5【中星6B】：".
std::string satelliteTextOfHeading(std::string_view heading) {
    const std::string position = headingCodeOf(heading).value_or("");
    const std::string_view name = beforeFirst(afterFirst(heading, "【"), "】");
    return position + "（" + std::string(name) + "）卫星";
}

bool hasHeadings(const GridContent& grid) {
    for (int r = 1; r <= grid.rowCount(); ++r) {
        if (rowKindOf(grid.text(r, 1)) == RowKind::SatelliteHeading) {
            return true;
        }
    }
    return false;
}

bool asciiFoldedEqual(char a, char b) {
    const auto fold = [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    };
    return fold(a) == fold(b);
}

} // namespace

std::string ruleLine(std::string_view corner) {
    std::string line(corner);
    for (int i = 0; i < kRuleLength; ++i) {
        line += kRuleCharacter;
    }
    return line;
}

std::string tableHeaderBlock() {
    return ruleLine("┏") + "\r\n┃频_率┃_极_化_┃码_率┃频道名称[收看权限]...\r\n" + ruleLine("┣");
}

std::string generatedNote() {
    return "※以上资料是Zorvast(" + std::string(kMakerDomain) + ")软件自动生成。";
}

bool hasChannelRows(const GridContent& grid) {
    if (grid.rowCount() < 2) {
        return false;
    }
    const std::string& row2 = grid.text(2, 1);
    return !beginsWithCharacter(row2, "提") && !beginsWithCharacter(grid.text(3, 1), "★") &&
           !beginsWithCharacter(row2, "（");
}

std::string buildTableText(const GridContent& grid) {
    if (!hasChannelRows(grid)) {
        return {};
    }
    const std::string separator = ruleLine("┣");
    std::string out;
    std::string previous;
    for (int r = 1; r <= grid.rowCount(); ++r) {
        const std::string& c1 = grid.text(r, 1);
        switch (rowKindOf(c1)) {
        case RowKind::Header:
            out = tableHeaderBlock();
            break;
        case RowKind::SatelliteHeading: {
            // A rule closes the previous satellite's lines unless one ends the text already.
            const std::string closing = std::string(kRuleCharacter) + std::string(kRuleCharacter);
            if (!out.ends_with(closing)) {
                out += "\r\n" + separator;
            }
            out += "\r\n┃所在卫星：" + c1 + "\r\n" + separator;
            // A new satellite starts a new transponder line whatever its frequency.
            previous.clear();
            break;
        }
        case RowKind::NoResult:
        case RowKind::OverviewHint:
        case RowKind::OverviewSatellite:
            break;
        case RowKind::Channel: {
            // The row a filler leaves empty at the end is no channel.
            if (c1.empty()) {
                break;
            }
            const std::string f = zeroPadded(c1);
            const std::string s = zeroPadded(grid.text(r, 3));
            const std::string channel = grid.text(r, 4) + "[" + grid.text(r, 5) + "]";
            if (f == previous) {
                out += "，" + channel;
            } else {
                out += "\r\n┃" + f + "┃" + grid.text(r, 2) + "┃" + s + "┃" + channel;
            }
            previous = f;
            break;
        }
        }
    }
    return out;
}

std::string finalTableText(const GridContent& grid, std::string_view statusText) {
    const std::string table = buildTableText(grid);
    if (table.empty()) {
        return {};
    }
    return table + "\r\n" + ruleLine("┗") + "\r\n" + std::string(statusText) + "\r\n\r\n  " +
           generatedNote();
}

std::string buildRowText(const GridContent& grid, int row, int column) {
    std::string out = "频率：" + grid.text(row, 1) + " (Mhz/兆赫)，极化：" + grid.text(row, 2) +
                      "，符号率：" + grid.text(row, 3) + " (Kbps/千比特)\r\n\r\n频道：" +
                      grid.text(row, 4) + "[" + grid.text(row, 5) + "]";
    if (column == 1) {
        const std::string& frequency = grid.text(row, 1);
        for (int r = row + 1; r <= grid.rowCount() && grid.text(r, 1) == frequency; ++r) {
            out += "，" + grid.text(r, 4) + "[" + grid.text(r, 5) + "]";
        }
    }
    return out;
}

std::string satelliteTextOfSummary(std::string_view statusText) {
    const std::string_view position = beforeFirst(afterFirst(statusText, "是"), "卫");
    const std::string_view name = afterFirst(statusText, "：");
    return std::string(position) + "（" + std::string(name) + "）卫星";
}

std::string satelliteTextForRow(const GridContent& grid, int row, std::string_view statusText) {
    // A search's status line names no satellite; its headings do.
    if (hasHeadings(grid)) {
        for (int r = std::min(row, grid.rowCount()); r >= 1; --r) {
            const std::string& c1 = grid.text(r, 1);
            if (rowKindOf(c1) == RowKind::SatelliteHeading) {
                return satelliteTextOfHeading(c1);
            }
        }
    }
    return satelliteTextOfSummary(statusText);
}

std::string rowCopyText(const GridContent& grid, int row, int column, std::string_view statusText) {
    return buildRowText(grid, row, column) + "\r\n\r\n所在卫星：" +
           satelliteTextForRow(grid, row, statusText) + "\r\n\r\n" + generatedNote();
}

std::optional<std::string> rowDetailsText(const GridContent& grid, int row, int column) {
    const std::string& c1 = grid.text(row, 1);
    const std::string_view trimmed = withoutLeadingBlanks(c1);
    if (isStarRow(trimmed) || beginsWithCharacter(trimmed, "提")) {
        return std::nullopt;
    }
    std::string out = "频率：" + c1 + "(Mhz/兆赫),极化：" + grid.text(row, 2) + ",符号率：" +
                      grid.text(row, 3) + "(Kbps/千比特)\r\n\r\n频道：" + grid.text(row, 4) + "[" +
                      grid.text(row, 5) + "节目]";
    if (column == 1) {
        out += "  一组";
    }
    return out;
}

std::optional<std::string> headingCodeOf(std::string_view column1) {
    const std::string_view trimmed = withoutLeadingBlanks(column1);
    if (!isStarRow(trimmed)) {
        return std::nullopt;
    }
    // The star is two GBK bytes, then one blank.
    const common::Gbk head = common::toGbk(beforeFirst(trimmed, "【"));
    constexpr std::size_t kStarAndBlank = 3;
    if (head.size() <= kStarAndBlank) {
        return std::string();
    }
    return common::fromGbk(common::Gbk{head.bytes.substr(kStarAndBlank)});
}

std::optional<std::size_t> satelliteItemIndexFor(const std::vector<std::string>& items,
                                                 std::string_view code) {
    for (std::size_t i = 0; i < items.size(); ++i) {
        const std::string& item = items[i];
        if (item.size() < code.size()) {
            continue;
        }
        bool same = true;
        for (std::size_t k = 0; k < code.size() && same; ++k) {
            same = asciiFoldedEqual(item[k], code[k]);
        }
        if (same) {
            return i;
        }
    }
    return std::nullopt;
}

} // namespace zorvast::channels
