// The private folders under their former names, for callers not yet including
// common/platform/Platform.h themselves.
#pragma once

#include "common/platform/Platform.h"

namespace zorvast::common {

using PrivateAreaEnvironment = platform::Environment;
using platform::downloadAreaFor;
using platform::preparePrivateFolder;
using platform::privateAreaFor;
using platform::PrivateFolderStatus;

inline PrivateAreaEnvironment currentPrivateAreaEnvironment() {
    return platform::currentEnvironment();
}

} // namespace zorvast::common
