// The local pages the data package brings into the working folder, and what stands in for
// one that is missing, so that a view never stays blank.
#pragma once

#include "info/Messages.h"

#include <array>
#include <filesystem>
#include <string_view>

namespace zorvast::info {

enum class PageView { Home, NewsBanner, Tyro, Datum, Trade, Community };

struct LocalPage {
    PageView view;
    std::string_view fileName;
    std::string_view fallback; // UTF-8; written as GBK, no line break at the end
};

// In the order the page step shows them (the community page is loaded by its own tab).
inline constexpr std::array<LocalPage, 5> kStartUpPages = {{
    {PageView::Home, "home.htm", kHomeFallback},
    {PageView::NewsBanner, "news.htm", kBannerFallback},
    {PageView::Tyro, "tyro.htm", kInfoFallback},
    {PageView::Datum, "datum.htm", kInfoFallback},
    {PageView::Trade, "trade.htm", kTradeFallback},
}};

inline constexpr LocalPage kCommunityPage = {PageView::Community, "bbs.htm", kCommunityFallback};

// The page of one view.
constexpr const LocalPage& localPage(PageView view) {
    for (const LocalPage& page : kStartUpPages) {
        if (page.view == view) {
            return page;
        }
    }
    return kCommunityPage;
}

// The file a view shows: the page itself when it exists and is not empty; otherwise the
// fallback is written in its place (creating the working folder if needed) and shown.
std::filesystem::path pageToShow(const std::filesystem::path& workFolder, const LocalPage& page);

} // namespace zorvast::info
