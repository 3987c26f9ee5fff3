// Ogg Vorbis cutting through the external cutter vcut: N cut points give N - 1 chained runs,
// each cutting the remainder of the previous one; or, in batch mode, a shell script holding
// the same commands.
#pragma once

#include <string>

#include "cut/runfeedback.h"
#include "cutlist/cutpoint.h"

namespace zembrio {

struct TOggRun {
  std::string SourcePath;
  std::string OutputDir;
  std::string CutterPath;  // VCUTEXE
  bool BatchMode = false;
};

struct TOggResult {
  bool Ran = false;         // false: the cutter was not found, nothing done
  bool AnyStepFailed = false;
  bool Aborted = false;
};

TOggResult CutOgg(TRunContext& ctx, TCPList& list, const TOggRun& run);

}  // namespace zembrio
