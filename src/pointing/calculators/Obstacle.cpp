#include "pointing/calculators/Obstacle.h"

#include "common/Numbers.h"
#include "pointing/geometry/PointingGeometry.h"

#include <cmath>

namespace zorvast::pointing {

using common::greaterThan;
using common::lessThan;

double minimumElevation(double distance, double obstacleHeight, double antennaHeight) {
    return common::decimalRound(toDegrees(std::atan((obstacleHeight - antennaHeight) / distance)),
                                1);
}

namespace {

using Box = ObstacleOutcome::Box;

constexpr std::string_view kDistanceError =
    "障碍距离输入错误，请重新输入！\r\n（提示：必须是大于0，而且不能大于9000的数字）";
constexpr std::string_view kObstacleHeightError =
    "障碍高度输入错误，请重新输入！\r\n（提示：必须是大于0，而且不能大于9000的数字）";
constexpr std::string_view kAntennaHeightError =
    "天线的高度输入错误，请重新输入！\r\n（提示：必须是大于或等于0，而且不能大于9000的数字）";
constexpr std::string_view kAntennaAboveObstacle =
    "软件对输入的数据有些疑惑，也请您检查输入是否错误！\r\n"
    "（提示：您的天线比障碍还高有必要计算吗？）";

ObstacleOutcome refusal(std::string_view message, Box box, std::string_view corrected,
                        std::string_view result = {}) {
    return {std::string(message), box, std::string(corrected), std::string(result), false};
}

} // namespace

ObstacleOutcome computeObstacleClearance(const ObstacleInputs& in) {
    const double d = common::parseLeadingNumber(in.distanceText);
    if (lessThan(d, 1) || greaterThan(d, 9000)) {
        return refusal(kDistanceError, Box::Distance, "1");
    }
    const double h = common::parseLeadingNumber(in.obstacleHeightText);
    if (lessThan(h, 1) || greaterThan(h, 9000)) {
        return refusal(kObstacleHeightError, Box::ObstacleHeight, "1");
    }
    const double a = common::parseLeadingNumber(in.antennaHeightText);
    if (lessThan(a, 0) || greaterThan(a, 9000)) {
        return refusal(kAntennaHeightError, Box::AntennaHeight, "0");
    }
    if (greaterThan(a, h)) {
        return refusal(kAntennaAboveObstacle, Box::AntennaHeight, "0", "0");
    }
    ObstacleOutcome out;
    out.antennaBoxZeroed = std::fabs(a) <= common::comparisonTolerance;
    out.resultText = common::formatDouble(minimumElevation(d, h, a));
    return out;
}

} // namespace zorvast::pointing
