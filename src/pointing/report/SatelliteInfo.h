// The parameter tab's detail text for a satellite: its remark and the strongest and weakest
// C- and Ku-band strengths where known.
#pragma once

#include <string>
#include <string_view>

namespace zorvast::pointing {

inline constexpr std::string_view kDefaultDetailText =
    "\r\n此位置，选择卫星后将显示卫星资料，选择频道后将显示频道资料。";

// `sMax` and `sMin` pack the C value in their first five GBK bytes and the Ku value in their
// last five; a value reading as 0 is missing.
std::string satelliteInfoText(std::string_view itemText, std::string_view remark,
                              std::string_view sMax, std::string_view sMin);

} // namespace zorvast::pointing
