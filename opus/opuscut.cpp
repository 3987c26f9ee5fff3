#include "opus/opuscut.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <random>

#include "core/fileio.h"
#include "core/platform.h"
#include "core/textutil.h"
#include "core/timevalue.h"
#include "cut/oggcut.h"
#include "cut/overwrite.h"
#include "cut/sourcewalkrun.h"
#include "cut/statsreport.h"
#include "opus/opustags.h"
#include "opus/opuswalk.h"
#include "opus/opuswriter.h"
#include "tags/fragmenttags.h"

namespace zembrio {

namespace {

// Far beyond any stream, and far enough from the limit to add a pre-skip to.
constexpr int64_t kOpenEnd = INT64_MAX / 4;

// One cut point's stretch of the source, in samples as it plays (after the pre-skip).
struct TTrack {
  int Index = 0;  // in the cut list
  int64_t Start = 0;
  int64_t End = kOpenEnd;
  bool Started = false;  // its first packet (the pre-roll's) was read
  bool Reached = false;  // a packet holding its own samples was read
  bool Done = false;
  int64_t FirstOffset = 0;  // where its first packet lies in the source's decoded samples
  int CopiedLeft = 0;       // packets still to come of the source page copied last
  std::unique_ptr<TOpusFragmentWriter> Writer;
};

std::string PositionOf(int64_t sample) {
  return PositionText(kOpusRate, sample);
}

class TOpusCutter : public TCutListRun {
 public:
  TOpusCutter(TRunContext& ctx, TCPList& list, const TOpusCutRun& run)
      : TCutListRun(ctx, list, kCutStateText), run_(run), serials_(std::random_device{}()) {}

 private:
  void Prepare() override;
  void PlanTracks();
  void Walk() override;
  void Conclude() override;
  void TakePacket(const TOpusPacket& packet);
  void StartTrack(TTrack& track, const TOpusPacket& packet);
  void OpenOutput(TTrack& track);
  void FeedTrack(TTrack& track, const TOpusPacket& packet);
  void WritePacket(TTrack& track, const TOpusPacket& packet);
  void FinishTrack(TTrack& track);
  // The stream's length is known with its last packet: no stretch goes past it.
  void ClampToEnd(int64_t total);
  // True once the stream's end is known and the track starts at or past it.
  bool PastTheEnd(const TTrack& track) const { return total_ >= 0 && track.Start >= total_; }
  void DropUnfinished();
  uint32_t NewSerial();
  double Progress() const override;
  std::string ShownPosition() const override { return PositionOf(played_); }
  void SetStatus(const TTrack& track, const std::string& status) {
    feedback_.SetRowStatus(track.Index + 1, status);
  }
  // The source's samples of the stream (pre-skip included) where a played sample lies.
  int64_t Decoded(int64_t played) const { return played + walk_->Head().PreSkip; }
  std::vector<std::string> MakeReport() override;
  void ReleaseSource() override;

