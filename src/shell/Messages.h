// The fixed texts the shell shows: message captions and texts, status-line hints, and the
// captions of its own windows. Kept byte for byte as the user sees them.
#pragma once

namespace zorvast::shell::messages {

// Message box captions.
inline constexpr const char* kCaptionError101 = "错误101";
inline constexpr const char* kCaptionError101a = "错误101a";
inline constexpr const char* kCaptionError105 = "错误105";
inline constexpr const char* kCaptionError106 = "错误106";
inline constexpr const char* kCaptionError118 = "错误118";
inline constexpr const char* kCaptionError208 = "错误208";

// Message box buttons.
inline constexpr const char* kButtonOk = "确定";
inline constexpr const char* kButtonRetry = "重试";
inline constexpr const char* kButtonCancel = "取消";

// Message texts.
inline constexpr const char* kFolderReadError =
    "存取临时目录错误。点击[重试]重新尝试读取，点击[取消]则结束本软件运行。";
inline constexpr const char* kFolderMissingError =
    "存取临时目录错误。点击[重试]重新尝试，点击[取消]则结束本软件运行。";
inline constexpr const char* kRestartFailure =
    "重启过程中读写临时数据时失败，请检查C盘是否已满或有无读写权限。";
inline constexpr const char* kDataReadError = "读数据发生错误，软件将退出！请重新下载后再重试。";
inline constexpr const char* kTemporaryWriteError = "失败，写临时数据发生错误，软件将被迫退出。";

// The data date when there is no stored database.
inline constexpr const char* kNoDataDate = "错误，检测不到可用数据。";

// The status line after the local pages: prefix, the data date, suffix.
inline constexpr const char* kStatusDataDate = " ◎ 现有数据日期：";
inline constexpr const char* kStatusEnd = "。";

// The status line's hint after a tab change.
inline constexpr const char* kHintNewsTab = " ◎ 欢迎使用Zorvast。现有数据日期："; // + date + "。"
inline constexpr const char* kHintNewsTabNoData = " ◎ 错误，检测不到任何可用数据。";
inline constexpr const char* kHintParameterTab =
    " ◎ 提示：选择卫星后，请点击【显示结果】按钮查看参数列表。";
inline constexpr const char* kHintPointingTab =
    " ◎ 提示：选择地区并选择卫星后，立即会显示寻星数据和图表。";
inline constexpr const char* kHintNone = " ◎ 提示：无";
inline constexpr const char* kHintPageTabs = " ◎ 提示：请单击列表中的题目查看资料内容。";
inline constexpr const char* kHintTradeTab = " ◎ 提示：请单击列表中题目查看详细交易内容。";
inline constexpr const char* kHintCommunityTab = " ◎ 提示：请单击列表中的题目查看详细内容。";
// The version field after a tab change: prefix, the program version, a space.
inline constexpr const char* kVersionFieldPrefix = "§版号: ";

// The transponder grid before a satellite is chosen.
inline constexpr const char* kGridColumnTitles[] = {"频率", "极化", "符号率", "频 道 名", "权限"};
inline constexpr const char* kGridHint = "提示：选卫星后点击[显示结果](也可在右边下拉表选)  →";
// Before each satellite of the overview: four ideographic spaces, a star, a space.
inline constexpr const char* kOverviewIndent = "　　　　☆ ";

// The windows.
inline constexpr const char* kMainWindowTitle = "Zorvast   [Marobi家族]";

struct TabCaption {
    const char* caption;
    const char* hover;
};
// The nine tabs of the main window, in their order.
inline constexpr TabCaption kTabCaptions[] = {
    {"资 讯", "最新频道最新临传情报、业界综合资讯"},
    {"参数表", "各卫星频率参数表、节目频道搜索"},
    {"寻星计算", "方位角、仰角、极化角、信号强度、双头距离、天线口径和障碍等数值计算"},
    {"模拟寻星", "模拟寻星"},
    {"DM500寻星", "DM500寻星"},
    {"新手教程", "新手初学入门的资料、新手教程、基础知识等"},
    {"技术资料", "卫视技术资料库，含接收技术、多星技巧等"},
    {"器材交易", "器材交易交换，信息免费发布"},
    {"交流社区", "星友论坛：集星友交流讨论、星讯星闻播报、软件意见反馈等"},
};

inline constexpr const char* kSplashBusyText = "正在启动，请稍候...";
inline constexpr const char* kAboutTitle = "关于Zorvast";
inline constexpr const char* kAboutGroupTitle = " 关于Zorvast…… ";
inline constexpr const char* kAboutCloseButton = "关 闭";
inline constexpr const char* kAboutDescription =
    "Zorvast 是一个卫星电视天线寻星的桌面助手：选好所在地和卫星，即可得到天线的方位角、仰角"
    "和极化角，并可浏览各颗卫星的转发器参数与相关资讯。\n\n"
    "本软件供个人免费使用。所附数据仅供参考，不作任何担保；安装和使用卫星接收设备前，请了解并"
    "遵守当地的有关规定。";
// Before the links to the official site, the parameter site and the forum.
inline constexpr const char* kAboutSiteCaptions[] = {"官方网站：", "参数网站：", "交流讨论："};
// "软件：1.02  数据：" and the data date.
inline constexpr const char* kAboutSoftware = "软件：";
inline constexpr const char* kAboutData = "  数据：";

} // namespace zorvast::shell::messages
