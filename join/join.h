// Joining: every listed file copied in order into one output, frame by frame through
// TMPGFile, or byte for byte.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "cut/runfeedback.h"

namespace zembrio {

// jmFrames: MPEG frames through TMPGFile; jmRaw: byte for byte; jmFlac: one FLAC stream, frames
// renumbered and its MD5 made anew; jmWav: the samples of WAV files of one format.
enum class TJoinMode { jmFrames, jmRaw, jmFlac, jmWav };

// One row of the join list.
struct TJoinItem {
  std::string Name;    // "Nom": file name
  std::string Folder;  // "Chemin": folder with a trailing "/"
  std::string Status = "-";
  bool Selected = false;
};

using TJoinList = std::vector<TJoinItem>;

// Where the join list shows rows (the window's LVJoin; the CLI prints them).
class IJoinView {
 public:
  virtual ~IJoinView() = default;
  virtual void RowChanged(int index) = 0;  // status or selection of a row changed
};

// Row statuses of a join.
constexpr const char* kJoinNotDone = "-";
constexpr const char* kJoinReading = "lecture...";
constexpr const char* kJoinDone = "fait";
constexpr const char* kJoinPassedOver = "erreur(s)";
constexpr const char* kJoinAborted = "**   abandon  **";

constexpr const char* kJoinNothingToJoin = "Pas de fichiers à joindre !";
constexpr const char* kJoinNoOutputName = "Nom du fichier non spécifié !";
constexpr const char* kJoinSameName = "Source et but ont le même nom. Impossible de continuer.";
constexpr const char* kJoinExistsQuestion = " existe. Ecraser ?";
constexpr const char* kJoinFinished = "Collage terminé.";

// Raw copy moves every input through one block of this many bytes.
constexpr size_t kJoinBlockSize = 200000;

// The folder with a trailing "/" when it lacks one, then the name; a row without a folder
// names a file of the current folder.
std::string JoinItemPath(const TJoinItem& item);
// Every row's status becomes "-" (the caller tells its view).
void ResetJoinStatuses(TJoinList& list);
// Hands the fraction to the progress display and lets pending events run, when forced or
// when the last display is more than 50 ms old.
void ShowJoinProgress(TRunContext& ctx, bool force, double fraction);

enum class TJoinOutcome { Finished, Refused, Failed, Aborted };

// What a frame join takes from the settings, read once before it starts.
struct TJoinOptions {
  bool HeaderFrame = true;    // XINGHEADER: the joined file opens with a fresh header frame
  bool SkipVbrHeader = true;  // SKIPVBRHEADER: the inputs' own header frames are left out
};
TJoinOptions JoinOptionsFromSettings();

// Runs the whole join with its checks, question, progress, statuses and closing steps.
// Errors (an input that cannot be read, an output that cannot be written) go to
// IRunFeedback::ReportError after the closing steps and give Failed.
TJoinOutcome RunJoin(TRunContext& ctx, TJoinList& list, IJoinView& view,
                     const std::string& outputName, TJoinMode mode, const TJoinOptions& options);

}  // namespace zembrio
