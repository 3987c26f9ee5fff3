#include "cut/sourcewalkrun.h"

#include <exception>

#include "core/fileio.h"
#include "core/platform.h"
#include "core/timevalue.h"
#include "cut/oggcut.h"
#include "cut/overwrite.h"

namespace zembrio {

TRunOutcome TSourceWalkRun::Run() {
  Begin();
  const std::optional<std::string> error = Attempt();
  StopWalk();
  elapsed_ = std::chrono::duration_cast<std::chrono::milliseconds>(TClock::now() - startTime_);
  if (error) {
    feedback_.ShowMessage(*error);
    outcome_ = RunFailed;
  }
  Conclude();
  return End();
}

void TSourceWalkRun::Begin() {
  ctx_.State.AbortRequested = false;
  startTime_ = TClock::now();
  StartAnew();
  feedback_.SetWaitCursor(true);
  feedback_.ShowStateText(stateText_);
  feedback_.SetIdle(false);
  outcome_ = RunFailed;
}

std::optional<std::string> TSourceWalkRun::Attempt() {
  try {
    Prepare();
    Walk();
  } catch (const std::exception& e) {
    return e.what();
  }
  return std::nullopt;
}

TRunOutcome TSourceWalkRun::End() {
  feedback_.SetIdle(true);
  feedback_.SetWaitCursor(false);
  std::vector<std::string> report;
  if (ReachedEnd())
    report = MakeReport();
  ShowOutcomeMessage();
  if (ReachedEnd())
    feedback_.ShowReport(report);
  const auto outcome = static_cast<TRunOutcome>(outcome_);
  ReleaseSource();
  feedback_.ShowReady();
  return outcome;
}

void TSourceWalkRun::ShowOutcomeMessage() {
  if (ReachedEnd()) {
    ShowFinishedMessage();
  } else if (outcome_ == RunAborted) {
    feedback_.ShowMessage("  Abandon .");
  } else {
    feedback_.ShowMessage("Opération avortée.");
    OnFailure();
  }
}

void TSourceWalkRun::ShowProgress(bool forced) {
  if (!ProgressDue(ctx_.State, forced))
    return;
  feedback_.SetProgress(Progress());
  feedback_.ShowInfoText("Position source: " + ShownPosition());
  feedback_.ProcessPendingEvents();
}

bool TSourceWalkRun::KeepGoing() {
  ShowProgress(false);
  return !ctx_.State.AbortRequested;
}

bool TSourceWalkRun::AbortHeard() {
  if (!ctx_.State.AbortRequested)
    return false;
  outcome_ = RunAborted;
  return true;
}

void TSourceWalkRun::RequireSourceFile(const std::string& path) {
  if (!FileExists(path) || DirectoryExists(path))
    throw TRunError(kSourceInvalid);
}

void TCutListRun::StartAnew() {
  StartOutputRun(ctx_.State);
  for (int i = 0; i < list_.Count(); ++i)
    list_[i].Report = {kNotReached};
}

void TCutListRun::EndRow(int index, const char* reportLine, const char* status) {
  list_[index].Report.emplace_back(reportLine);
  feedback_.SetRowStatus(index + 1, status);
}

void TCutListRun::EndUnfinishedRow(int index) {
  if (outcome_ == RunAborted) {
    EndRow(index, " **   abandon  **", "**    abandon **");
  } else {
    EndRow(index, " ** erreur**", "** erreur**");
  }
}

namespace {

std::string UnreachedPointMessage(const TCutPoint& point) {
  return "Point de coupe au-delà de la fin de la source, non atteint : " + point.Name + " (" +
         FormatCutPoint(point) + ")";
}

}  // namespace

void SayUnreachedPoints(IRunFeedback& feedback, const TCPList& list) {
  const std::vector<std::string> unreached{kNotReached};
  std::string lines;
  for (int i = 0; i < list.Count(); ++i) {
    const TCutPoint& point = list[i];
    if (!point.IsSkipped() && point.Report == unreached)
      lines += (lines.empty() ? "" : "\n") + UnreachedPointMessage(point);
  }
  // One message for them all: the window shows it in one box, however many tracks an
  // image cut short has lost.
  if (!lines.empty())
    feedback.ShowMessage(lines);
}

std::string MakeFragmentFolder(const std::string& folder) {
  std::string path = WithTrailingDelimiter(folder);
  try {
    ForceDirectories(path);
  } catch (const std::exception&) {
  }
  return path;
}

}  // namespace zembrio
