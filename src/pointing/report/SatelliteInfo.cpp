#include "pointing/report/SatelliteInfo.h"

#include "common/Numbers.h"
#include "common/Text.h"

#include <cmath>

namespace zorvast::pointing {

namespace {

// Byte ranges of GBK text, clipped to the text.
std::string gbkBytes(const common::Gbk& text, std::size_t start, std::size_t count) {
    if (start >= text.size()) {
        return {};
    }
    return text.bytes.substr(start, count);
}

std::string lastGbkBytes(const common::Gbk& text, std::size_t count) {
    return text.size() > count ? text.bytes.substr(text.size() - count) : text.bytes;
}

bool isKnown(const std::string& gbkValue) {
    return std::fabs(common::parseLeadingNumber(gbkValue)) > common::comparisonTolerance;
}

std::string utf8(const std::string& gbkBytes) {
    return common::fromGbk(common::Gbk{gbkBytes});
}

} // namespace

std::string satelliteInfoText(std::string_view itemText, std::string_view remark,
                              std::string_view sMax, std::string_view sMin) {
    if (remark.empty()) {
        return std::string(kDefaultDetailText);
    }
    const common::Gbk maxima = common::toGbk(sMax);
    const common::Gbk minima = common::toGbk(sMin);
    std::string text = std::string(itemText) + "卫星：" + std::string(remark);
    if (isKnown(gbkBytes(maxima, 0, 5))) {
        text += "，C最强：" + utf8(gbkBytes(maxima, 1, 4));
    }
    if (isKnown(gbkBytes(minima, 0, 5))) {
        text += "，C最弱：" + utf8(gbkBytes(minima, 1, 4));
    }
    if (isKnown(lastGbkBytes(maxima, 5))) {
        text += "，KU最强：" + utf8(lastGbkBytes(maxima, 5));
    }
    if (isKnown(lastGbkBytes(minima, 5))) {
        text += "，KU最弱：" + utf8(lastGbkBytes(minima, 5));
    }
    return text;
}

} // namespace zorvast::pointing
