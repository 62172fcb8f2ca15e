// The latest-channel and SNG lists without a window: which source a load takes, how the text
// is cut into entries, what every cell ends up showing and in which order it was written, the
// deferred reload and the refresh links' countdown.
#include "info/lists/NewsLists.h"

#include "common/Clock.h"
#include "common/Text.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace zorvast::info {
namespace {

using namespace std::chrono_literals;
using common::Gbk;
using common::Rgb;
using zorvast::testing::TempFolder;

const std::string kRoot = "http://lists.test/";
const std::string kEndMark = "￣";

std::string gbk(const std::string& utf8) {
    return common::toGbk(utf8).bytes;
}

std::string hex(const std::string& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char byte : bytes) {
        if (!out.empty()) {
            out += ' ';
        }
        out += digits[byte >> 4];
        out += digits[byte & 15];
    }
    return "[" + out + "]";
}

std::string hexList(const std::vector<Gbk>& pieces) {
    std::string out = "{";
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        out += (i ? ", " : "") + hex(pieces[i].bytes);
    }
    return out + "}";
}

// Lines joined by CR LF, no line end after the last.
std::string joinLines(const std::vector<std::string>& lines) {
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        text += (i ? "\r\n" : "") + lines[i];
    }
    return text;
}

std::vector<std::string> numbered(const std::string& stem, int count) {
    std::vector<std::string> lines;
    for (int i = 1; i <= count; ++i) {
        lines.push_back(stem + std::to_string(i));
    }
    return lines;
}

// Everything a load did, in order, and what the cells show at the end.
class RecordingSink final : public ListSink {
public:
    struct Call {
        bool shade = false;
        int row = 0;
        int column = 0;
        std::string text;
        Rgb colour;
    };

    void setCell(int row, int column, const std::string& text) override {
        calls.push_back({false, row, column, text, {}});
        cells[{row, column}] = text;
    }
    void shadeRow(int row, Rgb background) override {
        calls.push_back({true, row, 0, {}, background});
        shades[row] = background;
    }

    std::optional<std::string> cell(int row, int column) const {
        const auto it = cells.find({row, column});
        if (it == cells.end()) {
            return std::nullopt;
        }
        return it->second;
    }

    std::vector<Call> calls;
    std::map<std::pair<int, int>, std::string> cells;
    std::map<int, Rgb> shades;
};

std::string show(const std::optional<std::string>& text) {
    return text ? "\"" + *text + "\"" : "(never written)";
}

// A server that answers one page and counts the requests.
struct FakeServer {
    std::optional<std::string> page; // GBK; nullopt answers "" as a failed fetch does
    std::vector<std::string> requested;

    std::function<std::string(const std::string&)> fetch() {
        return [this](const std::string& url) {
            requested.push_back(url);
            return page.value_or(std::string());
        };
    }
};

// ---- the end mark

TEST(EndMark, APageEndsWithTheFullWidthMacron) {
    // The mark as a page in GBK writes it; other full-width marks and the plain ones do not end
    // a page.
    EXPECT_TRUE(isCompleteServerPage(Gbk{gbk("频道\r\n" + kEndMark)}));
    for (const std::string other : {"＿", "～", "－", "_", "~", "-", "ˉ"}) {
        EXPECT_FALSE(isCompleteServerPage(Gbk{gbk("频道\r\n" + other)})) << other;
    }
}

