// What every run over a source does around its own work, for the cut and the statistics of
// every format alike: the busy state entered and left, the progress shown now and then, the
// failure or the abort said, and the report shown when the source was read to its end. The
// derived run opens the source, walks it and writes the report's own lines.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cut/runfeedback.h"
#include "cut/splitter.h"
#include "cutlist/cutpoint.h"

namespace zembrio {

// The state texts of a run.
constexpr const char* kCutStateText = "En cours..";
constexpr const char* kStatsStateText = "Stats";

// After a cut that went through the source to its end: every named point that it never
// reached lies past the end, and one message says so, a line for each, not the report alone.
void SayUnreachedPoints(IRunFeedback& feedback, const TCPList& list);

class TSourceWalkRun {
 public:
  TSourceWalkRun(TRunContext& ctx, const char* stateText)
      : ctx_(ctx), feedback_(ctx.Feedback), stateText_(stateText) {}
  virtual ~TSourceWalkRun() = default;
  TSourceWalkRun(const TSourceWalkRun&) = delete;
  TSourceWalkRun& operator=(const TSourceWalkRun&) = delete;

  // Runs the walk with all its closing steps, messages and report. Returns RunEndOfData
  // (finished), RunFailed or RunAborted.
  TRunOutcome Run();

 protected:
  // Opens the source and what the walk needs: refused (TRunError) when it holds nothing to walk.
  virtual void Prepare() = 0;
  // Sets outcome_ to RunEndOfData once the source was read to its end, RunAborted on an abort.
  virtual void Walk() = 0;
  // What the run starts anew before the busy state is entered.
  virtual void StartAnew() {}
  // The walk ended, maybe early, and its failure is not said yet: the helpers stopped, the
  // last progress shown, the source closed.
  virtual void StopWalk() {}
  // After the failure, if any, was said: what the outcome leaves to tidy up.
  virtual void Conclude() {}
  // The share of the source walked, and where the walk stands, for the progress shown.
  virtual double Progress() const = 0;
  virtual std::string ShownPosition() const = 0;
  // The report of a run that read the source to its end; it may still fail the run.
  virtual std::vector<std::string> MakeReport() = 0;
  // What a run that read the source to its end says besides its report.
  virtual void ShowFinishedMessage() {}
  // After the message of a run that failed.
  virtual void OnFailure() {}
  // Lets go of the source and of what refers to it, once everything is shown.
  virtual void ReleaseSource() {}

  // The progress, at most every so often unless forced; pending events (an abort) are heard.
  void ShowProgress(bool forced);
  // For the waits and copies that call back: the progress shown, false once an abort was
  // asked for.
  bool KeepGoing();
  // True once an abort was asked for: the run's outcome says so then.
  bool AbortHeard();
  bool ReachedEnd() const { return outcome_ == RunEndOfData; }
  // A source that is missing, or a folder, is refused before anything is read.
  static void RequireSourceFile(const std::string& path);

  TRunContext& ctx_;
  IRunFeedback& feedback_;
  // A RunOutcome, or while an MPEG source is walked the HeaderResult of its last step.
  int32_t outcome_ = RunFailed;
  std::chrono::milliseconds elapsed_{0};  // from the start to the walk's end

 private:
  void Begin();
  std::optional<std::string> Attempt();
  TRunOutcome End();
  void ShowOutcomeMessage();

  const char* stateText_;
  TClock::time_point startTime_{};
};

// A run that goes along the cut list: each row's report is "  non atteint" until the walk
// reaches its point, and a cut's report ends with every fragment's.
class TCutListRun : public TSourceWalkRun {
 public:
  TCutListRun(TRunContext& ctx, TCPList& list, const char* stateText)
      : TSourceWalkRun(ctx, stateText), list_(list) {}

 protected:
  // The rows' reports and the run's record of outputs start anew.
  void StartAnew() override;
  // Ends the row of cut point index with its report's last line and its status.
  void EndRow(int index, const char* reportLine, const char* status);
  // The row of a fragment that the run left unfinished: aborted or failed.
  void EndUnfinishedRow(int index);
  // After a walk that read the source to its end.
  void SayUnreachedPoints() { zembrio::SayUnreachedPoints(feedback_, list_); }

  TCPList& list_;
};

// Makes the fragments' folder and gives its path ending with a delimiter. One that cannot be
// made is not an error here: it shows up as the error of the first output file, with the
// platform's text.
std::string MakeFragmentFolder(const std::string& folder);

}  // namespace zembrio
