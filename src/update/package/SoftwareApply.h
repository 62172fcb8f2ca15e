// A downloaded program package: checked in memory when its transfer has ended, then offered to
// the user, who may let the replacement helper install it.
#pragma once

#include "update/check/UpdateFlow.h"
#include "update/roles/ReplaceHelper.h"

#include <cstdint>

namespace zorvast::update {

// The software branch of the monitor tick: a package signed with the flow's key goes to
// applySoftwarePackage with the size of its "plumo.exe", anything else moves on to the next
// mirror. Nothing of it is unpacked to disk: the replacement helper reads and checks the
// download again itself.
void softwareTransferEnded(UpdateFlow& flow);

// On the window thread: waits for a running database access, then, when the new program
// (`programBytes`, 0 for none) is larger than kMinimumProgramBytes, asks whether to install
// it now; OK hands over to the replacement helper and ends the program.
void applySoftwarePackage(UpdateFlow& flow, std::uint64_t programBytes);

} // namespace zorvast::update