TEST(IsCompleteServerPage, LastCharacterMustBeTheEndMark) {
    struct Case {
        std::string bytes;
        bool complete;
    };
    const std::vector<Case> cases = {
        {"", false},
        {"\xA3", false},
        {"\xFE", false},
        {"\xA3\xFE", true},
        {"a\r\n\xA3\xFE", true},
        {"a\xA3\xFE", true},
        {"\xA3\xFE\xA3\xFE", true},
        {gbk("频道\r\n￣"), true},
        {gbk("频道\r\n￣\r\n"), false}, // the mark followed by a line end
        {gbk("频道"), false},
        {"\xA3\xFE ", false},
        // A3 is the second byte of B0 A3 here; the lone FE is no mark.
        {"\xB0\xA3\xFE", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(isCompleteServerPage(Gbk{c.bytes}), c.complete) << "page " << hex(c.bytes);
    }
}

// ---- splitting

TEST(SplitListText, CutsAtCrLfOnCharacterBoundaries) {
    struct Case {
        std::string text;
        std::vector<std::string> entries;
    };
    const std::string jia = gbk("甲");
    const std::string yi = gbk("乙");
    const std::vector<Case> cases = {
        {"", {}},
        {"a", {"a"}},
        {"a\r\n", {"a"}},
        {"a\r\nb", {"a", "b"}},
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\r\n\r\nb", {"a", "", "b"}},
        {"a\r\n\r\n", {"a", ""}},
        {"\r\n", {""}},
        {"\r\n\r\n", {"", ""}},
        {"\r\na", {"", "a"}},
        {"a\rb\nc", {"a\rb\nc"}}, // a lone CR or LF is no line end
        {jia + "\r\n" + yi, {jia, yi}},
        {jia + yi + "\r\n" + jia + "\r\n", {jia + yi, jia}},
        // A lead byte takes the CR after it as its second byte: the CR LF that follows in the
        // bytes is no line end, so there is one entry.
        {"\xB0\r\nb", {"\xB0\r\nb"}},
        // ... and the next CR LF, on a boundary again, does end the line.
        {"\xB0\r\n\r\nb", {"\xB0\r\n", "b"}},
        {jia + "\xB0\r\n" + yi + "\r\n" + jia, {jia + "\xB0\r\n" + yi, jia}},
        // A second byte in the lead range does not start a character of its own.
        {"\xB0\xA1\r\n\xB0\xB0\r\n", {"\xB0\xA1", "\xB0\xB0"}},
        // A lead byte at the very end stands alone.
        {"a\r\n\xB0", {"a", "\xB0"}},
        {gbk("a\r\n￣"), {"a", gbk("￣")}},
    };
    for (const Case& c : cases) {
        std::vector<Gbk> expected;
        for (const std::string& e : c.entries) {
            expected.push_back(Gbk{e});
        }
        const std::vector<Gbk> got = splitListText(Gbk{c.text});
        EXPECT_EQ(got, expected) << "text " << hex(c.text) << "\n got      " << hexList(got)
                                 << "\n expected " << hexList(expected);
    }
}

// ---- loading

struct LoadCase {
    const char* name;
    ListKind kind;
    bool serverReached;
    std::optional<std::string> serverPage; // UTF-8, stored as GBK; nullopt: the fetch fails
    std::optional<std::string> cacheFile;  // UTF-8, stored as GBK; nullopt: no file
    std::string header;
    std::vector<std::string> entries; // the text column of every entry row at the end
};

std::vector<std::string> withFill(std::vector<std::string> entries, std::size_t count,
                                  const std::string& filler) {
    while (entries.size() < count) {
        entries.push_back(filler);
    }
    return entries;
}

const std::string kPlainLatest = "最新频道资讯：";
const std::string kServerLatest = "§最新频道资讯：";
const std::string kPlainSng = "最新临传(SNG)讯号：（随时出现或消失）";
const std::string kServerSng = "§最新临传(SNG)讯号：（随时出现或消失）";
const std::string kLatestFill = " 无信息...";
const std::string kSngFill = "无信息...";

std::vector<LoadCase> loadCases() {
    const auto ten = numbered("服务器频道", 10);
    const auto cached = numbered("缓存频道", 10);
    const auto twelve = numbered("服务器频道", 12);
    const auto sngServer = numbered("服务器临传", 7);
    const auto sngCached = numbered("缓存临传", 7);
    return {
        {"ten server lines with the end mark", ListKind::LatestChannels, true,
         joinLines(ten) + "\r\n" + kEndMark, joinLines(cached), kServerLatest, ten},
        {"ten server lines without the end mark", ListKind::LatestChannels, true,
         joinLines(ten) + "\r\n", joinLines(cached), kPlainLatest, cached},
        {"three server lines, then the end mark", ListKind::LatestChannels, true,
         "甲\r\n乙\r\n丙\r\n" + kEndMark, joinLines(cached), kServerLatest,
         withFill({"甲", "乙", "丙", kEndMark}, 10, kLatestFill)},
        {"the end mark alone", ListKind::LatestChannels, true, kEndMark, std::nullopt,
         kServerLatest, withFill({kEndMark}, 10, kLatestFill)},
        {"twelve server lines", ListKind::LatestChannels, true,
         joinLines(twelve) + "\r\n" + kEndMark, std::nullopt, kServerLatest,
         std::vector<std::string>(twelve.begin(), twelve.begin() + 10)},
        {"server unreachable", ListKind::LatestChannels, true, std::nullopt, joinLines(cached),
         kPlainLatest, cached},
        {"no server reached", ListKind::LatestChannels, false, joinLines(ten) + "\r\n" + kEndMark,
         joinLines(cached), kPlainLatest, cached},
        {"cache with an empty line", ListKind::LatestChannels, false, std::nullopt,
         "第一\r\n\r\n第三\r\n", kPlainLatest,
         withFill({"第一", kLatestFill, "第三"}, 10, kLatestFill)},
        {"cache without a final line end", ListKind::LatestChannels, false, std::nullopt,
         "第一\r\n第二", kPlainLatest, withFill({"第一", "第二"}, 10, kLatestFill)},
        {"empty cache file", ListKind::LatestChannels, false, std::nullopt, "", kPlainLatest,
         withFill({}, 10, kLatestFill)},
        {"cache missing", ListKind::LatestChannels, false, std::nullopt, std::nullopt, kPlainLatest,
         withFill({}, 10, kLatestFill)},
        {"incomplete server page and cache missing", ListKind::LatestChannels, true, "甲\r\n乙",
         std::nullopt, kPlainLatest, withFill({}, 10, kLatestFill)},
        {"server entries keep their spaces", ListKind::LatestChannels, true,
         "  前后有空格  \r\n\t制表\r\n" + kEndMark, std::nullopt, kServerLatest,
         withFill({"  前后有空格  ", "\t制表", kEndMark}, 10, kLatestFill)},
        {"SNG: seven server lines", ListKind::Sng, true, joinLines(sngServer) + "\r\n" + kEndMark,
         std::nullopt, kServerSng,
         std::vector<std::string>(sngServer.begin(), sngServer.begin() + 5)},
        {"SNG: seven cached lines", ListKind::Sng, false, std::nullopt, joinLines(sngCached),
         kPlainSng, std::vector<std::string>(sngCached.begin(), sngCached.begin() + 5)},
        {"SNG: two server lines", ListKind::Sng, true, "一\r\n二\r\n" + kEndMark, std::nullopt,
         kServerSng, withFill({"一", "二", kEndMark}, 5, kSngFill)},
        {"SNG: page without the end mark", ListKind::Sng, true, joinLines(sngServer), "缓存\r\n",
         kPlainSng, withFill({"缓存"}, 5, kSngFill)},
        {"SNG: cache with an empty line", ListKind::Sng, false, std::nullopt, "一\r\n\r\n三",
         kPlainSng, withFill({"一", kSngFill, "三"}, 5, kSngFill)},
        {"SNG: cache missing", ListKind::Sng, false, std::nullopt, std::nullopt, kPlainSng,
         withFill({}, 5, kSngFill)},
    };
}

TEST(LoadList, ShowsTheRightSourceInEveryCell) {
    for (const LoadCase& c : loadCases()) {
        SCOPED_TRACE(c.name);
        TempFolder folder;
        const ListLayout& layout = listLayout(c.kind);
        if (c.cacheFile) {
            folder.write(std::string(layout.cacheFile), gbk(*c.cacheFile));
        }
        FakeServer server;
        if (c.serverPage) {
            server.page = gbk(*c.serverPage);
        }
        RecordingSink sink;
        loadList(c.kind,
                 {.serverReached = c.serverReached,
                  .serverRoot = kRoot,
                  .fetch = server.fetch(),
                  .workFolder = folder.path()},
                 sink);

        EXPECT_EQ(show(sink.cell(layout.headerRow, kTextColumn)), show(c.header)) << "header";
        EXPECT_FALSE(sink.cell(layout.headerRow, kMarkColumn)) << "header mark cell written";
        ASSERT_EQ(c.entries.size(), static_cast<std::size_t>(layout.entryCount));
        for (int i = 0; i < layout.entryCount; ++i) {
            const int row = layout.firstEntryRow + i;
            EXPECT_EQ(show(sink.cell(row, kTextColumn)), show(c.entries[i])) << "row " << row;
            EXPECT_EQ(show(sink.cell(row, kMarkColumn)), show(std::string(layout.mark)))
                << "mark of row " << row;
        }
        // Nothing outside the list's own rows.
        for (const auto& [cell, text] : sink.cells) {
            const int row = cell.first;
            EXPECT_TRUE(row == layout.headerRow ||
                        (row >= layout.firstEntryRow && row <= layout.lastEntryRow()))
                << "wrote row " << row << " column " << cell.second << ": " << text;
        }
    }
}

TEST(LoadList, FetchesOnlyWhenAServerWasReached) {
    struct Case {
        ListKind kind;
        bool serverReached;
        std::vector<std::string> urls;
    };
    const std::vector<Case> cases = {
        {ListKind::LatestChannels, true, {kRoot + "nch.htm"}},
        {ListKind::Sng, true, {kRoot + "sng.htm"}},
        {ListKind::LatestChannels, false, {}},
        {ListKind::Sng, false, {}},
    };
    for (const Case& c : cases) {
        TempFolder folder;
        FakeServer server;
        server.page = gbk("甲\r\n" + kEndMark);
        RecordingSink sink;
        loadList(c.kind,
                 {.serverReached = c.serverReached,
                  .serverRoot = kRoot,
                  .fetch = server.fetch(),
                  .workFolder = folder.path()},
                 sink);
        EXPECT_EQ(server.requested, c.urls)
            << "list " << (c.kind == ListKind::Sng ? "SNG" : "latest") << ", serverReached "
            << c.serverReached;
    }
}

TEST(LoadList, HeaderStartsPlainAndGetsTheMarkOnlyFromTheServer) {
    struct Case {
        ListKind kind;
        bool serverReached;
        std::optional<std::string> page;
        std::vector<std::string> headerWrites;
    };
    const std::vector<Case> cases = {
        {ListKind::LatestChannels, true, "甲\r\n" + kEndMark, {kPlainLatest, kServerLatest}},
        {ListKind::LatestChannels, true, "甲\r\n", {kPlainLatest}},
        {ListKind::LatestChannels, true, std::nullopt, {kPlainLatest}},
        {ListKind::LatestChannels, false, "甲\r\n" + kEndMark, {kPlainLatest}},
        {ListKind::Sng, true, "甲\r\n" + kEndMark, {kPlainSng, kServerSng}},
        {ListKind::Sng, true, "甲", {kPlainSng}},
        {ListKind::Sng, false, std::nullopt, {kPlainSng}},
    };
    for (const Case& c : cases) {
        TempFolder folder;
        folder.write(std::string(listLayout(c.kind).cacheFile), gbk("缓存"));
        FakeServer server;
        if (c.page) {
            server.page = gbk(*c.page);
        }
        RecordingSink sink;
        loadList(c.kind,
                 {.serverReached = c.serverReached,
                  .serverRoot = kRoot,
                  .fetch = server.fetch(),
                  .workFolder = folder.path()},
                 sink);
        std::vector<std::string> headerWrites;
        for (const auto& call : sink.calls) {
            if (!call.shade && call.row == listLayout(c.kind).headerRow) {
                headerWrites.push_back(call.text);
            }
        }
        EXPECT_EQ(headerWrites, c.headerWrites) << "page " << (c.page ? *c.page : "(failed)");
        ASSERT_FALSE(sink.calls.empty());
        EXPECT_EQ(sink.calls.front().row, listLayout(c.kind).headerRow) << "first write";
    }
}

TEST(LoadList, MissingCacheShowsTheReadErrorBeforeTheFillers) {
    for (ListKind kind : {ListKind::LatestChannels, ListKind::Sng}) {
        const ListLayout& layout = listLayout(kind);
        TempFolder folder; // no cache file in it
        RecordingSink sink;
        loadList(kind,
                 {.serverReached = false,
                  .serverRoot = kRoot,
                  .fetch = nullptr,
                  .workFolder = folder.path()},
                 sink);
        for (int row = layout.firstEntryRow; row <= layout.lastEntryRow(); ++row) {
            std::vector<std::string> writes;
            for (const auto& call : sink.calls) {
                if (!call.shade && call.row == row && call.column == kTextColumn) {
                    writes.push_back(call.text);
                }
            }
            const std::vector<std::string> expected = {"  （读取数据发生错误）  无信息...",
                                                       std::string(layout.filler)};
            EXPECT_EQ(writes, expected) << "text writes of row " << row;
        }
        // All error texts go out before the first entry is written.
        std::size_t lastError = 0;
        std::size_t firstMark = sink.calls.size();
        for (std::size_t i = 0; i < sink.calls.size(); ++i) {
            const auto& call = sink.calls[i];
            if (call.text == kReadErrorText) {
                lastError = i;
            }
            if (call.column == kMarkColumn && firstMark == sink.calls.size()) {
                firstMark = i;
            }
        }
        EXPECT_LT(lastError, firstMark) << "error texts mixed into the entries";
    }
}

TEST(LoadList, AnUnreadableCacheCountsAsMissing) {
    TempFolder folder;
    std::filesystem::create_directory(folder.path() / "nch.str"); // a folder, not a file
    RecordingSink sink;
    loadList(ListKind::LatestChannels,
             {.serverReached = false,
              .serverRoot = kRoot,
              .fetch = nullptr,
              .workFolder = folder.path()},
             sink);
    int errors = 0;
    for (const auto& call : sink.calls) {
        errors += call.text == kReadErrorText ? 1 : 0;
    }
    EXPECT_EQ(errors, 10);
    EXPECT_EQ(show(sink.cell(2, kTextColumn)), show(kLatestFill));
}

TEST(LoadList, ShadesEverySecondEntryRowLast) {
    struct Case {
        ListKind kind;
        std::map<int, Rgb> shades;
    };
    const Rgb blue{240, 240, 255};
    const Rgb rose{255, 230, 230};
    const std::vector<Case> cases = {
        {ListKind::LatestChannels, {{3, blue}, {5, blue}, {7, blue}, {9, blue}, {11, blue}}},
        {ListKind::Sng, {{14, rose}, {16, rose}}},
    };
    for (const Case& c : cases) {
        TempFolder folder;
        folder.write(std::string(listLayout(c.kind).cacheFile), gbk("甲\r\n乙\r\n"));
        RecordingSink sink;
        loadList(c.kind,
                 {.serverReached = false,
                  .serverRoot = kRoot,
                  .fetch = nullptr,
                  .workFolder = folder.path()},
                 sink);
        std::ostringstream got;
        for (const auto& [row, rgb] : sink.shades) {
            got << row << ":(" << rgb.r << "," << rgb.g << "," << rgb.b << ") ";
        }
        EXPECT_EQ(sink.shades, c.shades) << "got " << got.str();
        // The shading comes after every text.
        bool shaded = false;
        for (const auto& call : sink.calls) {
            if (call.shade) {
                shaded = true;
            } else {
                EXPECT_FALSE(shaded) << "text after shading: row " << call.row;
            }
        }
    }
}

TEST(LoadList, EntriesReachTheSinkAsUtf8) {
    TempFolder folder;
    FakeServer server;
    // "中星6A" in GBK, then the mark: the sink must get UTF-8, not the wire bytes.
    server.page = std::string("\xD6\xD0\xD0\xC7") + "6A\r\n\xA3\xFE";
    RecordingSink sink;
    loadList(ListKind::LatestChannels,
             {.serverReached = true,
              .serverRoot = kRoot,
              .fetch = server.fetch(),
              .workFolder = folder.path()},
             sink);
    EXPECT_EQ(show(sink.cell(2, kTextColumn)), show("中星6A"));
    EXPECT_EQ(show(sink.cell(3, kTextColumn)), show(kEndMark));
}

// ---- the deferred reload

TEST(DeferredListJob, RunsOnceAServerRootIsKnownAndListsArePending) {
    struct Case {
        bool pending;
        std::string root;
        bool ran;
        bool pendingAfter;
    };
    const std::vector<Case> cases = {
        {true, kRoot, true, false},
        {true, "", false, true},
        {false, kRoot, false, false},
        {false, "", false, false},
    };
    for (const Case& c : cases) {
        std::atomic<bool> pending{c.pending};
        std::vector<std::string> events;
        const DeferredListJob job{
            .loadLists = [&] { events.push_back("lists"); },
            .showNewsPage = [&](const std::string& url) { events.push_back("banner " + url); },
        };
        const bool ran = runDeferredListJob(pending, c.root, job);
        const std::vector<std::string> expected =
            c.ran ? std::vector<std::string>{"lists", "banner " + c.root + "news.htm"}
                  : std::vector<std::string>{};
        EXPECT_EQ(ran, c.ran) << "pending " << c.pending << ", root \"" << c.root << "\"";
        EXPECT_EQ(events, expected) << "pending " << c.pending << ", root \"" << c.root << "\"";
        EXPECT_EQ(pending.load(), c.pendingAfter)
            << "pending " << c.pending << ", root \"" << c.root << "\"";
    }
}

// ---- the refresh links' countdown

TEST(RefreshCountdown, CaptionsCountDown) {
    struct Case {
        int left;
        std::string news;
        std::string trade;
    };
    const std::vector<Case> cases = {
        {9, "稍等...(9)", "稍等9"},
        {5, "稍等...(5)", "稍等5"},
        {0, "稍等...(0)", "稍等0"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(newsCountdownCaption(c.left), c.news) << "n = " << c.left;
        EXPECT_EQ(tradeCountdownCaption(c.left), c.trade) << "n = " << c.left;
    }
}

TEST(RefreshCountdown, TenOneSecondStepsThenTheLinksComeBack) {
    common::ManualClock clock;
    std::vector<std::string> events; // each with the number of sleeps before it
    auto stamp = [&](const std::string& what) {
        events.push_back(std::to_string(clock.sleepCount()) + " " + what);
    };
    const RefreshLinks links{
        .setNewsCaption = [&](const std::string& caption) { stamp("news " + caption); },
        .setTradeCaption = [&](const std::string& caption) { stamp("trade " + caption); },
        .setEnabled = [&](bool enabled) { stamp(enabled ? "enabled" : "disabled"); },
    };
    refreshCountdown(clock, links);

    std::vector<std::string> expected;
    for (int i = 1; i <= 10; ++i) {
        const std::string sleeps = std::to_string(i - 1);
        expected.push_back(sleeps + " news 稍等...(" + std::to_string(10 - i) + ")");
        expected.push_back(sleeps + " trade 稍等" + std::to_string(10 - i));
    }
    expected.push_back("10 news 刷新数据");
    expected.push_back("10 trade 刷新");
    expected.push_back("10 enabled");
    EXPECT_EQ(events, expected);

    const std::vector<std::chrono::milliseconds> sleeps(10, 1000ms);
    EXPECT_EQ(clock.sleeps(), sleeps);
    EXPECT_EQ(clock.totalSlept(), 10000ms);
}

} // namespace
} // namespace zorvast::info
