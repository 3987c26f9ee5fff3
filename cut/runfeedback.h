// How long operations (cut, statistics, Ogg cut, join) show what they do, learn that the
// user asked them to stop, and ask the user questions. The desktop window and the
// command-line tool implement these interfaces; the engines never see a widget.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/fileio.h"

namespace zembrio {

using TClock = std::chrono::steady_clock;

// An error that ends an operation with a message of the program's own
// ("Source invalide.", "Fichier source non écrasable!").
class TRunError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The state that the operations share; owned by the window (or the CLI) and handed over.
struct TRunState {
  bool Idle = false;
  bool AbortRequested = false;
  TClock::time_point LastProgressUpdate{};
  bool OverwriteAll = false;
  // The outputs the current run has settled on (ConfirmOutputName): none of them is ever
  // replaced by a later output of the same run. Cleared with OverwriteAll at a run's start.
  std::set<std::string> RunOutputs;
};

class IRunFeedback {
 public:
  virtual ~IRunFeedback() = default;
  // Enters (false) or leaves (true) the busy state; implementations set TRunState::Idle.
  virtual void SetIdle(bool idle) = 0;
  virtual void ShowReady() = 0;
  virtual void SetProgress(double fraction) = 0;
  virtual void ShowStateText(const std::string& text) = 0;
  virtual void ShowInfoText(const std::string& text) = 0;
  // The only place where the abort request can arrive during an operation.
  virtual void ProcessPendingEvents() = 0;
  virtual void ShowMessage(const std::string& text) = 0;
  // An error that ended an action; ReportErrorText() gives the text to show.
  virtual void ReportError(const std::string& text) = 0;
  virtual void SetWaitCursor(bool on) = 0;
  // Grid rows: row 0 holds the captions, row i + 1 shows cut point i.
  virtual void SetRowStatus(int row, const std::string& status) = 0;
  // Empties every status cell (the column keeps its caption " Statut").
  virtual void ClearRowStatuses() = 0;
  virtual void SelectRow(int row) = 0;
  // The cut list changed under the grid (the Ogg path purges new rows and sorts).
  virtual void RefreshGrid() = 0;
  // The statistics window "Info...": shows the report lines (modal in the window).
  virtual void ShowReport(const std::vector<std::string>& lines) = 0;
};

enum class TOverwriteChoice { Overwrite, OverwriteAll, SaveAs, Stop };

struct TOverwriteAnswer {
  TOverwriteChoice Choice = TOverwriteChoice::Stop;
  std::string Name;  // with SaveAs: the name to use instead
};

class IRunQuestions {
 public:
  virtual ~IRunQuestions() = default;
  // The dialog "Avertissement" for an existing output file.
  virtual TOverwriteAnswer AskOverwrite(const std::string& message,
                                        const std::string& proposedName) = 0;
  // A yes/no question (the join's " existe. Ecraser ?").
  virtual bool AskYesNo(const std::string& text) = 0;
  // A save-file dialog; nullopt when cancelled.
  virtual std::optional<std::string> AskSaveFileName(const std::string& folder,
                                                     const std::string& proposedName) = 0;
};

// Everything an operation needs from its caller.
struct TRunContext {
  TRunState& State;
  IRunFeedback& Feedback;
  IRunQuestions& Questions;
};

// Pure rules that every implementation shares.
constexpr int kProgressBarMax = 1000;
// Nearest integer, a half going to the even neighbour (12.5 -> 12, 37.5 -> 38).
int64_t RoundHalfToEven(double value);
int ProgressBarPosition(double fraction);              // fraction x 1000, truncated
std::string ProgressTitle(double fraction);            // "12% Zembrio", half to even
std::string ReportErrorText(const std::string& text);  // adds "." after a letter or digit
// True when forced or more than 50 ms have passed since LastProgressUpdate; updates it.
bool ProgressDue(TRunState& state, bool forced);

constexpr const char* kApplicationTitle = "Zembrio";
constexpr const char* kMainCaption = "Zembrio " ZEMBRIO_VERSION;

}  // namespace zembrio
