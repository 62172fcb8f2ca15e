#include "info/pages/TradeWatch.h"

#include "info/pages/LocalPages.h"

namespace zorvast::info {

TradeLook judgeTradeLook(std::string_view address, std::string_view status,
                         std::string_view title) {
    if (address.starts_with("file")) {
        return TradeLook::LocalPage;
    }
    if (status != kFinishedStatus) {
        return TradeLook::StillLoading;
    }
    if (title == kOnlineTradeTitle) {
        return TradeLook::OnlinePage;
    }
    return TradeLook::WrongPage;
}

void tradeWatchdog(std::atomic<bool>& busy, BrowserView& view,
                   const std::filesystem::path& localPage, common::Clock& clock) {
    busy = true;
    for (int look = 0; look < kTradeWatchLooks; ++look) {
        clock.sleepFor(kTradeWatchInterval);
        // One read after the other, in the order the look goes through them.
        const std::string address = view.address();
        const std::string status = view.statusText();
        const std::string title = view.title();
        if (judgeTradeLook(address, status, title) == TradeLook::WrongPage) {
            view.navigate(localPage.string());
        }
    }
    clock.sleepFor(kTradeWatchCoolDown);
    busy = false;
}

bool openTradeTab(InfoState& state, BrowserView& view, const TradeSources& sources) {
    if (!sources.serverReached || !sources.serverReached()) {
        return false;
    }
    // Claimed here rather than only by the worker, so a second click before the worker runs
    // finds it taken.
    bool expected = false;
    if (!state.tradeWatchBusy.compare_exchange_strong(expected, true)) {
        return false;
    }
    view.navigate(sources.serverRoot() + std::string(kOnlineTradePage));
    const std::filesystem::path fallbackPage =
        sources.workFolder / localPage(PageView::Trade).fileName;
    common::Clock& clock = sources.clock ? *sources.clock : common::systemClock();
    runWorker(sources.startWorker, [&state, &view, fallbackPage, &clock] {
        tradeWatchdog(state.tradeWatchBusy, view, fallbackPage, clock);
    });
    return true;
}

} // namespace zorvast::info
