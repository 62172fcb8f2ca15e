// The pointing report: what the pointing tab shows, as plain text with CR LF line ends
// (UTF-8 here; written out as GBK).
#pragma once

#include "pointing/results/PointingResult.h"

#include <string>
#include <string_view>

namespace zorvast::pointing {

struct ReportInputs {
    std::string province;
    std::string city;
    std::string satellite; // the pointing list's item text
    std::string antenna;   // the model list's item text
    FeedType feed = FeedType::PrimeFocus;
    Mounting mounting = Mounting::Upright;
    bool declinationCorrection = false;
};

std::string buildPointingReport(const ReportInputs& inputs, const PointingResult& result);

// The report as it is saved or copied: followed by an empty line.
std::string exportedReportText(const std::string& report);

inline constexpr std::string_view kSavedCaption = "保存成功";
inline constexpr std::string_view kSaveFailedCaption = "保存失败";
inline constexpr std::string_view kCopiedCaption = "复制成功";
inline constexpr std::string_view kSavedText = "已保存成功，目标文件是：";
inline constexpr std::string_view kNoFileNameText = "文件名不能为空，请重新填写。";
inline constexpr std::string_view kCopiedText = "已复制到剪切板成功，请粘贴到其它软件中查看。";
// Followed by the path and the reason.
inline constexpr std::string_view kWriteFailedText = "无法写入文件：";

} // namespace zorvast::pointing
