// Where a second feed goes on a dish to receive a neighbouring satellite, and its skew.
#pragma once

#include "pointing/results/PointingResult.h"

#include <optional>
#include <string>
#include <string_view>

namespace zorvast::pointing {

inline constexpr double kReferenceDiameter = 150; // cm

struct FeedSpacing {
    std::string horizontalCaption; // "左方：" or "右方："
    int horizontal = 0;            // cm
    std::string verticalCaption;   // "上方：" or "下方："
    int vertical = 0;              // cm
    bool tooClose = false;         // the two feeds cannot both fit
    friend bool operator==(const FeedSpacing&, const FeedSpacing&) = default;
};

// `delta` is the main satellite's position less the second one's, in degrees east.
FeedSpacing feedSpacingFor(double delta, FeedType feed, float diameter);

// The skew to set on the second feed: the polarisation label's formula for that satellite.
double secondFeedPolarisation(double siteLongitude, double siteLatitude, double satelliteLongitude);

// A position code without its hemisphere letter: "E125" -> "125".
std::string positionDigits(std::string_view code);

struct FeedSpacingInputs {
    std::string mainSatelliteText;   // "E115.5(name)"
    std::string offsetSatelliteText; // "E125"
    FeedType feed = FeedType::PrimeFocus;
    std::string modelText; // "中卫[150cm]"
    std::string longitudeText;
    std::string latitudeText;
};

struct FeedSpacingResult {
    std::optional<FeedSpacing> spacing; // nothing when both satellites are the same
    std::string polarisationText;
};

FeedSpacingResult estimateFeedSpacing(const FeedSpacingInputs& inputs);

inline constexpr std::string_view kSameSatelliteText =
    "选择的偏收和主收卫星方位相同，请重新选择！\r\n"
    "（因为同一个焦点放不下两个高频头，如果想多机接收请选用多输出式高频头。）";
inline constexpr std::string_view kFeedsTooCloseCaption = "提示";
inline constexpr std::string_view kFeedsTooCloseText =
    "两个高频头距离太近，无法正常接收！\r\n建议用两套天线分别接收或采用一头双星兼顾接收。\r\n"
    "（提示：加大天线尺寸可以增加多星接收下高频头之间的距离）";

} // namespace zorvast::pointing
