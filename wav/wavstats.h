// "Statistiques..." on a WAV source: what its header says, its length, its chunks and tags,
// shown as a report.
#pragma once

#include <string>

#include "cut/runfeedback.h"
#include "cut/splitter.h"

namespace zembrio {

// Shows the report through ctx.Feedback.ShowReport; returns RunEndOfData, or RunFailed
// (with the message shown) when the file cannot be read or is no WAV file.
TRunOutcome WavStatistics(TRunContext& ctx, const std::string& path);

}  // namespace zembrio
