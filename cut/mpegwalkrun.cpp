#include "cut/mpegwalkrun.h"

#include "core/fileio.h"
#include "core/platform.h"
#include "cut/statsreport.h"

namespace zembrio {

void TMpegWalkRun::OpenSource(bool skipVbrHeader) {
  RequireSourceFile(run_.SourcePath);
  if (!IsRegularFile(run_.SourcePath))
    throw TRunError(std::string(kSourceNotRegular) + " " + run_.SourcePath);
  source_ = std::make_unique<TMPGFile>();
  source_->SetKeepSearching([this] { return KeepGoing(); });
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

void TMpegWalkRun::StopWalk() {
  StopHelpers();
  if (source_) {
    ShowProgress(true);
    source_->Close();
  }
}

std::string TMpegWalkRun::ShownPosition() const {
  return PositionText(source_->RefSampleRate(), source_->StartSample());
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

void TMpegWalkRun::ShowFinishedMessage() {
  if (source_->ErrorCount() > 0) {
    feedback_.ShowMessage("Terminé, mais avec  " + std::to_string(source_->ErrorCount()) +
                          " err. frames.  " + std::to_string(source_->SkippedBytes()) +
                          " octets sautés.");
  }
}

void TMpegWalkRun::ReleaseSource() {
  ReleaseWalk();
  source_.reset();
}

}  // namespace zembrio
