#include "pointing/calculators/Obstacle.h"

#include "common/Numbers.h"
#include "pointing/Messages.h"
#include "pointing/geometry/PointingGeometry.h"

#include <cmath>

namespace zorvast::pointing {

using common::greaterThan;
using common::lessThan;

double minimumElevation(double distance, double obstacleHeight, double antennaHeight) {
    return common::decimalRound(toDegrees(std::atan((obstacleHeight - antennaHeight) / distance)),
                                1);
}

ObstacleInputs readObstacleInputs(std::string_view distanceText, std::string_view heightText,
                                  std::string_view antennaHeightText) {
    return {common::parseLeadingNumber(distanceText), common::parseLeadingNumber(heightText),
            common::parseLeadingNumber(antennaHeightText)};
}

namespace {

using Box = ObstacleOutcome::Box;

ObstacleOutcome refusal(std::string_view message, Box box, double corrected,
                        std::optional<double> result = std::nullopt) {
    return {message, box, corrected, result, false};
}

} // namespace

ObstacleOutcome computeObstacleClearance(const ObstacleInputs& in) {
    const double d = in.distance;
    if (lessThan(d, 1) || greaterThan(d, 9000)) {
        return refusal(kDistanceErrorText, Box::Distance, 1);
    }
    const double h = in.obstacleHeight;
    if (lessThan(h, 1) || greaterThan(h, 9000)) {
        return refusal(kObstacleHeightErrorText, Box::ObstacleHeight, 1);
    }
    const double a = in.antennaHeight;
    if (lessThan(a, 0) || greaterThan(a, 9000)) {
        return refusal(kAntennaHeightErrorText, Box::AntennaHeight, 0);
    }
    if (greaterThan(a, h)) {
        return refusal(kAntennaAboveObstacleText, Box::AntennaHeight, 0, 0);
    }
    ObstacleOutcome out;
    out.antennaBoxZeroed = std::fabs(a) <= common::comparisonTolerance;
    out.result = minimumElevation(d, h, a);
    return out;
}

} // namespace zorvast::pointing
