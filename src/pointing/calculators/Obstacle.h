// The lowest elevation a dish still sees over an obstacle in front of it.
#pragma once

#include <optional>
#include <string_view>

namespace zorvast::pointing {

// Degrees, one decimal: atan((obstacle height - antenna height) / distance).
double minimumElevation(double distance, double obstacleHeight, double antennaHeight);

// Metres.
struct ObstacleInputs {
    double distance = 0;
    double obstacleHeight = 0;
    double antennaHeight = 0;
};

// The three boxes, each read from its leading number (an empty box reads as 0).
ObstacleInputs readObstacleInputs(std::string_view distanceText, std::string_view heightText,
                                  std::string_view antennaHeightText);

// What the button does: a message with a box to correct, or the result.
struct ObstacleOutcome {
    enum class Box { None, Distance, ObstacleHeight, AntennaHeight };
    std::string_view message; // empty when the inputs were accepted
    Box correctedBox = Box::None;
    double correctedValue = 0;     // what the corrected box is set to
    std::optional<double> result;  // written to the result label when set
    bool antennaBoxZeroed = false; // an empty or zero antenna box becomes "0"
};

ObstacleOutcome computeObstacleClearance(const ObstacleInputs& inputs);

} // namespace zorvast::pointing
