// A result label as the tests write it: "- -" for a satellite out of sight, else the angle the
// text reads as.
#pragma once

#include "common/Numbers.h"
#include "pointing/Messages.h"
#include "pointing/results/PointingResult.h"

#include <string_view>

namespace zorvast::pointing {

inline ResultAngle labelOf(std::string_view text) {
    return text == kNotVisible ? ResultAngle::notVisible()
                               : ResultAngle::of(common::parseLeadingNumber(text));
}

} // namespace zorvast::pointing
