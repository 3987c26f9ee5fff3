// The FLAC cut: one walk over the source's frames writes every track. Whole frames are
// copied, renumbered for their place in the track; the partial blocks at a track's two ends
// are decoded and encoded anew, so that each track holds exactly its samples. A second
// thread decodes the source for the tracks' MD5s and checks the source's own.
#pragma once

#include <string>

#include "cut/runfeedback.h"
#include "cut/splitter.h"
#include "cutlist/cutpoint.h"

namespace zembrio {

struct TFlacCutRun {
  std::string SourcePath;
  std::string OutputDir;  // tracks go here as <Name>.flac; made when missing
  bool Tags = true;       // each track gets its own fields as Vorbis comments (ID3V2TAG)
};

// Report lines of the source's MD5 check.
constexpr const char* kSourceMd5Verified = "MD5 source: vérifié";
constexpr const char* kSourceMd5Different = "MD5 source: différent";
// After the reader's own message, when the source's metadata cannot be read.
constexpr const char* kFlacTagsLost = " Les pistes sont écrites sans étiquettes ni images.";

// Cuts the source at the points of list; statuses, messages and the report as the MPEG cut
// shows them. Returns RunEndOfData when finished, RunFailed or RunAborted.
TRunOutcome CutFlac(TRunContext& ctx, TCPList& list, const TFlacCutRun& run);

}  // namespace zembrio
