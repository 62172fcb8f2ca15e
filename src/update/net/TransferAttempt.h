// One connection attempt of a transfer: the request for the file from an offset on, the bytes
// written as they come, and the time-outs that end a silent connection.
#pragma once

#include "update/net/TransferJob.h"
#include "update/net/TransferOutcome.h"

#include <curl/curl.h>

#include <cstdint>

namespace zorvast::update::transfer {

// One connection attempt on `multi` asking for the file from `offset` on (0: the whole file).
// `baseHeaders`: the no-cache headers every request sends.
AttemptEnd runAttempt(CURLM* multi, Job& job, std::uint64_t offset, curl_slist* baseHeaders,
                      const TransferSettings& used);

} // namespace zorvast::update::transfer
