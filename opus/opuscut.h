// The Ogg Opus cut: one walk over the source's packets writes every fragment as a stream of
// its own, nothing decoded or encoded. Each fragment starts about a second before its point
// (the pre-roll its decoder needs to settle) and drops that second through its pre-skip;
// its last page's granule ends it at the exact sample. The first fragment keeps the
// source's pre-skip, the last one its end trim.
#pragma once

#include <cstdint>
#include <string>

#include "cut/runfeedback.h"
#include "cut/splitter.h"
#include "cutlist/cutpoint.h"

namespace zembrio {

struct TOpusCutRun {
  std::string SourcePath;
  // Fragments go here as <Name>.opus, or <Name>.ogg when the source's name ends with ".ogg";
  // made when missing.
  std::string OutputDir;
  bool Tags = true;  // each fragment gets its own fields as comments (ID3V2TAG)
};

// Decoded samples a fragment starts before its point: a decoder that starts cold has
// settled after much less (CELT: 400 ms), and a second fits the 16-bit pre-skip with a
// packet to spare.
constexpr int64_t kOpusPreRoll = 48000;

// The extension of a fragment of sourcePath: ".ogg" for a source named so, else ".opus".
std::string OpusFragmentExtension(const std::string& sourcePath);

// Cuts the source at the points of list; statuses, messages and the report as the MPEG cut
// shows them. Returns RunEndOfData when finished, RunFailed or RunAborted.
TRunOutcome CutOpus(TRunContext& ctx, TCPList& list, const TOpusCutRun& run);

}  // namespace zembrio
