#include "flac/flacstats.h"

#include <taglib/flacpicture.h>

#include <algorithm>
#include <limits>

#include "core/fileio.h"
#include "core/platform.h"
#include "cut/sourcewalkrun.h"
#include "cut/statsreport.h"
#include "flac/pcmreader.h"
#include "flac/trackmetadata.h"

namespace zembrio {

namespace {

// What the frames said while the stream was decoded.
struct TFrameFigures {
  uint64_t Frames = 0;
  uint64_t Samples = 0;
  uint32_t MinBlock = std::numeric_limits<uint32_t>::max();  // the last frame left out
  uint32_t MaxBlock = 0;
  uint32_t LastBlock = 0;
  uint64_t MinFrameBytes = std::numeric_limits<uint64_t>::max();
  uint64_t MaxFrameBytes = 0;
  uint64_t LastEnd = 0;  // file offset past the previous frame

  void Add(const TFlacPcmFrame& frame) {
    if (Frames > 0)
      MinBlock = std::min(MinBlock, LastBlock);  // the frame before is not the last one
    ++Frames;
    Samples += frame.Samples;
    LastBlock = frame.Samples;
    MaxBlock = std::max(MaxBlock, frame.Samples);
    if (frame.EndOffset > LastEnd) {
      const uint64_t bytes = frame.EndOffset - LastEnd;
      MinFrameBytes = std::min(MinFrameBytes, bytes);
      MaxFrameBytes = std::max(MaxFrameBytes, bytes);
      LastEnd = frame.EndOffset;
    }
  }
  uint32_t MinBlockShown() const { return Frames > 1 ? MinBlock : LastBlock; }
};

std::string PresentText(bool present) {
  return present ? "présent" : "non présent";
}

std::string Md5Text(TMd5Check check) {
  switch (check) {
    case TMd5Check::Verified:
      return "vérifié";
    case TMd5Check::Different:
      return "différent";
    case TMd5Check::Absent:
      return "absent";
    default:
      return "non vérifié";
  }
}

// A picture block's type, format, size in pixels and bytes of image data.
std::string PictureLine(size_t number, const std::vector<uint8_t>& body) {
  TagLib::FLAC::Picture picture;
  const std::string head = "Image " + std::to_string(number) + ": ";
  if (!picture.parse(TagLib::ByteVector(reinterpret_cast<const char*>(body.data()),
                                        static_cast<unsigned>(body.size()))))
    return head + std::to_string(body.size()) + " octets";
  return head + "type " + std::to_string(static_cast<int>(picture.type())) + ", " +
         picture.mimeType().to8Bit(true) + ", " + std::to_string(picture.width()) + "x" +
         std::to_string(picture.height()) + ", " + std::to_string(picture.data().size()) +
         " octets";
}

class TFlacStatsRun : public TSourceWalkRun {
 public:
  TFlacStatsRun(TRunContext& ctx, const std::string& path)
      : TSourceWalkRun(ctx, kStatsStateText), path_(path) {}

 private:
  void Prepare() override;
  // Decodes the whole stream.
  void Walk() override;
  void StopWalk() override;
  double Progress() const override;
  std::string ShownPosition() const override;
  bool ReadsVariableBlocks() const;
  std::vector<std::string> MakeReport() override;
  void AddStream(std::vector<std::string>& lines) const;
  void AddTags(std::vector<std::string>& lines) const;
  void AddErrors(std::vector<std::string>& lines) const;
  void ShowFinishedMessage() override;
  void ReleaseSource() override { reader_.reset(); }

