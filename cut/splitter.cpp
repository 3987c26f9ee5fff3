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
#include "cut/oggcut.h"
#include "cut/overwrite.h"
#include "cut/secondhalf.h"
#include "cut/statsreport.h"
#include "mpeg/mpgfile.h"
#include "mpeg/reservoir.h"
#include "tags/id3v2tag.h"

namespace zembrio {

namespace {

class TMpegSplitter {
 public:
  TMpegSplitter(TRunContext& ctx, TCPList& list, const TMpegRun& run,
                const TMpegCutOptions& options)
      : ctx_(ctx),
        feedback_(ctx.Feedback),
        list_(list),
        run_(run),
        options_(options),
        plan_(list, options, run.Cut) {}

  TRunOutcome Run();

 private:
  void Begin();
  void Prepare();
  void OpenDetailFile();
  void Walk();
  // Reads the progress clock now and then; true once an abort was asked for.
  bool Interrupted();
  void StartSecondHalf();
  // Called once the walk stands at or past the middle: true when the second half's walk
  // was taken over and the walk is complete, or the run was aborted meanwhile.
  bool JoinSecondHalf();
  // Waits for the second walk's start, or its end; false when the run was aborted.
  bool AwaitSecondHalf(bool toItsEnd);
  bool FrameStartsNextCutPoint() const;
  int64_t StreamEnd() const { return plan_.StreamEnd(source_->EndSample()); }
  void MarkEmpty(TCutPoint& point, int row);
  // Cut points never started: at the stream's very end they are empty fragments; past it a
  // named one is said to be out of reach.
  void RecordUnreachedPoints();
  void RecordFrameError(int32_t result);
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
  void ShowProgress(bool forced);
  void SetStatus(const std::string& status) { feedback_.SetRowStatus(row_, status); }
  bool Finished() const { return outcome_ == Ok || outcome_ == EndOfData; }
  std::vector<std::string> MakeReport();
  void ShowOutcomeMessage();

  TRunContext& ctx_;
  IRunFeedback& feedback_;
  TCPList& list_;
  const TMpegRun& run_;
  const TMpegCutOptions options_;
  TFragmentPlanner plan_;

