#include "info/pages/ExternalPages.h"

#include <cstdlib>

namespace zorvast::info {

std::string paramSiteRoot() {
    return paramSiteRootFrom(std::getenv(kParamSiteVariable));
}

std::string paramSiteRootFrom(const char* override) {
    std::string root = override && *override ? std::string(override) : std::string(kParamSiteRoot);
    while (!root.empty() && root.back() == '/') {
        root.pop_back();
    }
    return root;
}

std::string satelliteMapAddress(const std::string& root) {
    return root + "/ge/";
}

std::string strengthMapAddress(const std::string& root, std::string_view satelliteEntry) {
    return root + "/cqt/" + strengthMapKey(satelliteEntry) + ".htm";
}

std::string moreParametersAddress(const std::string& root) {
    return root;
}

std::string strengthMapKey(std::string_view satelliteEntry) {
    std::string key(satelliteEntry.substr(0, satelliteEntry.find('(')));
    if (const auto dot = key.find('.'); dot != std::string::npos) {
        key[dot] = '_';
    }
    return key;
}

} // namespace zorvast::info
