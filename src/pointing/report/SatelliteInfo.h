// The parameter tab's detail text for a satellite: its remark and the strongest and weakest
// C- and Ku-band strengths where known.
#pragma once

#include "pointing/Messages.h"

#include <string>
#include <string_view>

namespace zorvast::pointing {

// `sMax` and `sMin` pack the C value in their first five GBK bytes and the Ku value in their
// last five; a value reading as 0 is missing.
std::string satelliteInfoText(std::string_view itemText, std::string_view remark,
                              std::string_view sMax, std::string_view sMin);

} // namespace zorvast::pointing