  const TOpusCutRun& run_;
  std::string outputDir_;
  std::string extension_;
  std::unique_ptr<TInputFile> input_;
  std::unique_ptr<TOpusWalk> walk_;
  std::vector<TTrack> tracks_;
  size_t firstWaiting_ = 0;  // the first track whose first packet has not come yet
  size_t firstOpen_ = 0;     // tracks before it are done
  std::mt19937 serials_;
  uint32_t lastSerial_ = 0;
  int64_t packetsRead_ = 0;
  int64_t packetsCopied_ = 0;
  int64_t played_ = 0;  // samples of the source played up to the packet read last
  int64_t total_ = -1;  // the source's played samples, once its last packet was read
  int fragmentTotal_ = 0;
};

void TOpusCutter::Prepare() {
  extension_ = OpusFragmentExtension(run_.SourcePath);
  RequireSourceFile(run_.SourcePath);
  input_ = std::make_unique<TInputFile>(run_.SourcePath, kOggSourceBuffer);
  walk_ = std::make_unique<TOpusWalk>(*input_);
  if (!walk_->ReadHeaders())
    throw TRunError("Source invalide : " + walk_->Problem() + ".");
  // Only the first link would be cut, and the fragments would miss the others' sound.
  if (walk_->ChainedFile())
    throw TRunError("Source Opus chaînée (plusieurs flux à la suite) : coupe impossible.");
  outputDir_ = MakeFragmentFolder(run_.OutputDir);
  lastSerial_ = walk_->Serial();
  PlanTracks();
  if (run_.Tags)
    fragmentTotal_ = WrittenFragmentCount(list_);
}

// Each track runs from its point to the next; a point earlier than the one before it
// starts where that one does and holds nothing.
void TOpusCutter::PlanTracks() {
  tracks_.resize(static_cast<size_t>(list_.Count()));
  int64_t start = 0;
  for (int i = 0; i < list_.Count(); ++i) {
    start = std::max<int64_t>(start, PositionAt(list_[i], kOpusRate));
    tracks_[static_cast<size_t>(i)].Index = i;
    tracks_[static_cast<size_t>(i)].Start = start;
  }
  for (size_t i = 0; i + 1 < tracks_.size(); ++i)
    tracks_[i].End = tracks_[i + 1].Start;
}

void TOpusCutter::Walk() {
  TOpusPacket packet;
  for (;;) {
    const TOpusWalkResult result = walk_->Next(packet);
    if (result == TOpusWalkResult::Damaged) {
      throw TRunError("Flux Opus endommagé vers l'octet " + std::to_string(walk_->DamagedAt()) +
                      ": coupe arrêtée.");
    }
    if (result == TOpusWalkResult::End)
      break;
    ++packetsRead_;
    played_ = std::max<int64_t>(0, packet.End() - walk_->Head().PreSkip);
    ShowProgress(false);
    if (AbortHeard())
      return;
    if (packet.Last)
      ClampToEnd(walk_->PlayedSamples());
    TakePacket(packet);
    if (outcome_ == RunAborted)
      return;
  }
  // A stream without audio packets: every fragment is past its end.
  ClampToEnd(walk_->PlayedSamples());
  outcome_ = RunEndOfData;
  SayUnreachedPoints();
}

void TOpusCutter::ClampToEnd(int64_t total) {
  total_ = total;
  for (TTrack& track : tracks_)
    track.End = std::min(track.End, total);
}

void TOpusCutter::TakePacket(const TOpusPacket& packet) {
  // A track starts with the packet that holds the sample a pre-roll before its point.
  while (firstWaiting_ < tracks_.size()) {
    TTrack& track = tracks_[firstWaiting_];
    const int64_t from = std::max<int64_t>(0, Decoded(track.Start) - kOpusPreRoll);
    if (packet.End() <= from && !packet.Last)
      break;
    ++firstWaiting_;
    StartTrack(track, packet);
    if (AbortHeard())
      return;
  }
  while (firstOpen_ < firstWaiting_ && tracks_[firstOpen_].Done)
    ++firstOpen_;
  for (size_t i = firstOpen_; i < firstWaiting_; ++i) {
    TTrack& track = tracks_[i];
    if (track.Done)
      continue;
    FeedTrack(track, packet);
    if (AbortHeard())
      return;
  }
}

void TOpusCutter::StartTrack(TTrack& track, const TOpusPacket& packet) {
  track.Started = true;
  track.FirstOffset = packet.Offset;
  const TCutPoint& point = list_[track.Index];
  if (point.IsSkipped() || track.End <= track.Start)
    return;
  // The pre-roll and the part of the packet before the point are dropped by the decoder.
  const int64_t preSkip = Decoded(track.Start) - packet.Offset;
  const std::vector<uint8_t> head = OpusHeadWithPreSkip(
      walk_->Head(), static_cast<uint16_t>(std::clamp<int64_t>(preSkip, 0, kOpusMaxPreSkip)));
  std::optional<TFragmentTags> tags;
  if (run_.Tags)
    tags = FragmentTagsOf(list_, track.Index, FragmentNumber(list_, track.Index), fragmentTotal_);
  track.Writer = std::make_unique<TOpusFragmentWriter>(
      NewSerial(), head, FragmentOpusTags(walk_->TagsPacket(), tags ? &*tags : nullptr));
}

// The file is made with the first packet that holds a sample of the track's own: a point
// past the source's end makes none.
void TOpusCutter::FeedTrack(TTrack& track, const TOpusPacket& packet) {
  TCutPoint& point = list_[track.Index];
  const bool reached = packet.End() > Decoded(track.Start);
  if (reached && track.Start < track.End && !track.Reached) {
    track.Reached = true;
    feedback_.SelectRow(track.Index + 1);
    ShowProgress(true);
    if (point.IsSkipped()) {
      point.Report.clear();
      SetStatus(track, "sauter ....");
    } else {
      OpenOutput(track);
      if (ctx_.State.AbortRequested)
        return;
    }
    point.Report.push_back(" début demandé:    " + FormatCutPoint(point));
    point.Report.push_back(" début réel:  " + PositionOf(track.Start));
  }
  if (track.Writer)
    WritePacket(track, packet);
  if (packet.End() >= Decoded(track.End) || packet.Last)
    FinishTrack(track);
}

// A source page that holds packets of the fragment only, none of them its last, is copied
// as it is; the page that ends the fragment is made anew, its granule trimming the end.
void TOpusCutter::WritePacket(TTrack& track, const TOpusPacket& packet) {
  const int64_t end = Decoded(track.End) - track.FirstOffset;
  const int64_t granule = std::min(packet.End() - track.FirstOffset, end);
  const bool last = packet.End() >= Decoded(track.End) || packet.Last;
  if (packet.Page != nullptr && !packet.Page->Last() && packet.PageEnd < Decoded(track.End)) {
    track.Writer->AddPage(*packet.Page, packet.PagePackets, packet.PageEnd - track.FirstOffset);
    track.CopiedLeft = packet.PagePackets;
  }
  if (track.CopiedLeft == 0) {
    track.Writer->AddPacket(packet.Data, packet.Size, granule, last);
    return;
  }
  --track.CopiedLeft;
  // The source's stream ended without its last page (a download cut short).
  if (last)
    track.Writer->EndOnLastPage(granule);
}

void TOpusCutter::OpenOutput(TTrack& track) {
  TCutPoint& point = list_[track.Index];
  std::string name = outputDir_ + point.Name + extension_;
  SetStatus(track, "écriture..");
  ConfirmOutputName(ctx_, run_.SourcePath, name);
  if (ctx_.State.AbortRequested)
    return;
  track.Writer->Open(name);
  point.Report = {" Nom fich: " + name};
}

void TOpusCutter::FinishTrack(TTrack& track) {
  TCutPoint& point = list_[track.Index];
  track.Done = true;
  // Taken out first: a fragment whose close failed is not closed a second time.
  std::unique_ptr<TOpusFragmentWriter> writer = std::move(track.Writer);
  if (track.End <= track.Start) {
    // Two points at one time, or a point past the end that the source's last packet
    // reached without a sample to play. The writer goes first: its file takes its name
    // when it closes.
    if (writer && writer->IsOpen()) {
      const std::string path = writer->Path();
      writer.reset();
      DeleteFile(path);
    }
    if (!PastTheEnd(track)) {
      point.Report = {kEmptyFragmentLine};
      SetStatus(track, kOggEmpty);
    } else {
      point.Report = {kNotReached};
      SetStatus(track, "");
    }
    return;
  }
  if (point.IsSkipped()) {
    EndRow(track.Index, " sauté", "sauté");
    return;
  }
  if (!writer || !writer->IsOpen())
    return;
  writer->Finish();
  packetsCopied_ += writer->PacketsWritten();
  EndRow(track.Index, " fait", "fait");
}

void TOpusCutter::Conclude() {
  if (!ReachedEnd())
    DropUnfinished();
  if (input_)
    ShowProgress(true);
}

// The fragment being written when the run stops early goes: it is not whole.
void TOpusCutter::DropUnfinished() {
  for (TTrack& track : tracks_) {
    if (!track.Started || track.Done)
      continue;
    if (track.Writer && track.Writer->IsOpen()) {
      const std::string path = track.Writer->Path();
      track.Writer.reset();
      DeleteFile(path);
    }
    track.Writer.reset();
    if (track.Reached)  // not when only its pre-roll was read
      EndUnfinishedRow(track.Index);
  }
}

// Links of a chain and streams side by side need serial numbers of their own.
uint32_t TOpusCutter::NewSerial() {
  uint32_t serial = lastSerial_;
  while (serial == lastSerial_ || serial == walk_->Serial())
    serial = static_cast<uint32_t>(serials_());
  lastSerial_ = serial;
  return serial;
}

double TOpusCutter::Progress() const {
  if (!input_ || input_->Size() <= 0)
    return 0;
  return std::min(1.0, static_cast<double>(walk_ ? walk_->Position() : 0) /
                           static_cast<double>(input_->Size()));
}

std::vector<std::string> TOpusCutter::MakeReport() {
  const TOpusHead& head = walk_->Head();
  std::vector<std::string> lines = ReportHead(elapsed_, run_.SourcePath);
  lines.push_back("Opus: " + std::to_string(kOpusRate) + " Hz, " + std::to_string(head.Channels) +
                  " canaux, pré-skip " + std::to_string(head.PreSkip) + ", durée " +
                  PositionOf(walk_->PlayedSamples()));
  // Packets of a pre-roll are copied into two fragments: more may be copied than read.
  lines.push_back("Paquets lus: " + std::to_string(packetsRead_) +
                  ", copiés: " + std::to_string(packetsCopied_));
  if (walk_->ChainFollows())
    lines.emplace_back("Source chaînée : seul le premier flux a été coupé.");
  AddFragmentReports(list_, lines);
  return lines;
}

void TOpusCutter::ReleaseSource() {
  walk_.reset();
  input_.reset();
}

}  // namespace

std::string OpusFragmentExtension(const std::string& sourcePath) {
  return SameTextAsciiCase(ExtractFileExt(sourcePath), ".ogg") ? ".ogg" : ".opus";
}

TRunOutcome CutOpus(TRunContext& ctx, TCPList& list, const TOpusCutRun& run) {
  return TOpusCutter(ctx, list, run).Run();
}

}  // namespace zembrio
