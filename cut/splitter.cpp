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
#include "cut/fragmentoutput.h"
#include "cut/oggcut.h"
#include "cut/overwrite.h"
#include "cut/secondhalf.h"
#include "cut/statsreport.h"
#include "mpeg/mpgfile.h"
#include "mpeg/reservoir.h"
#include "tags/id3v2tag.h"

namespace zembrio {

namespace {

// ADJUSTSTART: which frame a cut point starts at.
constexpr int32_t kStartPrevious = 0;  // the frame that holds the point
constexpr int32_t kStartNearest = 1;   // the frame whose middle lies at or after the point
constexpr int32_t kStartNext = 2;      // the first frame starting at or after the point
constexpr int32_t kStartExact = 3;     // the point's own sample, trimmed with delay and padding

// The decoder's overlap-add needs the granule before the first exact sample: a fragment
// starts at the frame holding the sample this many samples earlier.
constexpr int64_t kWarmUpSamples = 576;
// And it needs to decode this many samples past a stretch's last one to finish it.
constexpr int64_t kFinishSamples = 1152;

// Where a fragment lies in the source, in frames of the walk and samples of the stream (the
// encoder delay included).
struct TFragmentSpan {
  int64_t FirstFrame = 0;  // its first audio frame (after a priming frame)
  int64_t StartFrame = 0;  // the frame holding its stretch's first sample
  int64_t Start = 0;       // its stretch's first sample
  int64_t End = -1;        // the sample after its last; -1: the source's end
  int64_t EndFrame = -1;   // the frame holding End
};

// A fragment before the current one while it takes the frames that finish its stretch,
// which the fragments after it start with too. Fragments shorter than those frames are
// several at once.
struct TClosingFragment {
  std::unique_ptr<TFragmentOutput> Output;
  TCutPoint* Point = nullptr;
  int Row = 0;
  TFragmentSpan Span;
  int64_t Until = 0;  // it takes the frames before this one
};

// The frame before the current one, kept whole with the reservoir as it stood before it:
// a fragment that starts at the current frame may begin with it.
struct TKeptFrame {
  std::vector<uint8_t> Bytes;
  TReservoirMark Mark;
  int64_t Index = -1;
};

// The same for every fragment of one cut of one source (FNV-1a of its name and size): a join
// leaves shared frames out only between fragments of the same source.
uint32_t SourceId(const std::string& path, int64_t size) {
  uint32_t hash = 2166136261u;
  const auto mix = [&hash](uint8_t byte) { hash = (hash ^ byte) * 16777619u; };
  for (char c : path)
    mix(static_cast<uint8_t>(c));
  for (int shift = 0; shift < 64; shift += 8)
    mix(static_cast<uint8_t>(static_cast<uint64_t>(size) >> shift));
  return hash;
}

// Rounds towards minus infinity: a stretch may start within the first granule.
int64_t FloorDiv(int64_t a, int64_t b) {
  return a >= 0 ? a / b : -((-a + b - 1) / b);
}

// ID3V1TAG: which fragments end with the source's ID3v1 tag.
constexpr int32_t kTagInLastFragment = 1;
constexpr int32_t kTagInEveryFragment = 2;

class TMpegSplitter {
 public:
  TMpegSplitter(TRunContext& ctx, TCPList& list, const TMpegRun& run)
      : ctx_(ctx), feedback_(ctx.Feedback), list_(list), run_(run) {}

  TRunOutcome Run();

