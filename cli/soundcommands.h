// The commands that listen to the source: levels (the envelope as text), and the cut lists
// proposed at pauses, every TIME or in N equal parts (silence, cut --silence|--every|--parts).
#pragma once

#include <iosfwd>
#include <string>

#include "cli/exitcode.h"
#include "cli/options.h"
#include "cut/runfeedback.h"
#include "cutlist/cutpoint.h"

namespace zembrio::cli {

bool WantsProposedPoints(const TCliOptions& options);
// Fills list with the points proposed for source (silence, or cut with --silence, --every
// or --parts); false when the user stopped the detection. Throws TUsageError for a bad
// option value.
bool ProposeCutList(const TCliOptions& options, const std::string& source, TCPList& list,
                    TRunContext& ctx);
// One line per step: time as the grid shows it, peak and RMS in dB, tab-separated.
TExitCode RunLevels(const TCliOptions& options, const std::string& source, TRunContext& ctx,
                    std::ostream& out);

// A time as the grid reads it, except that digits followed by "ms" alone count
// milliseconds ("10ms"); the grid would read them as minutes. Throws TUsageError.
TTimeValue ParseOptionTime(const std::string& option, const std::string& text);

}  // namespace zembrio::cli
