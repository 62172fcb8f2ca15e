#include "common/platform/linux/Xdg.h"

#include <cstdlib>

namespace zorvast::common::platform {

namespace fs = std::filesystem;

namespace {

// What currentEnvironment takes from the process: every variable read here or in the other
// files of this folder.
constexpr const char* kVariables[] = {"HOME", "XDG_RUNTIME_DIR", "XDG_CACHE_HOME", "XDG_DATA_HOME",
                                      "XDG_CONFIG_HOME"};

bool isAbsolute(std::string_view path) {
    return !path.empty() && path.front() == '/';
}

} // namespace

Environment currentEnvironment() {
    Environment environment;
    for (const char* name : kVariables) {
        if (const char* value = std::getenv(name); value && *value) {
            environment.emplace(name, value);
        }
    }
    return environment;
}

namespace xdg {

std::string variable(const Environment& environment, std::string_view name) {
    const auto found = environment.find(name);
    return found == environment.end() ? std::string() : found->second;
}

std::string absoluteVariable(const Environment& environment, std::string_view name) {
    std::string value = variable(environment, name);
    return isAbsolute(value) ? value : std::string();
}

fs::path home(const Environment& environment) {
    std::string value = absoluteVariable(environment, "HOME");
    while (value.size() > 1 && value.back() == '/') {
        value.pop_back();
    }
    return value.empty() ? fs::path("/") : fs::path(value);
}

namespace {

fs::path baseFolder(const Environment& environment, std::string_view name,
                    const fs::path& belowHome) {
    const std::string value = absoluteVariable(environment, name);
    return value.empty() ? home(environment) / belowHome : fs::path(value);
}

} // namespace

fs::path cacheHome(const Environment& environment) {
    return baseFolder(environment, "XDG_CACHE_HOME", ".cache");
}

fs::path dataHome(const Environment& environment) {
    return baseFolder(environment, "XDG_DATA_HOME", fs::path(".local") / "share");
}

fs::path configHome(const Environment& environment) {
    return baseFolder(environment, "XDG_CONFIG_HOME", ".config");
}

} // namespace xdg
} // namespace zorvast::common::platform
