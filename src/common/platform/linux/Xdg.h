// The freedesktop base folders, read from an environment the way the desktops read them: a
// variable that is unset, empty or relative is passed over for its default below $HOME.
#pragma once

#include "common/platform/Platform.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace zorvast::common::platform::xdg {

// The variable's value; "" when unset.
std::string variable(const Environment& environment, std::string_view name);

// The variable's value when it is an absolute path; "" otherwise.
std::string absoluteVariable(const Environment& environment, std::string_view name);

// $HOME without a trailing separator; "/" when it is unset or relative.
std::filesystem::path home(const Environment& environment);

std::filesystem::path cacheHome(const Environment& environment);  // ~/.cache
std::filesystem::path dataHome(const Environment& environment);   // ~/.local/share
std::filesystem::path configHome(const Environment& environment); // ~/.config

} // namespace zorvast::common::platform::xdg
