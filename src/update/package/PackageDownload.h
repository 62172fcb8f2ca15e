// Starting a package transfer from the mirror list, the once-a-second monitor tick that moves
// the bar and judges an ended transfer, and the walk to the next mirror.
#pragma once

#include "update/check/UpdateFlow.h"
#include "update/package/PackageKind.h"

#include <cstdint>
#include <filesystem>
#include <string>

namespace zorvast::update {

// The file a transfer of the kind writes, beside the program.
std::filesystem::path packageTarget(const UpdateFlow& flow, PackageKind kind);
// "/du.htm" or "/su.htm".
const char* mirrorListPath(PackageKind kind);

// The transfer callback: records the size, and how the transfer ended (which ends its running).
void onTransferEvent(UpdateState& state, TransferEvent event, double value);

// Reads the kind's mirror list and starts the first mirror (the one a partial download came
// from, when it is listed); false (with the kind's texts) when the list gave no URL. The data
// kind then starts the software check on a new worker.
bool startPackageDownload(UpdateFlow& flow, PackageKind kind);

// The bar position for the bytes in the file against the whole size: 100 only when the
// transfer is complete; `current` stays when no size is known.
int barPosition(const TransferProgress& progress, bool complete, int current);

// The TransferMonitor tick, on the window thread. A transfer runs from its start until the
// service reports its end; only then is its package judged or the next mirror tried.
void transferMonitorTick(UpdateFlow& flow);

// Stops the transfer and starts the next entry of the mirror list; false when the list is used
// up.
bool goToNextMirror(UpdateFlow& flow);

} // namespace zorvast::update
