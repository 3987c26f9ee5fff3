// The WAV cutter: each named cut point's stretch sliced out of the source's `data` chunk
// into a WAV file of its own, sample-exact, the samples copied as they are. Everything
// around the samples (statuses, the overwrite policy, progress, abort, the report) goes
// as in the MPEG cut.
#pragma once

#include <cstdint>
#include <string>

#include "cut/runfeedback.h"
#include "cut/splitter.h"
#include "cutlist/cutpoint.h"

namespace zembrio {

struct TWavCutRun {
  std::string SourcePath;  // full path
  std::string OutputDir;   // tracks go here, made when missing
  // The largest RIFF size a track is written with before it becomes RF64.
  int64_t Rf64Threshold = 0xFFFFFFFF;
  bool Tags = true;  // each track gets its own fields in LIST/INFO and `id3 ` (ID3V2TAG)
};

// Cuts the source at the points of list into "<Name>.wav" files; returns RunEndOfData
// (finished), RunFailed or RunAborted, as ProcessMPEG does.
TRunOutcome CutWav(TRunContext& ctx, TCPList& list, const TWavCutRun& run);

}  // namespace zembrio
