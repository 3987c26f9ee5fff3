// "Statistiques..." on a FLAC source: one decode of the whole stream with libFLAC, the MD5
// checked as the reference tool's test does it, and a report of the stream, its tags and
// pictures and the frames that could not be read.
#pragma once

#include <string>

#include "cut/runfeedback.h"
#include "cut/splitter.h"

namespace zembrio {

// Runs the statistics of the FLAC file at path with progress and abort like the MPEG
// statistics run; shows the report when the stream was read to its end. Returns
// RunEndOfData (finished), RunFailed or RunAborted.
TRunOutcome FlacStatistics(TRunContext& ctx, const std::string& path);

}  // namespace zembrio
