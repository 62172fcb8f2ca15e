// The latest-channel and SNG lists of the news tab: where each list comes from, how its text
// is cut into entries and which grid cells a load writes. No window code here: a load talks to
// the grid through ListSink, so it runs the same on a worker, on the window thread and in tests.
//
// Grid rows and columns are counted from 1 here, as the news grid's layout is written down:
// row 1 is the latest-channel header, column 1 holds the marks and column 2 the texts.
#pragma once

#include "common/Clock.h"
#include "common/Colour.h"
#include "common/Text.h"
#include "info/Messages.h"

#include <array>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace zorvast::info {

inline constexpr int kNewsGridRows = 19;
inline constexpr int kNewsGridColumns = 2;
inline constexpr int kMarkColumn = 1;
inline constexpr int kTextColumn = 2;

// The two header rows: their look is fixed by the layout, not by the loads.
inline constexpr common::Rgb kHeaderBackground{255, 255, 180};
inline constexpr common::Rgb kHeaderTextColour{50, 50, 200};

// The end mark a complete server page finishes with ("￣").
inline constexpr std::string_view kEndMarkGbk = "\xA3\xFE";

enum class ListKind { LatestChannels, Sng };

struct ListLayout {
    ListKind kind;
    std::string_view serverPage; // appended to the server root
    std::string_view cacheFile;  // in the working folder
    int headerRow;
    int firstEntryRow;
    int entryCount;
    std::string_view mark;   // column 1 of every entry row
    std::string_view filler; // stands in for a missing or empty entry
    std::string_view plainHeader;
    std::string_view serverHeader; // the same with "§": the list came from the server
    std::array<int, 5> shadedRows; // the first `shadedCount` are used
    int shadedCount;
    common::Rgb shade;

    int lastEntryRow() const { return firstEntryRow + entryCount - 1; }
};

inline constexpr ListLayout kLatestChannelLayout{
    .kind = ListKind::LatestChannels,
    .serverPage = "nch.htm",
    .cacheFile = "nch.str",
    .headerRow = 1,
    .firstEntryRow = 2,
    .entryCount = 10,
    .mark = kLatestChannelMark,
    .filler = kLatestChannelFiller,
    .plainHeader = kLatestChannelHeader,
    .serverHeader = kLatestChannelServerHeader,
    .shadedRows = {3, 5, 7, 9, 11},
    .shadedCount = 5,
    .shade = {240, 240, 255},
};

inline constexpr ListLayout kSngLayout{
    .kind = ListKind::Sng,
    .serverPage = "sng.htm",
    .cacheFile = "sng.str",
    .headerRow = 12,
    .firstEntryRow = 13,
    .entryCount = 5,
    .mark = kSngMark,
    .filler = kSngFiller,
    .plainHeader = kSngHeader,
    .serverHeader = kSngServerHeader,
    .shadedRows = {14, 16, 0, 0, 0},
    .shadedCount = 2,
    .shade = {255, 230, 230},
};

const ListLayout& listLayout(ListKind kind);

// A server page is used only when it arrived whole: its last character is the end mark.
// Walked by characters, so a damaged page whose last bytes only look like the mark (the A3
// being the second byte of another character) does not count.
bool isCompleteServerPage(const common::Gbk& page);

// The entries of a list text: pieces between CR LF pairs found on character boundaries.
// An empty text has no entries, a final CR LF adds no empty entry, two CR LF in a row do.
std::vector<common::Gbk> splitListText(const common::Gbk& text);

// Where a load writes. Texts are UTF-8. Calls arrive in the order the load makes them.
class ListSink {
public:
    virtual ~ListSink() = default;
    virtual void setCell(int row, int column, const std::string& text) = 0;
    // Background of columns 1 and 2 of the row and a frame around the two cells.
    virtual void shadeRow(int row, common::Rgb background) = 0;
};

struct ListSources {
    bool serverReached = false;
    std::string serverRoot; // ends in "/"
    // GBK body, or "" on any failure (update::fetchText in the program).
    std::function<std::string(const std::string& url)> fetch;
    std::filesystem::path workFolder;
};

// Loads one list and shows it: the server page when a server was reached and the page is
// complete, else the cache file of the working folder, else the fillers.
void loadList(ListKind kind, const ListSources& sources, ListSink& sink);
inline void loadLatestChannelList(const ListSources& sources, ListSink& sink) {
    loadList(ListKind::LatestChannels, sources, sink);
}
inline void loadSngList(const ListSources& sources, ListSink& sink) {
    loadList(ListKind::Sng, sources, sink);
}

// The list part of the deferred timer's tick: once the checks have found a server and marked
// the lists as pending, reload both lists and switch the news banner to the server's page.
struct DeferredListJob {
    std::function<void()> loadLists;                          // both loaders, in turn
    std::function<void(const std::string& url)> showNewsPage; // the news banner navigates
};

// Runs the job when `listsPending` is set and `serverRoot` is not empty; clears the flag then.
// True when it ran.
bool runDeferredListJob(std::atomic<bool>& listsPending, const std::string& serverRoot,
                        const DeferredListJob& job);

// The refresh links (kNewsRefreshCaption, kTradeRefreshCaption): a click on either locks both
// out for about ten seconds while they count down (newsCountdownCaption and
// tradeCountdownCaption).
inline constexpr int kCountdownSteps = 10;
inline constexpr std::chrono::milliseconds kCountdownStep{1000};

struct RefreshLinks {
    std::function<void(const std::string& caption)> setNewsCaption;
    std::function<void(const std::string& caption)> setTradeCaption;
    std::function<void(bool enabled)> setEnabled; // both links
};

// The countdown after a refresh (the click has disabled both links already): 9 down to 0,
// one second each, then the normal captions and both links enabled. Runs on a worker.
void refreshCountdown(common::Clock& clock, const RefreshLinks& links);

} // namespace zorvast::info
