#include "flac/flaccut.h"

#include <algorithm>
#include <memory>
#include <optional>

#include "core/fileio.h"
#include "core/platform.h"
#include "core/timevalue.h"
#include "cut/oggcut.h"
#include "cut/overwrite.h"
#include "cut/sourcewalkrun.h"
#include "cut/statsreport.h"
#include "flac/framescan.h"
#include "flac/md5feed.h"
#include "flac/trackwriter.h"
#include "tags/fragmenttags.h"

namespace zembrio {

namespace {

// One cut point's stretch of the source, in samples.
struct TTrack {
  int Index = 0;  // in the cut list
  uint64_t Start = 0;
  uint64_t End = TSampleRange::kOpenEnd;
  int Md5Slot = -1;  // its range in the MD5 feed; -1: nothing is written
  bool Started = false;
  bool Done = false;
};

std::string PositionOf(uint32_t rate, uint64_t sample) {
  return PositionText(static_cast<int32_t>(rate), static_cast<int64_t>(sample));
}

class TFlacCutter : public TCutListRun {
 public:
  TFlacCutter(TRunContext& ctx, TCPList& list, const TFlacCutRun& run)
      : TCutListRun(ctx, list, kCutStateText), run_(run) {}

 private:
  void Prepare() override;
  void ReadSource();
  void PlanTracks();
  void Walk() override;
  void Conclude() override;
  // Gives the frame's samples to every track they belong to.
  void TakeFrame(const TFlacFrame& frame);
  void StartTrack(TTrack& track, const TFlacFrame& frame);
  void OpenOutput(TTrack& track, const TFlacFrame& frame);
  void FeedOutput(const TTrack& track, const TFlacFrame& frame);
  const TPcmSamples& DecodedFrame(const TFlacFrame& frame);
  void FinishTrack(TTrack& track);
  void EndOfStream();
  // The track being written when the run stops early: it goes, it is not whole.
  void DropUnfinished();
  double Progress() const override;
  std::string ShownPosition() const override;
  void SetStatus(const TTrack& track, const std::string& status) {
    feedback_.SetRowStatus(track.Index + 1, status);
  }
  std::vector<std::string> MakeReport() override;

