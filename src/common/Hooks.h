// Hooks are std::function members that callers may leave empty; an empty one does nothing.
#pragma once

#include <functional>
#include <utility>

namespace zorvast::common {

// Calls `hook` with `args` when it is set.
template <typename... Params, typename... Args>
void callIfSet(const std::function<void(Params...)>& hook, Args&&... args) {
    if (hook) {
        hook(std::forward<Args>(args)...);
    }
}

} // namespace zorvast::common
