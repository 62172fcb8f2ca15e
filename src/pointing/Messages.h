// The fixed texts of the pointing tools: the captions and texts of their message boxes, and the
// captions and marks written on the pointing diagram.
#pragma once

#include <string_view>

namespace zorvast::pointing {

// --- message box captions
inline constexpr std::string_view kInputErrorCaption = "输入错误";
inline constexpr std::string_view kFeedsTooCloseCaption = "提示";
inline constexpr std::string_view kSavedCaption = "保存成功";
inline constexpr std::string_view kSaveFailedCaption = "保存失败";
inline constexpr std::string_view kCopiedCaption = "复制成功";

// --- the site boxes
inline constexpr std::string_view kLongitudeErrorText =
    "请检查经度是否填写错误。\r\n（只能填写70到150度之间亚洲区的经度）";
inline constexpr std::string_view kLatitudeErrorText =
    "请检查纬度是否填写错误。\r\n（只能填写1到60度之间亚洲区的纬度）";

// --- the dual-feed estimate
inline constexpr std::string_view kSameSatelliteText =
    "选择的偏收和主收卫星方位相同，请重新选择！\r\n"
    "（因为同一个焦点放不下两个高频头，如果想多机接收请选用多输出式高频头。）";
inline constexpr std::string_view kFeedsTooCloseText =
    "两个高频头距离太近，无法正常接收！\r\n建议用两套天线分别接收或采用一头双星兼顾接收。\r\n"
    "（提示：加大天线尺寸可以增加多星接收下高频头之间的距离）";

// --- the obstacle calculator
inline constexpr std::string_view kDistanceErrorText =
    "障碍距离输入错误，请重新输入！\r\n（提示：必须是大于0，而且不能大于9000的数字）";
inline constexpr std::string_view kObstacleHeightErrorText =
    "障碍高度输入错误，请重新输入！\r\n（提示：必须是大于0，而且不能大于9000的数字）";
inline constexpr std::string_view kAntennaHeightErrorText =
    "天线的高度输入错误，请重新输入！\r\n（提示：必须是大于或等于0，而且不能大于9000的数字）";
inline constexpr std::string_view kAntennaAboveObstacleText =
    "软件对输入的数据有些疑惑，也请您检查输入是否错误！\r\n"
    "（提示：您的天线比障碍还高有必要计算吗？）";

// --- saving and copying a report or a table
inline constexpr std::string_view kSavedText = "已保存成功，目标文件是：";
inline constexpr std::string_view kNoFileNameText = "文件名不能为空，请重新填写。";
inline constexpr std::string_view kCopiedText = "已复制到剪切板成功，请粘贴到其它软件中查看。";
// Followed by the path and the reason.
inline constexpr std::string_view kWriteFailedText = "无法写入文件：";

// --- the sun windows
inline constexpr std::string_view kBelowHorizonText = "这颗卫星在本地地平线以下，收不到信号。";
inline constexpr std::string_view kDiameterErrorText = "天线口径请输入大于0的数字（厘米）。";
inline constexpr std::string_view kYearErrorText = "年份请输入1972到2199之间的整数。";
inline constexpr std::string_view kDateErrorText =
    "日期请按“年-月-日”输入1972到2199年间真实的一天，例如2025-03-05。";

// --- the parameter tab's detail box before a satellite is chosen
inline constexpr std::string_view kDefaultDetailText =
    "\r\n此位置，选择卫星后将显示卫星资料，选择频道后将显示频道资料。";

// --- the pointing diagram
inline constexpr std::string_view kDroopCaption = "下垂角";
inline constexpr std::string_view kSignalAngleCaption = "信号角";
inline constexpr std::string_view kCompassCaption = "指北针";
inline constexpr std::string_view kAzimuthCaption = "方位角";
inline constexpr std::string_view kWatchCaption = "时针指向";
inline constexpr std::string_view kPolarisationCaption = "极化角";
inline constexpr std::string_view kNoCoverageMark = "【无信号覆盖】";
inline constexpr std::string_view kUnknownCoverageMark = "未知";
inline constexpr std::string_view kBandCCaption = " C";
inline constexpr std::string_view kBandKuCaption = "Ku";

// What a result label shows for a satellite that cannot be seen.
inline constexpr std::string_view kNotVisible = "- -";
// What both dish-size labels show for a strength outside the table.
inline constexpr std::string_view kNoDishSize = "---";

} // namespace zorvast::pointing
