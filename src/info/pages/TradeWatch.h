// The trade tab: opening the server's trade page, and the watchdog that brings back the local
// page when the online one loads as something else (an error page, say).
#pragma once

#include "common/Clock.h"
#include "info/pages/BrowserView.h"
#include "info/pages/InfoState.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace zorvast::info {

inline constexpr std::string_view kOnlineTradePage = "trade.htm"; // appended to serverRoot
inline constexpr std::string_view kOnlineTradeTitle = "Zorvast-交易";

// Ten seconds for the online page to load with its own title, then a minute in which
// re-opening the tab does not load it again.
inline constexpr int kTradeWatchLooks = 20;
inline constexpr std::chrono::milliseconds kTradeWatchInterval{500};
inline constexpr std::chrono::milliseconds kTradeWatchCoolDown{60000};

enum class TradeLook {
    LocalPage,    // a local file is shown: nothing to watch
    StillLoading, // not finished yet
    OnlinePage,   // the server's trade page
    WrongPage,    // finished as something else: fall back to the local page
};

TradeLook judgeTradeLook(std::string_view address, std::string_view status, std::string_view title);

// The watchdog (a worker): sets `busy`, looks at the view every half second for ten seconds,
// navigating it to `localPage` after each look that finds the wrong page, then cools down
// for a minute and clears `busy`.
void tradeWatchdog(std::atomic<bool>& busy, BrowserView& view,
                   const std::filesystem::path& localPage, common::Clock& clock);

struct TradeSources {
    std::function<bool()> serverReached;
    std::function<std::string()> serverRoot; // ends in "/"
    std::filesystem::path workFolder;
    StartWorker startWorker;        // none: the watchdog runs on the calling thread
    common::Clock* clock = nullptr; // the system clock when null
};

// The trade tab was selected: with a server reached and no watchdog busy, the view goes to
// the server's trade page and a watchdog starts on a worker. True when it did.
bool openTradeTab(InfoState& state, BrowserView& view, const TradeSources& sources);

} // namespace zorvast::info
