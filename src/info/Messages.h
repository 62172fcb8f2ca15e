// Every fixed text the information pages show: captions of the tabs' controls and of the forum
// window, the news lists' headers, marks and fillers, the pages that stand in for a missing
// local page, and the status and title texts. UTF-8; the texts that carry a value are put
// together by the functions at the end.
#pragma once

#include <string>
#include <string_view>

namespace zorvast::info {

// ---- the community tab's browser bar --------------------------------------------------------

inline constexpr std::string_view kCaptionBack = "←后退";
inline constexpr std::string_view kCaptionForward = "前进→";
inline constexpr std::string_view kCaptionRefresh = "刷新";
inline constexpr std::string_view kCaptionStop = "停止";
inline constexpr std::string_view kCaptionGo = "转到";
inline constexpr std::string_view kCaptionEnlarge = "放大浏览窗口";
inline constexpr std::string_view kCaptionQuickEntry = "快速进入";
inline constexpr std::string_view kCaptionAddress = "网址";
inline constexpr std::string_view kLoadingNote = "请稍候，正在载入...";
// The single entry of a quick-entry list whose section table does not add up.
inline constexpr std::string_view kQuickEntryError = "读取错误，无列表";
// The forum's sections as the quick-entry list names them.
inline constexpr std::string_view kSectionForumHome = "交流论坛主页";
inline constexpr std::string_view kSectionDiscussion = "星友交流讨论";
inline constexpr std::string_view kSectionNews = "星讯星闻播报";
inline constexpr std::string_view kSectionFeedback = "软件意见反馈";
inline constexpr std::string_view kSectionTradePosting = "交易免费发布";

// ---- the forum window -----------------------------------------------------------------------

inline constexpr std::string_view kForumCaptionBack = "← 后退";
inline constexpr std::string_view kForumCaptionForward = "前进 →";
inline constexpr std::string_view kForumCaptionStop = "停 止";
inline constexpr std::string_view kForumCaptionRefresh = "刷 新";
inline constexpr std::string_view kForumCaptionGo = "↓转到";
// The section buttons.
inline constexpr std::string_view kForumButtonHome = "论坛主页→";
inline constexpr std::string_view kForumButtonDiscussion = "星友交流";
inline constexpr std::string_view kForumButtonNews = "星讯播报";
inline constexpr std::string_view kForumButtonTrade = "买卖发布";
inline constexpr std::string_view kForumButtonFeedback = "意见反馈";
inline constexpr std::string_view kForumWindowTitleSuffix = " - [Zorvast内置浏览器]";
inline constexpr std::string_view kForumWindowInitialTitle = "Marobi交流论坛 - [Zorvast内置浏览器]";
// Ends a page title that was cut to fit.
inline constexpr std::string_view kTitleCutMark = " ……";

// ---- the news and trade tabs ---------------------------------------------------------------

// The refresh links: "刷新数据" on the news tab, "刷新" on the trade tab.
inline constexpr std::string_view kNewsRefreshCaption = "刷新数据";
inline constexpr std::string_view kTradeRefreshCaption = "刷新";
inline constexpr std::string_view kCaptionTradePosting = "免费发布";

// The news lists: the mark of every entry row, what stands in for a missing entry, and the
// header; the header with "§" says the list came from the server.
inline constexpr std::string_view kLatestChannelMark = "☆";
inline constexpr std::string_view kLatestChannelFiller = " 无信息...";
inline constexpr std::string_view kLatestChannelHeader = "最新频道资讯：";
inline constexpr std::string_view kLatestChannelServerHeader = "§最新频道资讯：";
inline constexpr std::string_view kSngMark = "◇";
inline constexpr std::string_view kSngFiller = "无信息...";
inline constexpr std::string_view kSngHeader = "最新临传(SNG)讯号：（随时出现或消失）";
inline constexpr std::string_view kSngServerHeader = "§最新临传(SNG)讯号：（随时出现或消失）";
// What the entry cells show while the cache file cannot be read; the fillers replace it.
inline constexpr std::string_view kReadErrorText = "  （读取数据发生错误）  无信息...";

// ---- the browser views ---------------------------------------------------------------------

// The status text of a view whose page has finished loading.
inline constexpr std::string_view kFinishedStatus = "完成";

// What stands in for a missing local page (written as GBK, no line break at the end).
inline constexpr std::string_view kHomeFallback =
    "<br><br>\r\n<p align=\"center\">读取错误无法显示。</p>";
inline constexpr std::string_view kBannerFallback =
    "<p align=\"center\">读取资讯错误，此功能无法正常显示。</p>";
inline constexpr std::string_view kInfoFallback =
    "<br><br>\r\n<p align=\"center\">读取信息错误，此功能无法正常显示。</p>";
inline constexpr std::string_view kTradeFallback =
    "<br><br>\r\n<p align=\"center\">读取资讯错误，此功能无法正常显示。</p>";
inline constexpr std::string_view kCommunityFallback =
    "<br><br>\r\n<p align=\"center\">读取页面错误，此功能无法正常显示。</p>";

// ---- texts with a value --------------------------------------------------------------------

// The refresh links while they count down: "稍等...(9)" and "稍等9" for n = 9.
std::string newsCountdownCaption(int secondsLeft);
std::string tradeCountdownCaption(int secondsLeft);

} // namespace zorvast::info
