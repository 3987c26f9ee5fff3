#include "cut/fragmentoutput.h"

#include <utility>

namespace zembrio {

namespace {

// The encoder string of a fresh header when the source names none.
constexpr std::array<uint8_t, 9> kOwnEncoder{'Z', 'e', 'm', 'b', 'r', 'i', 'o', ' ', ' '};

}  // namespace

TFragmentOutput::TFragmentOutput(const std::string& path, TFragmentOptions options)
    : file_(path, options.BufferSize), options_(std::move(options)) {
  if (!options_.LeadingTag.empty())
    file_.Write(options_.LeadingTag.data(), options_.LeadingTag.size());
  options_.LeadingTag.clear();
  options_.LeadingTag.shrink_to_fit();
}

void TFragmentOutput::StartHeaderFrame(const TMPGFile& source) {
  const auto header = HeaderFrameHeader(source.Header);
  if (!header || !file_.CanSeek())
    return;
  FrameHeader decoded;
  Decode((*header)[0], (*header)[1], (*header)[2], (*header)[3], nullptr, decoded);
  headerBytes_ = *header;
  headerLength_ = decoded.FrameLength;
  headerStart_ = file_.Size();
  // Zeros until Finish knows what to say: an unfinished file holds a frame no decoder plays.
  const std::vector<uint8_t> placeholder(static_cast<size_t>(headerLength_), 0);
  file_.Write(placeholder.data(), placeholder.size());
}

void TFragmentOutput::WriteFrame(TMPGFile& source) {
  const bool first = firstBitrateIndex_ < 0;
  if (first) {
    firstBitrateIndex_ = source.CurrentHeader().BitrateIndex;
    if (options_.HeaderFrame)
      StartHeaderFrame(source);
  }
  if (headerStart_ >= 0) {
    variableBitrate_ =
        variableBitrate_ || source.CurrentHeader().BitrateIndex != firstBitrateIndex_;
    toc_.AddFrame(file_.Size() - headerStart_);
    for (const auto& [data, size] : source.FrameBytes())
      musicCrc_ = Crc16(musicCrc_, data, size);
  }
  source.WriteFrame(file_);
}

void TFragmentOutput::Finish(const TFragmentTrim& trim, const std::vector<uint8_t>& trailingTag) {
  if (!file_.IsOpen())
    return;
  if (headerStart_ >= 0) {
    THeaderFrameFields fields;
    fields.Header = headerBytes_;
    fields.VariableBitrate = variableBitrate_;
    fields.Frames = toc_.Frames();
    fields.Bytes = file_.Size() - headerStart_;
    fields.Toc = toc_.Table(fields.Bytes);
    fields.Quality = options_.Source.Quality >= 0 ? options_.Source.Quality : 0;
    if (options_.Source.Lame) {
      fields.Lame = *options_.Source.Lame;
    } else {
      fields.Lame.Encoder = kOwnEncoder;
    }
    fields.Lame.Delay = trim.Delay;
    fields.Lame.Padding = trim.Padding;
    fields.MusicCrc = musicCrc_;
    const std::vector<uint8_t> frame = BuildHeaderFrame(fields);
    file_.WriteAt(headerStart_, frame.data(), frame.size());
  }
  if (!trailingTag.empty())
    file_.Write(trailingTag.data(), trailingTag.size());
  file_.Close();
}

}  // namespace zembrio