 private:
  void Begin();
  void Prepare();
  void OpenDetailFile();
  void Walk();
  void StartSecondHalf();
  // Called once the walk stands at or past the middle: true when the second half's walk
  // was taken over and the walk is complete, or the run was aborted meanwhile.
  bool JoinSecondHalf();
  // Waits for the second walk's start, or its end; false when the run was aborted.
  bool AwaitSecondHalf(bool toItsEnd);
  bool FrameStartsNextCutPoint() const;
  // The same for the frame of samples start..end.
  bool StartsNextCutPoint(int64_t start, int64_t end) const;
  // Whether a cut point whose sample is target (on the timeline the frames are chosen on)
  // starts at the frame of samples start..end.
  bool StartsAt(int64_t target, int64_t start, int64_t end) const;
  // The sample of the next cut point, on the timeline the frames are chosen on.
  int64_t NextTarget() const;
  // The sample of a cut point on that timeline: with header frames, the one that plays at
  // the point's time, after the source's encoder delay.
  int64_t TargetOf(const TCutPoint& point) const;
  // The fragment starting now lasts nothing: the next cut point starts at the same place.
  bool StartsEmpty() const;
  // The end of the stream's samples on the timeline of the targets, once the walk is over.
  int64_t StreamEnd() const;
  void MarkEmpty(TCutPoint& point, int row);
  // Cut points never started: at the stream's very end they are empty fragments; past it a
  // named one is said to be out of reach.
  void RecordUnreachedPoints();
  bool ReservoirWanted(int64_t perFrame) const;
  void RecordFrameError(int32_t result);
  void StartFragment();
  void OpenFragmentOutput(int64_t start);
  std::vector<uint8_t> LeadingTag();
  void WriteWarmUpFrame(int64_t start);
  // The current fragment ends where the next one starts: it closes now, or takes the frames
  // that finish its stretch first.
  void HandOver(int64_t nextStart);
  // Closes the fragments that have taken the frames that finish them; all of them when the
  // walk is over.
  void FinishClosing(bool all);
  // Writes the current frame to output, after the priming frame when it is its first.
  void WriteCurrentFrame(TFragmentOutput& output);
  void FinishFragment(bool last);
  void FinishLastFragment();
  bool EndsEmpty() const;
  int64_t CurrentFrom() const;
  bool TagBelongsToFragment(bool last) const;
  TFragmentTrim TrimOf(const TFragmentOutput& output, const TFragmentSpan& span, bool last) const;
  // Where the fragment's frames lie in the source, for a join of consecutive fragments.
  TFragmentMark MarkOf(const TFragmentSpan& span, int64_t audioFrames) const;
  // The stream sample at which the stretch of the point starting at the current frame starts.
  int64_t StretchStart(const TCutPoint& point) const;
  int64_t SourceDelay() const;
  bool SharesFrames() const { return primeFragments_ && source_->RefLayer == kLayerIII; }
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

