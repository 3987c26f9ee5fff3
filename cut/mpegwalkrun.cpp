#include "cut/mpegwalkrun.h"

#include <optional>

#include "core/fileio.h"
#include "core/platform.h"
#include "cut/overwrite.h"
#include "cut/statsreport.h"

namespace zembrio {

TRunOutcome TMpegWalkRun::Run() {
  Begin();
  std::optional<std::string> error;
  try {
    Prepare();
    Walk();
  } catch (const std::exception& e) {
    error = e.what();
  }
  StopHelpers();
  if (source_) {
    ShowProgress(true);
    source_->Close();
  }
  elapsed_ = std::chrono::duration_cast<std::chrono::milliseconds>(TClock::now() - startTime_);
  if (error) {
    feedback_.ShowMessage(*error);
    outcome_ = RunFailed;
  }
  Conclude();
  feedback_.SetIdle(true);
  feedback_.SetWaitCursor(false);

  std::vector<std::string> report;
  if (outcome_ == EndOfData)
    report = MakeReport();
  ShowOutcomeMessage();
  if (outcome_ == EndOfData)
    feedback_.ShowReport(report);

  const auto outcome = static_cast<TRunOutcome>(outcome_);
  ReleaseWalk();
  source_.reset();
  feedback_.ShowReady();
  return outcome;
}

void TMpegWalkRun::Begin() {
  ctx_.State.AbortRequested = false;
  StartOutputRun(ctx_.State);
  startTime_ = TClock::now();
  for (int i = 0; i < list_.Count(); ++i)
    list_[i].Report = {"  non atteint"};
  errorLines_.clear();
  feedback_.SetWaitCursor(true);
  feedback_.ShowStateText(run_.Cut ? "En cours.." : "Stats");
  feedback_.SetIdle(false);
  outcome_ = RunFailed;
}

void TMpegWalkRun::OpenSource(bool skipVbrHeader) {
  if (!FileExists(run_.SourcePath) || DirectoryExists(run_.SourcePath)) {
    throw TRunError(kSourceInvalid);
  }
  if (!IsRegularFile(run_.SourcePath))
    throw TRunError(std::string(kSourceNotRegular) + " " + run_.SourcePath);
  source_ = std::make_unique<TMPGFile>();
  source_->SetKeepSearching([this] {
    ShowProgress(false);
    return !ctx_.State.AbortRequested;
  });
  firstFrameFound_ = source_->Open(run_.SourcePath, skipVbrHeader);
  // When no first frame is found near the start the walk still runs from where the search
  // stopped, and the bytes searched stay counted as skipped; but a source with no stream
  // anywhere would only give fragments of stray sync patterns.
  if (!firstFrameFound_ && !ctx_.State.AbortRequested) {
    if (source_->StartsFreeFormat())
      throw TRunError(kSourceFreeFormat);
    if (!source_->StreamFurtherOn() && !ctx_.State.AbortRequested)
      throw TRunError(kSourceWithoutFrames);
  }
  stretches_ = TStretchCounter();
}

bool TMpegWalkRun::Interrupted() {
  if (--framesToClock_ == 0) {
    framesToClock_ = kFramesPerClockRead;
    ShowProgress(false);
  }
  return ctx_.State.AbortRequested;
}

void TMpegWalkRun::ShowProgress(bool forced) {
  if (!ProgressDue(ctx_.State, forced))
    return;
  feedback_.SetProgress(Progress());
  feedback_.ShowInfoText("Position source: " +
                         PositionText(source_->RefSampleRate(), source_->StartSample()));
  feedback_.ProcessPendingEvents();
}

std::vector<std::string> TMpegWalkRun::MakeReport() {
  TReportInput input;
  input.Cut = run_.Cut;
  input.SourcePath = run_.SourcePath;
  input.Figures = TStreamFigures::Of(*source_);
  input.Elapsed = elapsed_;
  input.ErrorLines = errorLines_;
  input.List = &list_;
  return BuildReport(input);
}

void TMpegWalkRun::ShowOutcomeMessage() {
  switch (outcome_) {
    case EndOfData:
      if (source_->ErrorCount() > 0) {
        feedback_.ShowMessage("Terminé, mais avec  " + std::to_string(source_->ErrorCount()) +
                              " err. frames.  " + std::to_string(source_->SkippedBytes()) +
                              " octets sautés.");
      }
      break;
    case RunAborted:
      feedback_.ShowMessage("  Abandon .");
      break;
    default:
      feedback_.ShowMessage("Opération avortée.");
      OnFailure();
      break;
  }
}

}  // namespace zembrio
