#include "pointing/report/PointingReport.h"

#include "common/Files.h"

namespace zorvast::pointing {

std::string buildPointingReport(const ReportInputs& in, const PointingResult& r) {
    const bool offset = in.feed == FeedType::Offset;
    std::string text =
        "------☆Zorvast寻星计算☆------\r\n\r\n地点：" + in.province + "，" + in.city + "\r\n";
    text += "卫星：" + in.satellite + "\r\n";
    text += "天线：" + in.antenna + "，";
    if (!offset) {
        text += "正馈";
    } else {
        text += "偏馈";
        if (in.mounting == Mounting::Inverted) {
            text += "（倒装）";
        }
    }
    if (!r.azimuthVisible() || !r.elevationVisible()) {
        return text + "\r\n注意：所在地区无信号覆盖！";
    }
    text += "\r\n方位角：" + r.azimuth.text() + "度";
    if (in.declinationCorrection) {
        text += "，经磁偏修正的指北针指向：" + r.compassText + "度";
    }
    text += "（即 " + r.southSide + r.southOffset + "度），手表时针指向：" + r.watchHour + "\r\n";
    text += "仰角：" + r.elevation.text() + "度";
    if (offset) {
        text += "，下垂角：" + r.droopAngle + "度";
    }
    text += "\r\n高频头极化角：" + r.polarisation.text() + "度，" + r.lnbReferencePart + "：" +
            r.lnbDirection + "\r\n";
    return text;
}

std::string exportedReportText(const std::string& report) {
    return report + "\r\n\r\n";
}

SaveNotice saveExport(const std::optional<std::filesystem::path>& file, std::string_view bytes) {
    if (!file) {
        return {kSaveFailedCaption, std::string(kNoFileNameText), true};
    }
    if (const auto reason = common::writeFileOrReason(*file, std::string(bytes))) {
        return {kSaveFailedCaption,
                std::string(kWriteFailedText) + file->string() + "\r\n" + *reason, true};
    }
    return {kSavedCaption, std::string(kSavedText) + file->string(), false};
}

} // namespace zorvast::pointing
