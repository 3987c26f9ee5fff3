#include "cut/fragmentoutput.h"

#include <utility>

namespace zembrio {

namespace {

// The encoder string of a fresh header when the source names none. The extension's layout
// is LAME's, and readers take its delay and padding only behind a name they know:
// libavformat (ffmpeg and the players built on it) behind "LAME", "Lavf" or "Lavc", mutagen
// (beets, Picard, Quod Libet) only behind "LAME" and a version from 3.90 on. So the string
// is that of the LAME release whose extension this is.
constexpr std::array<uint8_t, 9> kOwnEncoder{'L', 'A', 'M', 'E', '3', '.', '1', '0', '0'};

}  // namespace

TFragmentOutput::TFragmentOutput(const std::string& path, TFragmentOptions options)
    : file_(path, options.BufferSize), options_(std::move(options)) {
  if (!options_.LeadingTag.empty())
    file_.Write(options_.LeadingTag.data(), options_.LeadingTag.size());
  options_.LeadingTag.clear();
  options_.LeadingTag.shrink_to_fit();
}

void TFragmentOutput::StartHeaderFrame(const std::array<uint8_t, 4>& first) {
  const auto header = HeaderFrameHeader(first);
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

void TFragmentOutput::Count(const uint8_t* data, size_t size, int64_t offset) {
  if (offset >= 0)
    toc_.AddFrame(offset);
  musicCrc_.Add(data, size);
}

void TFragmentOutput::Start(const std::array<uint8_t, 4>& first,
                            const std::vector<uint8_t>& priming) {
  if (firstBitrateIndex_ >= 0)
    return;
  firstBitrateIndex_ = first[2] >> 4;
  if (options_.HeaderFrame)
    StartHeaderFrame(first);
  if (headerStart_ >= 0 && !priming.empty()) {
    Count(priming.data(), priming.size(), file_.Size() - headerStart_);
    file_.Write(priming.data(), priming.size());
    primed_ = true;
    ++framesWritten_;
  }
}

void TFragmentOutput::CountFrame(const std::array<std::pair<const uint8_t*, size_t>, 2>& parts,
                                 int32_t bitrateIndex) {
  if (headerStart_ < 0)
    return;
  variableBitrate_ = variableBitrate_ || bitrateIndex != firstBitrateIndex_;
  int64_t offset = file_.Size() - headerStart_;
  for (const auto& [data, size] : parts) {
    Count(data, size, offset);
    offset = -1;  // one seek table entry per frame
  }
}

void TFragmentOutput::WriteFrame(TMPGFile& source, const std::vector<uint8_t>& priming) {
  Start(source.Header(), priming);
  CountFrame(source.FrameBytes(), source.CurrentHeader().BitrateIndex);
  source.WriteFrame(file_);
  ++framesWritten_;
}

void TFragmentOutput::WriteFrame(const std::vector<uint8_t>& frame,
                                 const std::vector<uint8_t>& priming) {
  if (frame.size() < 4)
    return;
  const std::array<uint8_t, 4> header{frame[0], frame[1], frame[2], frame[3]};
  Start(header, priming);
  CountFrame({{{frame.data(), frame.size()}, {nullptr, 0}}}, frame[2] >> 4);
  file_.Write(frame.data(), frame.size());
  ++framesWritten_;
}

void TFragmentOutput::Finish(const TFragmentTrim& trim, const std::vector<uint8_t>& trailingTag) {
  if (!file_.IsOpen())
    return;
  if (headerStart_ >= 0) {
    THeaderFrameFields fields;
    fields.Header = headerBytes_;
    fields.VariableBitrate = variableBitrate_;
    fields.Frames = framesWritten_;
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
    fields.MusicCrc = musicCrc_.Value();
    fields.Mark = trim.Mark;
    const std::vector<uint8_t> frame = BuildHeaderFrame(fields);
    file_.WriteAt(headerStart_, frame.data(), frame.size());
  }
  if (!trailingTag.empty())
    file_.Write(trailingTag.data(), trailingTag.size());
  file_.Close();
}

}  // namespace zembrio
