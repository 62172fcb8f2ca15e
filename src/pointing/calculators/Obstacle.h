// The lowest elevation a dish still sees over an obstacle in front of it.
#pragma once

#include <string>
#include <string_view>

namespace zorvast::pointing {

// Degrees, one decimal: atan((obstacle height - antenna height) / distance).
double minimumElevation(double distance, double obstacleHeight, double antennaHeight);

struct ObstacleInputs {
    std::string distanceText;
    std::string obstacleHeightText;
    std::string antennaHeightText;
};

// What the button does: a message with a box to correct, or the result.
struct ObstacleOutcome {
    enum class Box { None, Distance, ObstacleHeight, AntennaHeight };
    std::string message; // empty when the inputs were accepted
    Box correctedBox = Box::None;
    std::string correctedText;
    std::string resultText;        // written to the result label when not empty
    bool antennaBoxZeroed = false; // an empty or zero antenna box becomes "0"
};

ObstacleOutcome computeObstacleClearance(const ObstacleInputs& inputs);

} // namespace zorvast::pointing
