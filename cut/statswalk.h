// The statistics run of an MPEG source: one walk over its frames that counts them by
// bitrate and counts the corrupt stretches, with a per-frame listing on request.
#pragma once

#include "cut/mpegcutoptions.h"
#include "cut/runfeedback.h"
#include "cut/splitter.h"
#include "cutlist/cutpoint.h"

namespace zembrio {

// Runs the statistics walk of run (run.Cut false) with its closing messages and report.
TRunOutcome RunMpegStatistics(TRunContext& ctx, TCPList& list, const TMpegRun& run,
                              const TMpegCutOptions& options);

}  // namespace zembrio
