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
  bool Tags = true;  // each fragment gets its own fields as Vorbis comments (ID3V2TAG)
};

struct TOggResult {
  bool Ran = false;  // false: the cutter was not found, nothing done
  bool AnyStepFailed = false;
  bool Aborted = false;
  bool Failed = false;  // an error ended the run; it went to IRunFeedback::ReportError
};

// Status words of the grid rows during an Ogg cut.
constexpr const char* kOggWriting = "écriture..";
constexpr const char* kOggSkipping = "sauter ...";
constexpr const char* kOggInterrupted = "interrup...";
constexpr const char* kOggDone = "fait";
constexpr const char* kOggSkipped = "sauté  ";
constexpr const char* kOggError = "** erreur**";
constexpr const char* kOggAborted = "**   abandon  **";
// Two points at the same time: the first of them starts a fragment without audio.
constexpr const char* kOggEmpty = "vide";
constexpr const char* kEmptyFragmentLine = "Fragment vide : aucun fichier écrit.";
constexpr const char* kNotReached = "  non atteint";

constexpr const char* kCutterMissing =
    "vcut.exe non trouvé, indiquez le chemin dans les réglages. ";
constexpr const char* kBatchFileName = "do_cut.sh";
constexpr const char* kOggInvalidSource =
    "Source invalide : fichier ogg vide ou sans fréquence d'échantillonnage.";

// Cuts the source at the points of list (at least two, after new rows are purged) into
// fragments named after the points; shows statuses, the log and any error through ctx.
TOggResult CutOgg(TRunContext& ctx, TCPList& list, const TOggRun& run);

// "_dummy_" + counter + ".ogg"; counts the counter up.
std::string NextDummyName(int& counter);

}  // namespace zembrio