  TClock::time_point startTime_{};
  std::chrono::milliseconds elapsed_{0};
  int32_t outcome_ = RunFailed;  // a HeaderResult while walking, or RunFailed / RunAborted
  std::string outputDir_;
  std::string extension_;
  std::unique_ptr<TMPGFile> source_;
  std::unique_ptr<TDetailListing> detail_;       // refers to source_: declared after it
  std::unique_ptr<TSecondHalfWalk> secondHalf_;  // while a statistics walk is split
  std::unique_ptr<TFragmentWriter> writer_;      // a cut run's; refers to source_ and plan_
  bool currentEmpty_ = false;                    // the current cut point's fragment lasts nothing
  bool firstFrameFound_ = false;                 // by the probe: the stream is known
  TCutPoint* current_ = nullptr;
  int row_ = 0;
  int64_t lastEnd_ = 0;
  int64_t lastSkipped_ = 0;
  std::vector<std::string> errorLines_;
  std::unique_ptr<TId3v2Source> id3v2_;  // ID3V2TAG 1: the tag fragments begin with
  int fragmentsWritten_ = 0;
  int fragmentTotal_ = 0;
  static constexpr int kFramesPerClockRead = 64;
  int framesToClock_ = 1;
};

TRunOutcome TMpegSplitter::Run() {
  Begin();
  std::optional<std::string> error;
  try {
    Prepare();
    Walk();
  } catch (const std::exception& e) {
    error = e.what();
  }
  secondHalf_.reset();  // stopped when the walk ended early
  if (source_) {
    ShowProgress(true);
    source_->Close();
  }
  elapsed_ = std::chrono::duration_cast<std::chrono::milliseconds>(TClock::now() - startTime_);
  if (error) {
    feedback_.ShowMessage(*error);
    outcome_ = RunFailed;
  }
  if (run_.Cut)
    FinishLastFragment();
  feedback_.SetIdle(true);
  feedback_.SetWaitCursor(false);

  std::vector<std::string> report;
  if (outcome_ == EndOfData)
    report = MakeReport();
  ShowOutcomeMessage();
  if (outcome_ == EndOfData)
    feedback_.ShowReport(report);

  const auto outcome = static_cast<TRunOutcome>(outcome_);
  writer_.reset();
  detail_.reset();
  source_.reset();
  feedback_.ShowReady();
  return outcome;
}

void TMpegSplitter::Begin() {
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

void TMpegSplitter::Prepare() {
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
  // A fresh header frame replaces the source's, which describes the whole source.
  const bool freshHeader = run_.Cut && options_.XINGHEADER;
  firstFrameFound_ = source_->Open(run_.SourcePath, options_.SKIPVBRHEADER || freshHeader);
  // When no first frame is found near the start the walk still runs from where the search
  // stopped, and the bytes searched stay counted as skipped; but a source with no stream
  // anywhere would only give fragments of stray sync patterns.
  if (!firstFrameFound_ && !ctx_.State.AbortRequested) {
    if (source_->StartsFreeFormat())
      throw TRunError(kSourceFreeFormat);
    if (!source_->StreamFurtherOn() && !ctx_.State.AbortRequested)
      throw TRunError(kSourceWithoutFrames);
  }
  if (run_.Cut) {
    outputDir_ = WithTrailingDelimiter(run_.OutputDir);
    // A folder that cannot be made shows up as the error of the first output file.
    try {
      ForceDirectories(outputDir_);
    } catch (const std::exception&) {
    }
  }
  if (!run_.Cut && run_.Detail)
    OpenDetailFile();
  if (run_.Cut && options_.ID3V2TAG == 1) {
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
  if (run_.Cut)
    writer_ = std::make_unique<TFragmentWriter>(*source_, plan_);
  currentEmpty_ = false;
  row_ = 0;
  lastEnd_ = 0;
  lastSkipped_ = 0;
}

void TMpegSplitter::OpenDetailFile() {
  // Creating the listing empties the file: it must never be the source.
  if (IsSourcePath(run_.SourcePath, run_.DetailPath))
    throw TRunError(kSourceNotOverwritable);
  detail_ = std::make_unique<TDetailListing>(run_.DetailPath, *source_);
  source_->SetDetailSink(detail_.get());
}

void TMpegSplitter::Walk() {
  StartSecondHalf();
  bool joined = false;
  // Asked before every header read: inside a damaged stretch too, the walk may meet the
  // second half's start, and an abort is heard.
  const auto stopped = [this, &joined] {
    if (Interrupted())
      return true;
    joined = secondHalf_ && source_->Position() >= secondHalf_->Middle() && JoinSecondHalf();
    return joined;
  };
  for (;;) {
    if (secondHalf_ && source_->Position() >= secondHalf_->Middle() && JoinSecondHalf())
      return;
    const HeaderResult header = source_->NextFrame(stopped);
    if (joined)
      return;
    const int32_t result = Interrupted() ? int32_t{RunAborted} : int32_t{header};
    outcome_ = result;
    if (source_->SkippedBytes() != lastSkipped_)
      RecordFrameError(result);
    if (result != Ok)
      return;
    if (run_.Cut)
      plan_.SetStream(source_->RefSampleRate(), source_->RefLayer());
    // Several cut points may start at one frame: all but the last of them are empty, or,
    // in exact mode, shorter than a frame.
    while (run_.Cut && plan_.HasNext() && FrameStartsNextCutPoint()) {
      StartFragment();
      if (ctx_.State.AbortRequested) {
        outcome_ = RunAborted;
        return;
      }
    }
    if (run_.Cut && (writer_->Busy() || plan_.PrimesFragments())) {
      CopyFrame();
    } else {
      source_->SkipData();
    }
    lastEnd_ = source_->Position();
  }
}

void TMpegSplitter::CopyFrame() {
  source_->ReadData();
  writer_->WriteFrame();
  FinishClosing(false);
  writer_->KeepForNext();
}

// A statistics walk without a listing counts frames and stretches only, which two walks can
// share: the first half here, the second on another processor.
// The clock is read every so many headers, not at every one: a walk passes tens of
// thousands of frames in the display's period.
bool TMpegSplitter::Interrupted() {
  if (--framesToClock_ == 0) {
    framesToClock_ = kFramesPerClockRead;
    ShowProgress(false);
  }
  return ctx_.State.AbortRequested;
}

void TMpegSplitter::StartSecondHalf() {
  secondHalf_.reset();
  if (run_.Cut || detail_ || !firstFrameFound_ ||
      source_->AudioSize() - source_->FirstFramePos() < TSecondHalfWalk::kMinimumAudio)
    return;
  secondHalf_ = std::make_unique<TSecondHalfWalk>(*source_);
  // Each walk reads its own half as it goes: two busy threads for two processors.
  source_->StopReadingAhead();
}

// The display stays alive and an abort is heard while the second walk is waited for.
bool TMpegSplitter::AwaitSecondHalf(bool toItsEnd) {
  constexpr std::chrono::milliseconds kWaitSlice{20};
  for (;;) {
    if (toItsEnd ? secondHalf_->Ended(kWaitSlice) : secondHalf_->StartKnown(kWaitSlice))
      return true;
    ShowProgress(false);
    if (ctx_.State.AbortRequested) {
      outcome_ = RunAborted;
      secondHalf_.reset();
      return false;
    }
  }
}

bool TMpegSplitter::JoinSecondHalf() {
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
  if (source_->SkippedBytes() != lastSkipped_) {  // a stretch that ends at the frame found
    errorLines_.push_back(CountCorruptStretch(*source_, lastEnd_, start));
  }
  const TSecondHalfWalk& half = *secondHalf_;
  source_->Append(half.File());
  errorLines_.insert(errorLines_.end(), half.ErrorLines().begin(), half.ErrorLines().end());
  lastEnd_ = half.LastEnd();
  lastSkipped_ = source_->SkippedBytes();
  outcome_ = half.Outcome();
  secondHalf_.reset();
  return true;
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
  if (!run_.Cut || outcome_ != EndOfData || source_->RefSampleRate() == 0)
    return;
  const int64_t end = StreamEnd();
  for (int i = plan_.Next(); i < list_.Count(); ++i) {
    TCutPoint& point = list_[i];
    if (point.IsSkipped())
      continue;
    if (plan_.TargetOf(point) <= end) {
      MarkEmpty(point, i + 1);
    } else {
      feedback_.ShowMessage("Point de coupe au-delà de la fin de la source, non atteint : " +
                            point.Name + " (" + FormatCutPoint(point) + ")");
    }
  }
}

// One line per corrupt stretch: where the last good frame ended and how many bytes lay
// between it and the header just found (or the end of the audio data).
void TMpegSplitter::RecordFrameError(int32_t result) {
  const int64_t headerBytes = result == EndOfData ? 0 : 4;
  const std::string line =
      CountCorruptStretch(*source_, lastEnd_, source_->Position() - headerBytes);
  if (current_ != nullptr) {
    current_->Report.push_back(line);
  } else {
    errorLines_.push_back(line);
  }
  lastSkipped_ = source_->SkippedBytes();
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
    if (Finished()) {
      current_->Report.emplace_back(" fait");
      SetStatus("fait");
    }
    return;
  }
  if (Finished()) {
    current_->Report.emplace_back(" sauté");
    SetStatus("sauté");
  } else if (outcome_ == RunAborted) {
    current_->Report.emplace_back(" **   abandon  **");
    SetStatus("**    abandon **");
  } else {
    current_->Report.emplace_back(" ** erreur**");
    SetStatus("** erreur**");
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

void TMpegSplitter::ShowProgress(bool forced) {
  if (!ProgressDue(ctx_.State, forced))
    return;
  double progress = source_->Progress();
  if (secondHalf_) {
    const double audio = static_cast<double>(source_->AudioSize() - source_->FirstFramePos());
    const auto walked = source_->Position() - source_->FirstFramePos() + secondHalf_->Walked();
    progress = std::min(static_cast<double>(walked) / audio, 1.0);
  }
  feedback_.SetProgress(progress);
  feedback_.ShowInfoText("Position source: " +
                         PositionText(source_->RefSampleRate(), source_->StartSample()));
  feedback_.ProcessPendingEvents();
}

// Builds the report and, with detail, appends it to the listing; a listing that cannot be
// completed fails the run.
std::vector<std::string> TMpegSplitter::MakeReport() {
  TReportInput input;
  input.Cut = run_.Cut;
  input.SourcePath = run_.SourcePath;
  input.Figures = TStreamFigures::Of(*source_);
  input.Elapsed = elapsed_;
  input.ErrorLines = errorLines_;
  input.List = &list_;
  std::vector<std::string> lines = BuildReport(input);
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

void TMpegSplitter::ShowOutcomeMessage() {
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
      if (run_.Cut && row_ > 0)
        SetStatus("! erreur!");
      break;
  }
}

}  // namespace

TRunOutcome ProcessMPEG(TRunContext& ctx, TCPList& list, const TMpegRun& run,
                        const TMpegCutOptions& options) {
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
