// The MPEG runs: the cut, one walk over the source frames copying whole frames into one
// output file per named cut point, and the statistics walk (cut/statswalk.h).
#pragma once

#include <string>

#include "cut/mpegcutoptions.h"
#include "cut/runfeedback.h"
#include "cutlist/cutpoint.h"

namespace zembrio {

// Said once when the source's ID3v2 tag holds more than kSourceTagLimit bytes: the
// fragments get their own fields only.
constexpr const char* kSourceTagTooLarge =
    "Étiquette ID3v2 de la source trop grande (plus de 6 Mo) : elle n'est pas reprise dans "
    "les fragments.";
// Sources that hold nothing to walk: refused before anything is written.
constexpr const char* kSourceInvalid = "Source invalide.";
constexpr const char* kSourceNotRegular = "Source invalide, pas un fichier ordinaire :";
constexpr const char* kSourceWithoutFrames = "Source invalide : aucune frame MPEG trouvée.";
constexpr const char* kSourceFreeFormat =
    "Source invalide : MPEG en « format libre » (free format), non pris en charge.";

enum TRunOutcome : int32_t { RunOk = 0, RunEndOfData = 1, RunFailed = 4, RunAborted = 5 };

struct TMpegRun {
  bool Cut = true;         // false: statistics run
  bool Detail = false;     // statistics run: write the per-frame listing
  std::string SourcePath;  // full path
  std::string OutputDir;   // cut run: fragments go here ("/" appended when missing)
  std::string DetailPath;  // detail run: the listing file
};

// Runs the cut or statistics walk with all its closing steps, messages and report.
// Returns how it ended: RunEndOfData (finished), RunFailed or RunAborted.
TRunOutcome ProcessMPEG(TRunContext& ctx, TCPList& list, const TMpegRun& run,
                        const TMpegCutOptions& options);
// The same with the options of the settings record as they stand when it is called.
TRunOutcome ProcessMPEG(TRunContext& ctx, TCPList& list, const TMpegRun& run);
TMpegCutOptions MpegCutOptionsFromSettings();

}  // namespace zembrio