  const std::string path_;
  TFlacSourceMetadata meta_;
  std::unique_ptr<TFlacPcmReader> reader_;
  TFrameFigures figures_;
  TMd5Check md5_ = TMd5Check::Unchecked;
  bool variableBlocks_ = false;
};

void TFlacStatsRun::Prepare() {
  RequireSourceFile(path_);
  meta_ = ReadFlacSourceMetadata(path_);
  variableBlocks_ = ReadsVariableBlocks();
  figures_.LastEnd = meta_.AudioOffset;
  reader_ = std::make_unique<TFlacPcmReader>(
      path_, true, [this](const TFlacPcmFrame& frame) { figures_.Add(frame); });
  if (!reader_->ReadHead())
    throw TRunError(path_ + " : pas un fichier FLAC.");
}

// The blocking strategy bit of the first frame header: every frame of a stream has the
// same one.
bool TFlacStatsRun::ReadsVariableBlocks() const {
  TInputFile input(path_, TInputFile::kReadAheadMinimum / 2);
  input.Seek(static_cast<int64_t>(meta_.AudioOffset));
  uint8_t header[2] = {};
  return input.Read(header, 2) == 2 && header[0] == 0xFF && (header[1] & 0xFE) == 0xF8 &&
         (header[1] & 0x01) != 0;
}

void TFlacStatsRun::Walk() {
  for (;;) {
    if (AbortHeard())
      return;
    if (!reader_->DecodeNext())
      break;
    ShowProgress(false);
  }
  md5_ = reader_->Finish();
  outcome_ = RunEndOfData;
}

void TFlacStatsRun::StopWalk() {
  if (reader_)
    ShowProgress(true);
}

double TFlacStatsRun::Progress() const {
  const int64_t size = reader_->Size();
  return size > 0 ? std::min(static_cast<double>(reader_->Position()) / size, 1.0) : 1.0;
}

std::string TFlacStatsRun::ShownPosition() const {
  return PositionText(static_cast<int32_t>(meta_.StreamInfo.SampleRate),
                      static_cast<int64_t>(reader_->DecodedEnd()));
}

std::vector<std::string> TFlacStatsRun::MakeReport() {
  std::vector<std::string> lines = ReportHead(elapsed_, path_);
  AddStream(lines);
  AddTags(lines);
  AddErrors(lines);
  return lines;
}

void TFlacStatsRun::AddStream(std::vector<std::string>& lines) const {
  const TFlacStreamInfo& info = meta_.StreamInfo;
  const auto rate = static_cast<int32_t>(info.SampleRate);
  const TFrameFigures& f = figures_;
  lines.emplace_back("Format: FLAC");
  lines.push_back("Fréquence: " + std::to_string(info.SampleRate) + " Hz");
  lines.push_back("Canaux: " + std::to_string(info.Channels));
  lines.push_back("Résolution: " + std::to_string(info.BitsPerSample) + " bits");
  lines.push_back(std::string("Taille de bloc: ") + (variableBlocks_ ? "variable" : "fixe"));
  if (f.Frames > 0) {
    lines.push_back("Blocs: " + std::to_string(f.MinBlockShown()) + " - " +
                    std::to_string(f.MaxBlock) + " échantillons");
    if (f.MaxFrameBytes > 0)
      lines.push_back("Frames: " + std::to_string(f.MinFrameBytes) + " - " +
                      std::to_string(f.MaxFrameBytes) + " octets");
  }
  lines.push_back("Total frames: " + std::to_string(f.Frames));
  lines.push_back("Durée : " + PositionText(rate, static_cast<int64_t>(f.Samples)));
  lines.push_back("Total échantillons: " + std::to_string(f.Samples));
  if (info.TotalSamples != 0 && info.TotalSamples != f.Samples)
    lines.push_back("STREAMINFO annonce: " + std::to_string(info.TotalSamples) + " échantillons");
  lines.push_back("Table de recherche: " + PresentText(meta_.HasSeekTable));
  lines.push_back("Cue sheet: " + PresentText(meta_.HasCueSheetBlock));
  lines.push_back("MD5 source: " + Md5Text(md5_));
}

void TFlacStatsRun::AddTags(std::vector<std::string>& lines) const {
  lines.emplace_back();
  lines.emplace_back("Tags:");
  lines.emplace_back(kReportRule);
  if (!meta_.Vendor.empty())
    lines.push_back("Encodeur: " + meta_.Vendor);
  lines.insert(lines.end(), meta_.Comments.begin(), meta_.Comments.end());
  if (meta_.Pictures.empty())
    return;
  lines.emplace_back();
  lines.emplace_back("Images:");
  lines.emplace_back(kReportRule);
  for (size_t i = 0; i < meta_.Pictures.size(); ++i)
    lines.push_back(PictureLine(i + 1, meta_.Pictures[i]));
}

void TFlacStatsRun::AddErrors(std::vector<std::string>& lines) const {
  if (reader_->ErrorCount() == 0)
    return;
  const auto rate = static_cast<int32_t>(meta_.StreamInfo.SampleRate);
  lines.emplace_back();
  lines.emplace_back("Err.de frame:");
  for (const TFlacDecodeError& error : reader_->Errors())
    lines.push_back(PositionText(rate, static_cast<int64_t>(error.Sample)) + "  " + error.Reason);
  if (reader_->ErrorCount() > reader_->Errors().size())
    lines.push_back("... " + std::to_string(reader_->ErrorCount()) + " en tout");
}

void TFlacStatsRun::ShowFinishedMessage() {
  if (reader_->ErrorCount() > 0)
    feedback_.ShowMessage("Terminé, mais avec  " + std::to_string(reader_->ErrorCount()) +
                          " err. frames.");
}

}  // namespace

TRunOutcome FlacStatistics(TRunContext& ctx, const std::string& path) {
  return TFlacStatsRun(ctx, path).Run();
}

}  // namespace zembrio
