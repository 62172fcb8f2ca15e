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

// The transfer callback: the size notification marks the transfer running, every end clears it.
void onTransferEvent(UpdateState& state, TransferEvent event, double value);

// Reads the kind's mirror list and starts the first mirror; false (with the kind's texts) when
// the list gave no URL. The data kind then starts the software check on a new worker.
bool startPackageDownload(UpdateFlow& flow, PackageKind kind);

// Bar steps per tick from the bytes of this tick and the announced size: ratio = total / delta
// and step = 100 / ratio + 1, truncated toward zero; 0 when delta or ratio is 0.
int progressStep(std::uint64_t delta, double totalBytes);
// The bar position after a step, kept within 0..100.
int advancedBarValue(int current, int step);

// The TransferMonitor tick, on the window thread.
void transferMonitorTick(UpdateFlow& flow);

// Stops the transfer, removes its file and starts the next entry of the mirror list; false when
// the list is used up.
bool goToNextMirror(UpdateFlow& flow, PackageKind kind);

} // namespace zorvast::update