  TClock::time_point startTime_{};
  std::chrono::milliseconds elapsed_{0};
  int32_t outcome_ = RunFailed;  // a HeaderResult while walking, or RunFailed / RunAborted
  std::string outputDir_;
  std::string extension_;
  std::unique_ptr<TMPGFile> source_;
  std::unique_ptr<TDetailListing> detail_;                  // refers to source_: declared after it
  std::unique_ptr<TSecondHalfWalk> secondHalf_;             // while a statistics walk is split
  std::unique_ptr<TFragmentOutput> output_;                 // the fragment being written
  TFragmentSpan span_;                                      // where it lies
  std::vector<std::unique_ptr<TClosingFragment>> closing_;  // before it, still taking frames
  TReservoir reservoir_;  // for the priming frame of the next fragment
  TKeptFrame kept_;       // for its warm-up frame
  bool primeFragments_ = false;
  bool exact_ = false;         // ADJUSTSTART "exacte" with somewhere to write the trim
  bool currentEmpty_ = false;  // the current cut point's fragment lasts nothing
  uint32_t sourceId_ = 0;
  bool firstFrameFound_ = false;  // by the probe: the stream is known
  int next_ = 0;                  // index of the next cut point; Count() when none
  mutable int targetOf_ = -1;     // the cut point whose sample target_ holds
  mutable int64_t target_ = 0;
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
  source_->KeepSearching = [this] {
    ShowProgress(false);
    return !ctx_.State.AbortRequested;
  };
  // A fresh header frame replaces the source's, which describes the whole source.
  const bool freshHeader = run_.Cut && Settings().XINGHEADER;
  firstFrameFound_ = source_->Open(run_.SourcePath, Settings().SKIPVBRHEADER || freshHeader);
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
  if (run_.Cut && Settings().ID3V2TAG == 1) {
    id3v2_ = std::make_unique<TId3v2Source>(run_.SourcePath);
    if (id3v2_->TooLarge())
      feedback_.ShowMessage(kSourceTagTooLarge);
    // Tracks that share a start with the next one are not written: "n/N" counts the others.
    fragmentTotal_ = WrittenFragmentCount(list_);
    for (int i = 0; i + 1 < list_.Count(); ++i) {
      if (!list_[i].IsSkipped() && PositionAt(list_[i], source_->RefSampleRate) ==
                                       PositionAt(list_[i + 1], source_->RefSampleRate))
        --fragmentTotal_;
    }
  }
  extension_ = ExtractFileExt(run_.SourcePath);
  current_ = nullptr;
  primeFragments_ = run_.Cut && Settings().XINGHEADER;
  exact_ = SharesFrames() && Settings().ADJUSTSTART == kStartExact;
  sourceId_ = SourceId(run_.SourcePath, source_->FileSize());
  closing_.clear();
  currentEmpty_ = false;
  kept_.Index = -1;
  next_ = 0;
  targetOf_ = -1;
  row_ = 0;
  lastEnd_ = 0;
  lastSkipped_ = 0;
}

void TMpegSplitter::OpenDetailFile() {
  // Creating the listing empties the file: it must never be the source.
  if (IsSourcePath(run_.SourcePath, run_.DetailPath))
    throw TRunError(kSourceNotOverwritable);
  detail_ = std::make_unique<TDetailListing>(run_.DetailPath, *source_);
  source_->DetailFile = detail_.get();
  source_->Detail = true;
}

void TMpegSplitter::Walk() {
  StartSecondHalf();
  for (;;) {
    if (secondHalf_ && source_->Position() >= secondHalf_->Middle() && JoinSecondHalf())
      return;
    int32_t result = source_->ReadHeader();
    // The clock is read every so many frames, not at every one: a walk passes tens of
    // thousands of frames in the display's period.
    if (--framesToClock_ == 0) {
      framesToClock_ = kFramesPerClockRead;
      ShowProgress(false);
    }
    if (ctx_.State.AbortRequested)
      result = RunAborted;
    if (result == NoSync || result == Invalid) {
      source_->StepBack();
      continue;
    }
    outcome_ = result;
    if (source_->SkippedBytes != lastSkipped_)
      RecordFrameError(result);
    if (result != Ok)
      return;
    // Several cut points may start at one frame: all but the last of them are empty, or,
    // in exact mode, shorter than a frame.
    while (run_.Cut && next_ < list_.Count() && FrameStartsNextCutPoint()) {
      StartFragment();
      if (ctx_.State.AbortRequested) {
        outcome_ = RunAborted;
        return;
      }
    }
    if (run_.Cut && (output_ || !closing_.empty() || primeFragments_)) {
      CopyFrame();
    } else {
      source_->SkipData();
    }
    lastEnd_ = source_->Position();
  }
}

// With header frames, the frames shortly before a cut point pass through the reservoir:
// they hold the bytes that the first frame of the fragment needs.
void TMpegSplitter::CopyFrame() {
  source_->ReadData();
  const bool layerIII = primeFragments_ && source_->RefLayer == kLayerIII;
  if (output_)
    WriteCurrentFrame(*output_);
  for (const auto& closing : closing_)
    WriteCurrentFrame(*closing->Output);
  FinishClosing(false);
  // Kept only when the next frame starts a fragment: the frames of a stream all hold as many
  // samples, and the count goes on over frame errors.
  const int64_t perFrame = source_->CurrentHeader().SamplesPerFrame;
  if (layerIII && next_ < list_.Count() &&
      StartsNextCutPoint(source_->EndSample, source_->EndSample + perFrame)) {
    kept_.Mark = reservoir_.Mark();
    kept_.Index = source_->FrameCount - 1;
    kept_.Bytes.clear();
    for (const auto& [data, size] : source_->FrameBytes())
      kept_.Bytes.insert(kept_.Bytes.end(), data, data + size);
  }
  if (layerIII && ReservoirWanted(perFrame)) {
    reservoir_.Add(*source_);
  } else {
    reservoir_.Clear();
  }
}

void TMpegSplitter::WriteCurrentFrame(TFragmentOutput& output) {
  if (primeFragments_ && source_->RefLayer == kLayerIII && output.FramesWritten() == 0) {
    output.WriteFrame(*source_, reservoir_.PrimingFrame(*source_));
  } else {
    output.WriteFrame(*source_);
  }
}

// A fragment's first frames take at most 511 bytes from the frames before them, which even
// the smallest frames hold within a dozen: far from the next cut point the reservoir rests.
bool TMpegSplitter::ReservoirWanted(int64_t perFrame) const {
  constexpr int64_t kLeadFrames = 64;
  return next_ < list_.Count() && NextTarget() - source_->EndSample < kLeadFrames * perFrame;
}

// A statistics walk without a listing counts frames and stretches only, which two walks can
// share: the first half here, the second on another processor.
void TMpegSplitter::StartSecondHalf() {
  secondHalf_.reset();
  if (run_.Cut || detail_ || !firstFrameFound_ ||
      source_->AudioSize - source_->FirstFramePos < TSecondHalfWalk::kMinimumAudio)
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
  if (source_->SkippedBytes != lastSkipped_) {  // a stretch that ends at the frame found
    errorLines_.push_back(CountCorruptStretch(*source_, lastEnd_, start));
  }
  const TSecondHalfWalk& half = *secondHalf_;
  source_->Append(half.File());
  errorLines_.insert(errorLines_.end(), half.ErrorLines().begin(), half.ErrorLines().end());
  lastEnd_ = half.LastEnd();
  lastSkipped_ = source_->SkippedBytes;
  outcome_ = half.Outcome();
  secondHalf_.reset();
  return true;
}

// A point at or past the end of the stream starts nothing at its last frame: that frame
// ends the fragment before it.
bool TMpegSplitter::FrameStartsNextCutPoint() const {
  const bool lastFrame = source_->Position() + source_->DataLength >= source_->AudioSize;
  if (lastFrame && NextTarget() >= StreamEnd())
    return false;
  return StartsNextCutPoint(source_->StartSample, source_->EndSample);
}

// Asked for at every frame, twice: the sample is worked out once per cut point.
int64_t TMpegSplitter::NextTarget() const {
  if (targetOf_ != next_) {
    target_ = TargetOf(list_[next_]);
    targetOf_ = next_;
  }
  return target_;
}

// With header frames a fragment plays from the first sample after the encoder delay, as a
// gapless player plays the source: every mode reads the point's time on that timeline.
// Without them, the frames as they are.
int64_t TMpegSplitter::TargetOf(const TCutPoint& point) const {
  const int64_t sample = PositionAt(point, source_->RefSampleRate);
  return SharesFrames() ? sample + SourceDelay() : sample;
}

bool TMpegSplitter::StartsNextCutPoint(int64_t start, int64_t end) const {
  return StartsAt(NextTarget(), start, end);
}

bool TMpegSplitter::StartsAt(int64_t target, int64_t start, int64_t end) const {
  if (SharesFrames()) {  // the encoder delay never plays: the first frame starts after it
    start = std::max(start, SourceDelay());
    end = std::max(end, SourceDelay());
  }
  int32_t mode = Settings().ADJUSTSTART;
  if (mode == kStartExact && !exact_)  // nowhere to write the trim: the nearest frame
    mode = kStartNearest;
  switch (mode) {
    case kStartExact:
      return target < end;
    case kStartPrevious:
      return target <= end;
    case kStartNearest:
      return target <= start + (end - start) / 2;
    case kStartNext:
      return target <= start;
    default:
      return false;
  }
}

// The next cut point after the one starting now starts at the same frame and, in exact
// mode, at the same sample: nothing lies between them.
bool TMpegSplitter::StartsEmpty() const {
  if (next_ + 1 >= list_.Count())
    return false;
  const int64_t following = TargetOf(list_[next_ + 1]);
  if (!StartsAt(following, source_->StartSample, source_->EndSample))
    return false;
  return !exact_ || following <= NextTarget();
}

int64_t TMpegSplitter::StreamEnd() const {
  if (!SharesFrames())
    return source_->EndSample;
  const std::optional<TLameTag>& lame =
      source_->SourceHeader ? source_->SourceHeader->Lame : std::optional<TLameTag>{};
  return source_->EndSample - (lame ? lame->Padding : 0);
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
  if (!run_.Cut || outcome_ != EndOfData || source_->RefSampleRate == 0)
    return;
  const int64_t end = StreamEnd();
  for (int i = next_; i < list_.Count(); ++i) {
    TCutPoint& point = list_[i];
    if (point.IsSkipped())
      continue;
    if (TargetOf(point) <= end) {
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
  lastSkipped_ = source_->SkippedBytes;
}

int64_t TMpegSplitter::SourceDelay() const {
  const std::optional<TLameTag>& lame =
      source_->SourceHeader ? source_->SourceHeader->Lame : std::optional<TLameTag>{};
  return lame ? lame->Delay : kDefaultEncoderDelay;
}

int64_t TMpegSplitter::StretchStart(const TCutPoint& point) const {
  if (exact_)
    return TargetOf(point);
  // The encoder delay is no part of any fragment's stretch.
  return std::max(source_->StartSample, SourceDelay());
}

void TMpegSplitter::StartFragment() {
  const int64_t start = StretchStart(list_[next_]);
  const bool empty = StartsEmpty();
  HandOver(start);
  current_ = &list_[next_];
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
      ++next_;
      return;
    }
  }
  ++next_;
  current_->Report.push_back(" début demandé:    " + FormatCutPoint(*current_));
  // With header frames, the start as it plays.
  const int64_t shown = SharesFrames() ? start - SourceDelay() : source_->StartSample;
  current_->Report.push_back(" début réel:  " + PositionText(source_->RefSampleRate, shown));
  if (currentEmpty_)
    SetStatus(kOggEmpty);
}

void TMpegSplitter::OpenFragmentOutput(int64_t start) {
  std::string name = outputDir_ + OutputFileName(current_->Name) + extension_;
  SetStatus("écriture..");
  ConfirmOutputName(ctx_, run_.SourcePath, name);
  if (!ctx_.State.AbortRequested) {
    assert(!output_);
    TFragmentOptions options;
    options.LeadingTag = LeadingTag();
    options.HeaderFrame = Settings().XINGHEADER && source_->RefLayer == kLayerIII;
    options.Source = source_->SourceHeader.value_or(TSourceHeader{});
    output_ = std::make_unique<TFragmentOutput>(name, std::move(options));
    span_ = TFragmentSpan{};
    span_.FirstFrame = source_->FrameCount - 1;
    span_.StartFrame = span_.FirstFrame;
    span_.Start = start;
    WriteWarmUpFrame(start);
  }
  current_->Report = {" Nom fich: " + name};
}

// A fragment whose stretch starts less than a granule into its frame begins one frame
// earlier, with that frame's reservoir bytes in the priming frame: the delay trims both.
void TMpegSplitter::WriteWarmUpFrame(int64_t start) {
  if (!SharesFrames() || !output_->CanTrim() || kept_.Index != span_.StartFrame - 1)
    return;
  const int64_t perFrame = source_->CurrentHeader().SamplesPerFrame;
  if (FloorDiv(start - kWarmUpSamples, perFrame) >= span_.StartFrame)
    return;
  output_->WriteFrame(kept_.Bytes,
                      reservoir_.PrimingFrame(kept_.Bytes, source_->RefVersion, kept_.Mark));
  span_.FirstFrame = kept_.Index;
}

void TMpegSplitter::HandOver(int64_t nextStart) {
  if (row_ == 0)
    return;
  if (!output_ || !SharesFrames() || !output_->CanTrim()) {
    FinishFragment(false);
    return;
  }
  const int64_t perFrame = source_->CurrentHeader().SamplesPerFrame;
  auto closing = std::make_unique<TClosingFragment>();
  closing->Output = std::move(output_);
  closing->Point = current_;
  closing->Row = row_;
  closing->Span = span_;
  closing->Span.End = nextStart;
  closing->Span.EndFrame = source_->FrameCount - 1;
  closing->Until = (nextStart + kFinishSamples + perFrame - 1) / perFrame;
  closing_.push_back(std::move(closing));
}

void TMpegSplitter::FinishClosing(bool all) {
  if (closing_.empty())
    return;
  // While the stream may end before the current fragment's point, the fragment before it
  // may yet have to run to the end in its stead.
  const bool wait = !all && output_ && CurrentFrom() >= StreamEnd();
  while (!closing_.empty() && (all || (!wait && source_->FrameCount >= closing_.front()->Until))) {
    // Taken out first: a fragment whose close failed is not closed a second time.
    const std::unique_ptr<TClosingFragment> closing = std::move(closing_.front());
    closing_.erase(closing_.begin());
    const bool last = closing->Span.End < 0;
    std::vector<uint8_t> tag;
    if (TagBelongsToFragment(last))
      tag.assign(source_->TagData.begin(), source_->TagData.end());
    closing->Output->Finish(TrimOf(*closing->Output, closing->Span, last), tag);
    if (Finished()) {
      closing->Point->Report.emplace_back(" fait");
      feedback_.SetRowStatus(closing->Row, "fait");
    }
  }
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
  if (output_) {
    const bool empty = last && EndsEmpty();
    // Taken out first: a fragment whose close failed is not closed a second time.
    const std::unique_ptr<TFragmentOutput> output = std::move(output_);
    std::vector<uint8_t> tag;
    if (TagBelongsToFragment(last))
      tag.assign(source_->TagData.begin(), source_->TagData.end());
    output->Finish(TrimOf(*output, span_, last), tag);
    // A point at the stream's very end: the frames around it play nothing of its own.
    if (empty) {
      DeleteFile(output->Path());
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
  try {
    // The fragment before an empty last one runs to the end: it took every frame since.
    if (EndsEmpty() && !closing_.empty() && closing_.back()->Span.End == span_.Start) {
      closing_.back()->Span.End = -1;
      closing_.back()->Span.EndFrame = -1;
    }
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

// Where the current fragment's own samples start: its point, or with header frames the
// later of its point and the frame that plays first.
int64_t TMpegSplitter::CurrentFrom() const {
  const int64_t target = TargetOf(*current_);
  return SharesFrames() ? std::max(span_.Start, target) : target;
}

// The fragment being written when the walk ended starts at or past the stream's end.
bool TMpegSplitter::EndsEmpty() const {
  if (!output_ || currentEmpty_ || current_ == nullptr || outcome_ != EndOfData)
    return false;
  return CurrentFrom() >= StreamEnd();
}

bool TMpegSplitter::TagBelongsToFragment(bool last) const {
  if (!source_->HasTag)
    return false;
  const int32_t rule = Settings().ID3V1TAG;
  return rule == kTagInEveryFragment || (rule == kTagInLastFragment && last);
}

// The delay trims what comes before the stretch (the source's encoder delay, a priming and
// a warm-up frame), the padding what comes after it: the source's padding, or the frames
// that finish it. A fragment cut short ends where it ends.
TFragmentTrim TMpegSplitter::TrimOf(const TFragmentOutput& output, const TFragmentSpan& span,
                                    bool last) const {
  const std::optional<TLameTag>& lame =
      source_->SourceHeader ? source_->SourceHeader->Lame : std::optional<TLameTag>{};
  const int64_t perFrame = source_->CurrentHeader().SamplesPerFrame;
  const int64_t audioFrames = output.FramesWritten() - (output.Primed() ? 1 : 0);
  TFragmentTrim trim;
  int64_t delay = span.Start - span.FirstFrame * perFrame;
  if (output.Primed())  // the priming frame plays silence
    delay += perFrame;
  int64_t padding = 0;
  if (span.End >= 0) {
    padding = std::max<int64_t>(0, (span.FirstFrame + audioFrames) * perFrame - span.End);
  } else if (last && outcome_ == EndOfData && lame) {
    padding = lame->Padding;
  }
  trim.Delay = static_cast<int32_t>(std::clamp<int64_t>(delay, 0, kMaxDelayOrPadding));
  trim.Padding = static_cast<int32_t>(std::clamp<int64_t>(padding, 0, kMaxDelayOrPadding));
  if (SharesFrames())
    trim.Mark = MarkOf(span, audioFrames);
  return trim;
}

TFragmentMark TMpegSplitter::MarkOf(const TFragmentSpan& span, int64_t audioFrames) const {
  TFragmentMark mark;
  mark.Source = sourceId_;
  mark.FirstFrame = span.FirstFrame;
  mark.Leading = static_cast<int32_t>(span.StartFrame - span.FirstFrame);
  if (span.EndFrame >= 0) {
    mark.Trailing =
        static_cast<int32_t>(std::max<int64_t>(0, span.FirstFrame + audioFrames - span.EndFrame));
  }
  return mark;
}

void TMpegSplitter::ShowProgress(bool forced) {
  if (!ProgressDue(ctx_.State, forced))
    return;
  double progress = source_->Progress();
  if (secondHalf_) {
    const double audio = static_cast<double>(source_->AudioSize - source_->FirstFramePos);
    const auto walked = source_->Position() - source_->FirstFramePos + secondHalf_->Walked();
    progress = std::min(static_cast<double>(walked) / audio, 1.0);
  }
  feedback_.SetProgress(progress);
  feedback_.ShowInfoText("Position source: " +
                         PositionText(source_->RefSampleRate, source_->StartSample));
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
      if (source_->ErrorCount > 0) {
        feedback_.ShowMessage("Terminé, mais avec  " + std::to_string(source_->ErrorCount) +
                              " err. frames.  " + std::to_string(source_->SkippedBytes) +
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

TRunOutcome ProcessMPEG(TRunContext& ctx, TCPList& list, const TMpegRun& run) {
  return TMpegSplitter(ctx, list, run).Run();
}

}  // namespace zembrio
