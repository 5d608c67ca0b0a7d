// The process-wide message id of upstream requests, shared with the camera SDK's replies.
#pragma once

namespace tessera {

// Returns the current id and advances the counter (from 0 upwards); safe from any thread.
int NextReportId();

}  // namespace tessera
