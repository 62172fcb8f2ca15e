#include "channels/query/Selection.h"

namespace zorvast::channels {

namespace {

constexpr std::string_view kOpenBracket = "（";
constexpr std::string_view kCloseBracket = "）";

} // namespace

std::string satelliteCodeOf(std::string_view item) {
    const std::size_t open = item.find(kOpenBracket);
    return open == std::string_view::npos ? std::string() : std::string(item.substr(0, open));
}

std::string satelliteNameOf(std::string_view item) {
    const std::size_t open = item.find(kOpenBracket);
    if (open == std::string_view::npos) {
        return {};
    }
    const std::size_t start = open + kOpenBracket.size();
    const std::size_t close = item.find(kCloseBracket);
    if (close == std::string_view::npos) {
        return std::string(item.substr(start));
    }
    return close < start ? std::string() : std::string(item.substr(start, close - start));
}

SatelliteChoice satelliteChoiceOf(std::string_view item) {
    return {satelliteCodeOf(item), satelliteNameOf(item)};
}

} // namespace zorvast::channels
