#include "cut/splitter.h"

#include <algorithm>
#include <cassert>
#include <memory>
#include <optional>

#include "core/fileio.h"
#include "core/platform.h"
#include "core/settings.h"
#include "core/textutil.h"
#include "core/timevalue.h"
#include "cut/fragmentplan.h"
#include "cut/fragmentwriter.h"
#include "cut/mpegwalkrun.h"
#include "cut/oggcut.h"
#include "cut/overwrite.h"
#include "cut/sourcewalkrun.h"
#include "cut/statsreport.h"
#include "cut/statswalk.h"
#include "mpeg/mpgfile.h"
#include "mpeg/reservoir.h"
#include "tags/id3v2tag.h"

namespace zembrio {

namespace {

// The cut: one walk over the source frames, copying whole frames into one output file per
// named cut point.
class TMpegSplitter : public TMpegWalkRun {
 public:
  TMpegSplitter(TRunContext& ctx, TCPList& list, const TMpegRun& run,
                const TMpegCutOptions& options)
      : TMpegWalkRun(ctx, list, run, options), plan_(list, options) {}

 private:
  void Prepare() override;
  void Walk() override;
  void Conclude() override { FinishLastFragment(); }
  void RecordStretch(const std::string& line) override;
  void OnFailure() override;
  void ReleaseWalk() override { writer_.reset(); }

  bool FrameStartsNextCutPoint() const;
  int64_t StreamEnd() const { return plan_.StreamEnd(source_->EndSample()); }
  void MarkEmpty(TCutPoint& point, int row);
  // Cut points never started: at the stream's very end they are empty fragments; past it a
  // named one is said to be out of reach.
  void RecordUnreachedPoints();
  void StartFragment();
  void OpenFragmentOutput(int64_t start);
  std::vector<uint8_t> LeadingTag();
  // The current fragment ends where the next one starts: it closes now, or takes the frames
  // that finish its stretch first.
  void HandOver(int64_t nextStart);
  // Closes the fragments that have taken the frames that finish them; all of them when the
  // walk is over.
  void FinishClosing(bool all);
  void FinishFragment(bool last);
  void FinishLastFragment();
  bool EndsEmpty() const;
  int64_t CurrentFrom() const { return plan_.OwnStart(*current_, writer_->Span().Start); }
  void CopyFrame();
  void SetStatus(const std::string& status) { feedback_.SetRowStatus(row_, status); }

