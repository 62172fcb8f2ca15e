// Pages of the parameter website that three buttons open in the system's browser.
#pragma once

#include <string>
#include <string_view>

namespace zorvast::info {

// The website's root, without a trailing slash.
inline constexpr std::string_view kParamSiteRoot = "http://www.zorvast.cn/param";
// Replaces the root (tests, private mirrors).
inline constexpr const char* kParamSiteVariable = "ZORVAST_PARAM_SITE";

// The root in force: ZORVAST_PARAM_SITE when it is set and not empty, else kParamSiteRoot.
std::string paramSiteRoot();
// The same from a given override (null or empty: the built-in root); trailing slashes dropped.
std::string paramSiteRootFrom(const char* override);

// "卫星图定位": the satellite map.
std::string satelliteMapAddress(const std::string& root);
// "场强图": the signal strength map of the pointing tab's current satellite entry.
std::string strengthMapAddress(const std::string& root, std::string_view satelliteEntry);
// "更多参数": the website itself.
std::string moreParametersAddress(const std::string& root);

// The strength map's page name: the entry before its first "(" (the whole entry when it has
// none), with the first "." made "_": "E115.5(中星6B)" gives "E115_5".
std::string strengthMapKey(std::string_view satelliteEntry);

} // namespace zorvast::info
