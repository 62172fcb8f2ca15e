// A downloaded program package: unpacked into the helper folder and checked when its transfer
// has ended, then offered to the user, who may let the replacement helper install it.
#pragma once

#include "update/check/UpdateFlow.h"

#include <cstdint>

namespace zorvast::update {

// The new program file must be larger than this to be offered.
inline constexpr std::uint64_t kMinimumProgramBytes = 400000;

// The software branch of the monitor tick: a signed package goes to applySoftwarePackage,
// anything else moves on to the next mirror.
void softwareTransferEnded(UpdateFlow& flow);

// On the window thread: waits for a running database access, then asks whether to install the
// new version now; OK hands over to the replacement helper and ends the program.
void applySoftwarePackage(UpdateFlow& flow);

} // namespace zorvast::update