  const TFlacCutRun& run_;
  std::string outputDir_;
  std::unique_ptr<TInputFile> input_;
  TFlacStreamLayout layout_;
  TFlacSourceMetadata metadata_;
  std::unique_ptr<TFlacFrameScanner> scanner_;
  std::vector<TTrack> tracks_;
  size_t next_ = 0;  // the first track not done
  std::unique_ptr<TFlacMd5Feed> feed_;
  std::unique_ptr<TFlacTrackWriter> writer_;
  TTrack* writing_ = nullptr;
  TPcmSamples decoded_;
  int64_t decodedAt_ = -1;  // the frame decoded_ holds
  uint64_t framesCopied_ = 0;
  uint64_t framesEncoded_ = 0;
  TSourceMd5 sourceMd5_ = TSourceMd5::NotStored;
  int fragmentsWritten_ = 0;
  int fragmentTotal_ = 0;
};

void TFlacCutter::Prepare() {
  outputDir_ = MakeFragmentFolder(run_.OutputDir);
  RequireSourceFile(run_.SourcePath);
  ReadSource();
  PlanTracks();
  if (run_.Tags)
    fragmentTotal_ = WrittenFragmentCount(list_);
  std::vector<TSampleRange> ranges;
  for (TTrack& track : tracks_) {
    if (track.Md5Slot >= 0)
      ranges.push_back({track.Start, track.End});
  }
  feed_ = std::make_unique<TFlacMd5Feed>(run_.SourcePath, layout_.Info, std::move(ranges));
  scanner_ = std::make_unique<TFlacFrameScanner>(*input_, layout_);
}

void TFlacCutter::ReadSource() {
  input_ = std::make_unique<TInputFile>(run_.SourcePath);
  const auto layout = ReadFlacStreamLayout(*input_);
  if (!layout)
    throw TRunError(kSourceInvalid);
  layout_ = *layout;
  try {
    metadata_ = ReadFlacSourceMetadata(run_.SourcePath);
  } catch (const TRunError& error) {
    // Tags that cannot be read cost the tracks their comments, not their audio; the user
    // learns it before looking for them.
    metadata_ = TFlacSourceMetadata{};
    feedback_.ShowMessage(std::string(error.what()) + kFlacTagsLost);
  }
  metadata_.StreamInfo = layout_.Info;
  metadata_.AudioOffset = static_cast<uint64_t>(layout_.AudioOffset);
}

// Each track runs from its point to the next; a point earlier than the one before it
// starts where that one does and holds nothing.
void TFlacCutter::PlanTracks() {
  const uint32_t rate = layout_.Info.SampleRate;
  const uint64_t total = layout_.Info.TotalSamples;
  tracks_.resize(static_cast<size_t>(list_.Count()));
  uint64_t start = 0;
  for (int i = 0; i < list_.Count(); ++i) {
    start = std::max<uint64_t>(
        start, static_cast<uint64_t>(std::max<int64_t>(0, PositionAt(list_[i], rate))));
    tracks_[static_cast<size_t>(i)].Index = i;
    tracks_[static_cast<size_t>(i)].Start = start;
  }
  int slot = 0;
  for (size_t i = 0; i < tracks_.size(); ++i) {
    TTrack& track = tracks_[i];
    track.End = i + 1 < tracks_.size() ? tracks_[i + 1].Start : TSampleRange::kOpenEnd;
    if (total != 0)
      track.End = std::min(track.End, total);
    const bool reached = total == 0 || track.Start < total;
    if (reached && track.End > track.Start && !list_[track.Index].IsSkipped())
      track.Md5Slot = slot++;
  }
}

void TFlacCutter::Walk() {
  TFlacFrame frame;
  for (;;) {
    const TFlacScanResult result = scanner_->Next(frame);
    if (result == TFlacScanResult::Corrupt) {
      throw TRunError("Frame FLAC corrompue à l'octet " + std::to_string(scanner_->CorruptAt()) +
                      ": coupe arrêtée.");
    }
    if (result == TFlacScanResult::End)
      break;
    ShowProgress(false);
    if (AbortHeard())
      return;
    TakeFrame(frame);
    if (outcome_ == RunAborted)
      return;
  }
  EndOfStream();
}

void TFlacCutter::TakeFrame(const TFlacFrame& frame) {
  const uint64_t end = frame.EndSample();
  while (next_ < tracks_.size() && tracks_[next_].Start < end) {
    TTrack& track = tracks_[next_];
    if (!track.Started) {
      StartTrack(track, frame);
      if (AbortHeard())
        return;
    }
    if (writing_ == &track)
      FeedOutput(track, frame);
    if (track.End > end)
      return;
    FinishTrack(track);
    if (outcome_ == RunAborted)
      return;
    ++next_;
  }
}

void TFlacCutter::StartTrack(TTrack& track, const TFlacFrame& frame) {
  track.Started = true;
  TCutPoint& point = list_[track.Index];
  feedback_.SelectRow(track.Index + 1);
  ShowProgress(true);
  if (point.IsSkipped()) {
    point.Report.clear();
    SetStatus(track, "sauter ....");
  } else if (track.Md5Slot < 0) {
    point.Report = {kEmptyFragmentLine};
    SetStatus(track, kOggEmpty);
    return;
  } else {
    OpenOutput(track, frame);
    if (ctx_.State.AbortRequested)
      return;
  }
  point.Report.push_back(" début demandé:    " + FormatCutPoint(point));
  point.Report.push_back(" début réel:  " + PositionOf(layout_.Info.SampleRate, track.Start));
}

void TFlacCutter::OpenOutput(TTrack& track, const TFlacFrame& frame) {
  TCutPoint& point = list_[track.Index];
  std::string name = outputDir_ + point.Name + ".flac";
  SetStatus(track, "écriture..");
  ConfirmOutputName(ctx_, run_.SourcePath, name);
  if (ctx_.State.AbortRequested)
    return;
  std::optional<TFragmentTags> tags;
  if (run_.Tags)
    tags = FragmentTagsOf(list_, track.Index, ++fragmentsWritten_, fragmentTotal_);
  const uint64_t length = track.End == TSampleRange::kOpenEnd ? 0 : track.End - track.Start;
  const TFlacTrackMetadata metadata =
      BuildTrackMetadata(metadata_, tags ? &*tags : nullptr, length);
  // A fixed-blocksize stream numbers frames by their index: only a track that starts on a
  // frame boundary of such a source can keep every frame of it whole.
  const bool variable = scanner_->Variable() || track.Start != frame.FirstSample;
  writer_ = std::make_unique<TFlacTrackWriter>(name, layout_.Info, metadata, variable);
  writing_ = &track;
  point.Report = {" Nom fich: " + name};
}

void TFlacCutter::FeedOutput(const TTrack& track, const TFlacFrame& frame) {
  const uint64_t from = std::max(track.Start, frame.FirstSample);
  const uint64_t to = std::min(track.End, frame.EndSample());
  if (from == frame.FirstSample && to == frame.EndSample() && !writer_->HasPending()) {
    writer_->CopyFrame(frame);
    ++framesCopied_;
    return;
  }
  const TPcmSamples& samples = DecodedFrame(frame);
  const size_t channels = layout_.Info.Channels;
  writer_->AddSamples(samples.data() + (from - frame.FirstSample) * channels,
                      static_cast<uint32_t>(to - from), to == track.End);
}

const TPcmSamples& TFlacCutter::DecodedFrame(const TFlacFrame& frame) {
  if (decodedAt_ != frame.Offset) {
    decoded_.clear();
    decodedAt_ = -1;
    if (!DecodeFlacFrame(layout_.Info, frame.Bytes, frame.Size, decoded_) ||
        decoded_.size() != size_t{frame.Header.BlockSize} * layout_.Info.Channels) {
      throw TRunError("Frame FLAC illisible à l'octet " + std::to_string(frame.Offset) + ".");
    }
    decodedAt_ = frame.Offset;
  }
  return decoded_;
}

void TFlacCutter::FinishTrack(TTrack& track) {
  track.Done = true;
  if (writing_ != &track) {
    if (list_[track.Index].IsSkipped())
      EndRow(track.Index, " sauté", "sauté");
    return;
  }
  const auto md5 = feed_->Await(static_cast<size_t>(track.Md5Slot), [this] { return KeepGoing(); });
  if (!md5) {
    if (AbortHeard())
      return;
    throw TRunError("Décodage FLAC de la source échoué: " + feed_->Error());
  }
  // Taken out first: a track whose close failed is not closed a second time.
  const std::unique_ptr<TFlacTrackWriter> writer = std::move(writer_);
  writing_ = nullptr;
  framesEncoded_ += writer->FramesEncoded();
  writer->Finish(*md5);
  EndRow(track.Index, " fait", "fait");
}

// The track that runs to the end closes here; points past the end stay unreached.
void TFlacCutter::EndOfStream() {
  if (next_ < tracks_.size() && tracks_[next_].Started) {
    FinishTrack(tracks_[next_]);
    if (outcome_ == RunAborted)
      return;
  }
  sourceMd5_ = feed_->AwaitSource([this] { return KeepGoing(); });
  if (AbortHeard())
    return;
  outcome_ = RunEndOfData;
  SayUnreachedPoints();
}

void TFlacCutter::Conclude() {
  if (!ReachedEnd())
    DropUnfinished();
  feed_.reset();  // stops the decode when the run ended early
  if (input_)
    ShowProgress(true);
  input_.reset();
}

void TFlacCutter::DropUnfinished() {
  for (TTrack& track : tracks_) {
    if (!track.Started || track.Done)
      continue;
    if (writer_ && writing_ == &track) {
      const std::string path = writer_->Path();
      writer_.reset();
      writing_ = nullptr;
      DeleteFile(path);
    }
    EndUnfinishedRow(track.Index);
  }
}

// The decode for the MD5s is the slower walk: the bar follows it.
double TFlacCutter::Progress() const {
  const uint64_t total = layout_.Info.TotalSamples;
  const uint64_t decoded = feed_ ? feed_->Decoded() : 0;
  double progress = 0;
  if (total != 0) {
    progress = std::min(1.0, static_cast<double>(decoded) / static_cast<double>(total));
  } else if (input_ && input_->Size() > 0) {
    progress = static_cast<double>(input_->Position()) / static_cast<double>(input_->Size());
  }
  return progress;
}

std::string TFlacCutter::ShownPosition() const {
  return PositionOf(layout_.Info.SampleRate, scanner_ ? scanner_->SamplesRead() : 0);
}

std::vector<std::string> TFlacCutter::MakeReport() {
  const TFlacStreamInfo& info = layout_.Info;
  std::vector<std::string> lines = ReportHead(elapsed_, run_.SourcePath);
  lines.push_back("FLAC: " + std::to_string(info.SampleRate) + " Hz, " +
                  std::to_string(info.Channels) + " canaux, " + std::to_string(info.BitsPerSample) +
                  " bits");
  if (sourceMd5_ == TSourceMd5::Verified)
    lines.emplace_back(kSourceMd5Verified);
  else if (sourceMd5_ == TSourceMd5::Different)
    lines.emplace_back(kSourceMd5Different);
  lines.push_back("Frames copiées: " + std::to_string(framesCopied_) +
                  ", réencodées: " + std::to_string(framesEncoded_));
  AddFragmentReports(list_, lines);
  return lines;
}

}  // namespace

TRunOutcome CutFlac(TRunContext& ctx, TCPList& list, const TFlacCutRun& run) {
  return TFlacCutter(ctx, list, run).Run();
}

}  // namespace zembrio
