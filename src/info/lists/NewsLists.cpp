#include "info/lists/NewsLists.h"

#include "common/Files.h"

#include <optional>
#include <utility>

namespace zorvast::info {

const ListLayout& listLayout(ListKind kind) {
    return kind == ListKind::Sng ? kSngLayout : kLatestChannelLayout;
}

bool isCompleteServerPage(const common::Gbk& page) {
    const std::string_view bytes = page.bytes;
    if (bytes.size() < kEndMarkGbk.size()) {
        return false;
    }
    std::size_t last = 0;
    for (std::size_t p = 0; p < bytes.size(); p += common::gbkCharacterLength(bytes, p)) {
        last = p;
    }
    return bytes.substr(last) == kEndMarkGbk;
}

std::vector<common::Gbk> splitListText(const common::Gbk& text) {
    if (text.empty()) {
        return {};
    }
    std::vector<common::Gbk> entries = common::splitGbkLines(text);
    // The piece after a final CR LF is empty and is no entry.
    if (!entries.empty() && entries.back().empty()) {
        entries.pop_back();
    }
    return entries;
}

void loadList(ListKind kind, const ListSources& sources, ListSink& sink) {
    const ListLayout& layout = listLayout(kind);
    sink.setCell(layout.headerRow, kTextColumn, std::string(layout.plainHeader));

    common::Gbk text;
    if (sources.serverReached && sources.fetch) {
        common::Gbk page{sources.fetch(sources.serverRoot + std::string(layout.serverPage))};
        if (isCompleteServerPage(page)) {
            text = std::move(page);
            sink.setCell(layout.headerRow, kTextColumn, std::string(layout.serverHeader));
        }
    }

    if (text.empty()) {
        const std::optional<std::string> cache =
            common::readFileBytes(sources.workFolder / layout.cacheFile);
        if (!cache) {
            for (int row = layout.firstEntryRow; row <= layout.lastEntryRow(); ++row) {
                sink.setCell(row, kTextColumn, std::string(kReadErrorText));
            }
        } else {
            text.bytes = *cache;
        }
    }

    std::vector<common::Gbk> entries = splitListText(text);
    for (int i = 0; i < layout.entryCount; ++i) {
        const int row = layout.firstEntryRow + i;
        sink.setCell(row, kMarkColumn, std::string(layout.mark));
        const bool missing = i >= static_cast<int>(entries.size()) || entries[i].empty();
        sink.setCell(row, kTextColumn,
                     missing ? std::string(layout.filler) : common::fromGbk(entries[i]));
    }

    for (int i = 0; i < layout.shadedCount; ++i) {
        sink.shadeRow(layout.shadedRows[i], layout.shade);
    }
}

bool runDeferredListJob(std::atomic<bool>& listsPending, const std::string& serverRoot,
                        const DeferredListJob& job) {
    if (!listsPending || serverRoot.empty()) {
        return false;
    }
    if (job.loadLists) {
        job.loadLists();
    }
    if (job.showNewsPage) {
        job.showNewsPage(serverRoot + "news.htm");
    }
    listsPending = false;
    return true;
}

void refreshCountdown(common::Clock& clock, const RefreshLinks& links) {
    for (int i = 1; i <= kCountdownSteps; ++i) {
        const int left = kCountdownSteps - i;
        if (links.setNewsCaption) {
            links.setNewsCaption(newsCountdownCaption(left));
        }
        if (links.setTradeCaption) {
            links.setTradeCaption(tradeCountdownCaption(left));
        }
        clock.sleepFor(kCountdownStep);
    }
    if (links.setNewsCaption) {
        links.setNewsCaption(std::string(kNewsRefreshCaption));
    }
    if (links.setTradeCaption) {
        links.setTradeCaption(std::string(kTradeRefreshCaption));
    }
    if (links.setEnabled) {
        links.setEnabled(true);
    }
}

} // namespace zorvast::info
