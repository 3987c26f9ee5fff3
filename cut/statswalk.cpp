#include "cut/statswalk.h"

#include <algorithm>
#include <chrono>
#include <memory>

#include "cut/mpegwalkrun.h"
#include "cut/overwrite.h"
#include "cut/secondhalf.h"
#include "cut/statsreport.h"

namespace zembrio {

namespace {

class TStatisticsWalk : public TMpegWalkRun {
 public:
  using TMpegWalkRun::TMpegWalkRun;

 private:
  void Prepare() override;
  void Walk() override;
  void StopHelpers() override { secondHalf_.reset(); }
  double Progress() const override;
  std::vector<std::string> MakeReport() override;
  void ReleaseWalk() override { detail_.reset(); }

  void OpenDetailFile();
  // A walk without a listing counts frames and stretches only, which two walks can share:
  // the first half here, the second on another processor.
  void StartSecondHalf();
  // Called once the walk stands at or past the middle: true when the second half's walk
  // was taken over and the walk is complete, or the run was aborted meanwhile.
  bool JoinSecondHalf();
  // Waits for the second walk's start, or its end; false when the run was aborted.
  bool AwaitSecondHalf(bool toItsEnd);
  bool AtSecondHalf() const { return secondHalf_ && source_->Position() >= secondHalf_->Middle(); }

  std::unique_ptr<TDetailListing> detail_;       // refers to source_
  std::unique_ptr<TSecondHalfWalk> secondHalf_;  // while the walk is split
};

void TStatisticsWalk::Prepare() {
  OpenSource(options_.SKIPVBRHEADER);
  if (run_.Detail)
    OpenDetailFile();
}

void TStatisticsWalk::OpenDetailFile() {
  // Creating the listing empties the file: it must never be the source.
  if (IsSourcePath(run_.SourcePath, run_.DetailPath))
    throw TRunError(kSourceNotOverwritable);
  detail_ = std::make_unique<TDetailListing>(run_.DetailPath, *source_);
  source_->SetDetailSink(detail_.get());
}

void TStatisticsWalk::Walk() {
  StartSecondHalf();
  bool joined = false;
  // Asked before every header read: inside a damaged stretch too, the walk may meet the
  // second half's start, and an abort is heard.
  const auto stopped = [this, &joined] {
    if (Interrupted())
      return true;
    joined = AtSecondHalf() && JoinSecondHalf();
    return joined;
  };
  for (;;) {
    if (AtSecondHalf() && JoinSecondHalf())
      return;
    const HeaderResult header = source_->NextFrame(stopped);
    if (joined)
      return;
    const int32_t result = Interrupted() ? int32_t{RunAborted} : int32_t{header};
    outcome_ = result;
    RecordStretchOf(result);
    if (result != Ok)
      return;
    source_->SkipData();
    stretches_.FrameWalked(*source_);
  }
}

void TStatisticsWalk::StartSecondHalf() {
  secondHalf_.reset();
  if (detail_ || !firstFrameFound_ ||
      source_->AudioSize() - source_->FirstFramePos() < TSecondHalfWalk::kMinimumAudio)
    return;
  secondHalf_ = std::make_unique<TSecondHalfWalk>(*source_);
  // Each walk reads its own half as it goes: two busy threads for two processors.
  source_->StopReadingAhead();
}

// The display stays alive and an abort is heard while the second walk is waited for.
bool TStatisticsWalk::AwaitSecondHalf(bool toItsEnd) {
  constexpr std::chrono::milliseconds kWaitSlice{20};
  for (;;) {
    if (toItsEnd ? secondHalf_->Ended(kWaitSlice) : secondHalf_->StartKnown(kWaitSlice))
      return true;
    if (!KeepGoing()) {
      outcome_ = RunAborted;
      secondHalf_.reset();
      return false;
    }
  }
}

bool TStatisticsWalk::JoinSecondHalf() {
  if (!AwaitSecondHalf(false))
    return true;
  const int64_t start = secondHalf_->Start();
  const int64_t here = source_->Position();
  if (here < start)
    return false;
  if (here > start) {  // passed over it, or nothing was found: this walk goes on alone
    secondHalf_.reset();
    return false;
  }
  if (!AwaitSecondHalf(true))
    return true;
  secondHalf_->Finish();
  if (stretches_.Passed(*source_))  // a stretch that ends at the frame found
    errorLines_.push_back(stretches_.CountUpTo(*source_, start));
  const TSecondHalfWalk& half = *secondHalf_;
  source_->Append(half.File());
  errorLines_.insert(errorLines_.end(), half.ErrorLines().begin(), half.ErrorLines().end());
  stretches_.GoOnFrom(*source_, half.LastEnd());
  outcome_ = half.Outcome();
  secondHalf_.reset();
  return true;
}

double TStatisticsWalk::Progress() const {
  if (!secondHalf_)
    return source_->Progress();
  const double audio = static_cast<double>(source_->AudioSize() - source_->FirstFramePos());
  const auto walked = source_->Position() - source_->FirstFramePos() + secondHalf_->Walked();
  return std::min(static_cast<double>(walked) / audio, 1.0);
}

// With a listing, the report is appended to it; a listing that cannot be completed fails
// the run.
std::vector<std::string> TStatisticsWalk::MakeReport() {
  std::vector<std::string> lines = TMpegWalkRun::MakeReport();
  if (detail_) {
    try {
      detail_->WriteLines(lines);
      detail_->Close();
    } catch (const std::exception& e) {
      feedback_.ShowMessage(e.what());
      outcome_ = RunFailed;
    }
  }
  return lines;
}

}  // namespace

TRunOutcome RunMpegStatistics(TRunContext& ctx, TCPList& list, const TMpegRun& run,
                              const TMpegCutOptions& options) {
  return TStatisticsWalk(ctx, list, run, options).Run();
}

}  // namespace zembrio