  TFragmentPlanner plan_;
  std::string outputDir_;
  std::string extension_;
  std::unique_ptr<TFragmentWriter> writer_;  // refers to source_ and plan_
  bool currentEmpty_ = false;                // the current cut point's fragment lasts nothing
  TCutPoint* current_ = nullptr;
  int row_ = 0;
  std::unique_ptr<TId3v2Source> id3v2_;  // ID3V2TAG 1: the tag fragments begin with
  int fragmentsWritten_ = 0;
  int fragmentTotal_ = 0;
};

void TMpegSplitter::Prepare() {
  // A fresh header frame replaces the source's, which describes the whole source.
  OpenSource(options_.SKIPVBRHEADER || options_.XINGHEADER);
  outputDir_ = MakeFragmentFolder(run_.OutputDir);
  if (options_.ID3V2TAG == 1) {
    id3v2_ = std::make_unique<TId3v2Source>(run_.SourcePath);
    if (id3v2_->TooLarge())
      feedback_.ShowMessage(kSourceTagTooLarge);
    // Tracks that share a start with the next one are not written: "n/N" counts the others.
    fragmentTotal_ = WrittenFragmentCount(list_);
    for (int i = 0; i + 1 < list_.Count(); ++i) {
      if (!list_[i].IsSkipped() && PositionAt(list_[i], source_->RefSampleRate()) ==
                                       PositionAt(list_[i + 1], source_->RefSampleRate()))
        --fragmentTotal_;
    }
  }
  extension_ = ExtractFileExt(run_.SourcePath);
  current_ = nullptr;
  const std::optional<TSourceHeader>& header = source_->SourceHeader();
  plan_.Start(source_->RefSampleRate(), source_->RefLayer(),
              header ? header->Lame : std::optional<TLameTag>{},
              SourceId(run_.SourcePath, source_->FileSize()));
  writer_ = std::make_unique<TFragmentWriter>(*source_, plan_);
  currentEmpty_ = false;
  row_ = 0;
}

void TMpegSplitter::Walk() {
  // Asked before every header read: inside a damaged stretch too, an abort is heard.
  const auto stopped = [this] { return Interrupted(); };
  for (;;) {
    const HeaderResult header = source_->NextFrame(stopped);
    const int32_t result = Interrupted() ? int32_t{RunAborted} : int32_t{header};
    outcome_ = result;
    RecordStretchOf(result);
    if (result != Ok)
      return;
    plan_.SetStream(source_->RefSampleRate(), source_->RefLayer());
    // Several cut points may start at one frame: all but the last of them are empty, or,
    // in exact mode, shorter than a frame.
    while (plan_.HasNext() && FrameStartsNextCutPoint()) {
      StartFragment();
      if (ctx_.State.AbortRequested) {
        outcome_ = RunAborted;
        return;
      }
    }
    if (writer_->Busy() || plan_.PrimesFragments()) {
      CopyFrame();
    } else {
      source_->SkipData();
    }
    stretches_.FrameWalked(*source_);
  }
}

void TMpegSplitter::CopyFrame() {
  source_->ReadData();
  writer_->WriteFrame();
  FinishClosing(false);
  writer_->KeepForNext();
}

bool TMpegSplitter::FrameStartsNextCutPoint() const {
  const bool lastFrame = source_->Position() + source_->DataLength() >= source_->AudioSize();
  return plan_.FrameStartsNext(source_->StartSample(), source_->EndSample(), lastFrame,
                               source_->EndSample());
}

void TMpegSplitter::MarkEmpty(TCutPoint& point, int row) {
  if (point.Report.empty()) {
    point.Report.emplace_back(kEmptyFragmentLine);
  } else {
    point.Report.front() = kEmptyFragmentLine;
  }
  feedback_.SetRowStatus(row, kOggEmpty);
}

void TMpegSplitter::RecordUnreachedPoints() {
  if (outcome_ != EndOfData || source_->RefSampleRate() == 0)
    return;
  const int64_t end = StreamEnd();
  for (int i = plan_.Next(); i < list_.Count(); ++i) {
    TCutPoint& point = list_[i];
    if (!point.IsSkipped() && plan_.TargetOf(point) <= end)
      MarkEmpty(point, i + 1);
  }
  SayUnreachedPoints();
}

// A stretch inside a fragment is reported with it; one before the first point with the
// run's errors.
void TMpegSplitter::RecordStretch(const std::string& line) {
  if (current_ != nullptr) {
    current_->Report.push_back(line);
  } else {
    TMpegWalkRun::RecordStretch(line);
  }
}

void TMpegSplitter::StartFragment() {
  const int64_t frameStart = source_->StartSample();
  const int64_t start = plan_.StretchStart(list_[plan_.Next()], frameStart);
  const bool empty = plan_.StartsEmpty(frameStart, source_->EndSample());
  HandOver(start);
  current_ = &list_[plan_.Next()];
  currentEmpty_ = false;
  ++row_;
  feedback_.SelectRow(row_);
  ShowProgress(true);
  if (current_->IsSkipped()) {
    current_->Report.clear();
    SetStatus("sauter ....");
  } else if (empty) {
    // Written, it would hold frames of the next one's stretch.
    current_->Report = {kEmptyFragmentLine};
    currentEmpty_ = true;
  } else {
    OpenFragmentOutput(start);
    if (ctx_.State.AbortRequested) {
      plan_.Advance();
      return;
    }
  }
  plan_.Advance();
  current_->Report.push_back(" début demandé:    " + FormatCutPoint(*current_));
  // With header frames, the start as it plays.
  const int64_t shown = plan_.ShownStart(start, frameStart);
  current_->Report.push_back(" début réel:  " + PositionText(source_->RefSampleRate(), shown));
  if (currentEmpty_)
    SetStatus(kOggEmpty);
}

void TMpegSplitter::OpenFragmentOutput(int64_t start) {
  std::string name = outputDir_ + OutputFileName(current_->Name) + extension_;
  SetStatus("écriture..");
  ConfirmOutputName(ctx_, run_.SourcePath, name);
  if (!ctx_.State.AbortRequested) {
    TFragmentOptions options;
    options.LeadingTag = LeadingTag();
    options.HeaderFrame = options_.XINGHEADER && source_->RefLayer() == kLayerIII;
    options.Source = source_->SourceHeader().value_or(TSourceHeader{});
    writer_->Open(name, std::move(options), start);
  }
  current_->Report = {" Nom fich: " + name};
}

void TMpegSplitter::HandOver(int64_t nextStart) {
  if (row_ == 0)
    return;
  if (!writer_->HandOver(current_, row_, nextStart))
    FinishFragment(false);
}

void TMpegSplitter::FinishClosing(bool all) {
  // While the stream may end before the current fragment's point, the fragment before it
  // may yet have to run to the end in its stead.
  const bool wait = !all && writer_->Writing() && CurrentFrom() >= StreamEnd();
  writer_->CloseFinished(all, wait, outcome_ == EndOfData, [this](TCutPoint& point, int row) {
    if (Finished()) {
      point.Report.emplace_back(" fait");
      feedback_.SetRowStatus(row, "fait");
    }
  });
}

std::vector<uint8_t> TMpegSplitter::LeadingTag() {
  if (!id3v2_)
    return {};
  ++fragmentsWritten_;
  return id3v2_->Render(
      FragmentTagsOf(list_, list_.IndexOf(current_), fragmentsWritten_, fragmentTotal_));
}

void TMpegSplitter::FinishFragment(bool last) {
  if (row_ == 0 || currentEmpty_)
    return;
  if (writer_->Writing()) {
    const bool empty = last && EndsEmpty();
    const std::string path = writer_->Finish(last, outcome_ == EndOfData);
    // A point at the stream's very end: the frames around it play nothing of its own.
    if (empty) {
      DeleteFile(path);
      MarkEmpty(*current_, row_);
      return;
    }
    if (Finished())
      EndRow(row_ - 1, " fait", "fait");
    return;
  }
  if (Finished()) {
    EndRow(row_ - 1, " sauté", "sauté");
  } else {
    EndUnfinishedRow(row_ - 1);
  }
}

// The last fragment of a finished run is only "fait" once it is safely on disk: a failed
// write or close turns the run into a failure. After an error or an abort the fragment is
// closed with what it holds and a further error adds nothing.
void TMpegSplitter::FinishLastFragment() {
  if (!writer_)  // the source was refused before anything was planned
    return;
  try {
    // The fragment before an empty last one runs to the end: it took every frame since.
    if (EndsEmpty())
      writer_->LetLastClosingRunToEnd();
    FinishClosing(true);
    FinishFragment(true);
    RecordUnreachedPoints();
  } catch (const std::exception& e) {
    if (outcome_ == EndOfData) {
      feedback_.ShowMessage(e.what());
      outcome_ = RunFailed;
    }
  }
}

// The fragment being written when the walk ended starts at or past the stream's end.
bool TMpegSplitter::EndsEmpty() const {
  if (!writer_->Writing() || currentEmpty_ || current_ == nullptr || outcome_ != EndOfData)
    return false;
  return CurrentFrom() >= StreamEnd();
}

void TMpegSplitter::OnFailure() {
  if (row_ > 0)
    SetStatus("! erreur!");
}

}  // namespace

TRunOutcome ProcessMPEG(TRunContext& ctx, TCPList& list, const TMpegRun& run,
                        const TMpegCutOptions& options) {
  if (!run.Cut)
    return RunMpegStatistics(ctx, list, run, options);
  return TMpegSplitter(ctx, list, run, options).Run();
}

TRunOutcome ProcessMPEG(TRunContext& ctx, TCPList& list, const TMpegRun& run) {
  return ProcessMPEG(ctx, list, run, MpegCutOptionsFromSettings());
}

TMpegCutOptions MpegCutOptionsFromSettings() {
  const TSettings& settings = Settings();
  TMpegCutOptions options;
  options.ADJUSTSTART = settings.ADJUSTSTART;
  options.ID3V1TAG = settings.ID3V1TAG;
  options.ID3V2TAG = settings.ID3V2TAG;
  options.SKIPVBRHEADER = settings.SKIPVBRHEADER;
  options.XINGHEADER = settings.XINGHEADER;
  return options;
}

}  // namespace zembrio
