#include "flac/trackwriter.h"

#include <algorithm>

#include "cut/runfeedback.h"

namespace zembrio {

namespace {

constexpr uint32_t kSeekSpacingSeconds = 10;
constexpr uint8_t kLastBlockFlag = 0x80;

}  // namespace

TFlacTrackWriter::TFlacTrackWriter(const std::string& path, const TFlacStreamInfo& source,
                                   const TFlacTrackMetadata& metadata, bool variable)
    : file_(path), source_(source), variable_(variable) {
  file_.Write("fLaC", 4);
  const uint8_t type = metadata.Blocks.empty() ? kLastBlockFlag : 0;
  const uint8_t header[4] = {type, 0, 0, static_cast<uint8_t>(kFlacStreamInfoSize)};
  file_.Write(header, sizeof header);
  const auto placeholder = SerializeStreamInfo(StreamInfo({}));
  file_.Write(placeholder.data(), placeholder.size());
  if (metadata.SeekPoints > 0) {
    seekTableAt_ = file_.Size() + static_cast<int64_t>(metadata.SeekTableOffset);
    seekPoints_ = metadata.SeekPoints;
  }
  file_.Write(metadata.Blocks.data(), metadata.Blocks.size());
  firstFrameAt_ = file_.Size();
}

void TFlacTrackWriter::CopyFrame(const TFlacFrame& frame) {
  WriteFrame(frame.Header, frame.Body(), frame.BodySize(), frame.BodyCrc);
}

void TFlacTrackWriter::AddSamples(const int32_t* interleaved, uint32_t count, bool last) {
  pending_.insert(pending_.end(), interleaved, interleaved + size_t{count} * source_.Channels);
  if (pending_.size() >= size_t{kMinBlock} * source_.Channels || (last && !pending_.empty()))
    Encode();
}

void TFlacTrackWriter::Encode() {
  const auto count = static_cast<uint32_t>(pending_.size() / source_.Channels);
  // A short remainder joined to a whole block may pass the largest block of the source:
  // two halves then, both long enough to stand before another frame.
  uint32_t block = count;
  if (count > source_.MaxBlockSize && (count + 1) / 2 >= kMinBlock && count / 2 >= kMinBlock)
    block = (count + 1) / 2;
  const auto frames = EncodeFlacFrames(source_, pending_.data(), count, block);
  uint64_t encodedSamples = 0;
  for (const auto& bytes : frames) {
    const auto header = ParseFlacFrameHeader(bytes.data(), bytes.size());
    if (!header || bytes.size() < header->Length + 2)
      throw TRunError("Échec de l'encodage FLAC.");
    const size_t bodySize = bytes.size() - header->Length - 2;
    const uint8_t* body = bytes.data() + header->Length;
    WriteFrame(*header, body, bodySize, FlacCrc16(0, body, bodySize));
    encodedSamples += header->BlockSize;
    ++encoded_;
  }
  if (frames.empty() || encodedSamples != count)
    throw TRunError("Échec de l'encodage FLAC.");
  pending_.clear();
}

void TFlacTrackWriter::WriteFrame(const TFlacFrameHeader& header, const uint8_t* body,
                                  size_t bodySize, uint16_t bodyCrc) {
  TFlacFrameHeader renumbered = header;
  renumbered.VariableBlocksize = variable_;
  renumbered.Number = variable_ ? samples_ : frames_;
  std::array<uint8_t, kFlacMaxHeaderSize> bytes{};
  const size_t length = SerializeFlacFrameHeader(renumbered, bytes);
  if (length == 0)
    throw TRunError("Piste FLAC trop longue.");
  const uint16_t crc = FlacCrc16Combine(FlacCrc16(0, bytes.data(), length), bodyCrc, bodySize);
  const uint8_t crcBytes[2] = {static_cast<uint8_t>(crc >> 8), static_cast<uint8_t>(crc)};

  if (seekPoints_ > 0 && samples_ >= nextSeekTarget_ && points_.size() < seekPoints_) {
    points_.push_back({samples_, static_cast<uint64_t>(file_.Size() - firstFrameAt_),
                       static_cast<uint16_t>(header.BlockSize)});
    const uint64_t spacing = uint64_t{kSeekSpacingSeconds} * source_.SampleRate;
    nextSeekTarget_ = (samples_ / spacing + 1) * spacing;
  }
  file_.Write(bytes.data(), length);
  file_.Write(body, bodySize);
  file_.Write(crcBytes, 2);

  const auto frameSize = static_cast<uint32_t>(length + bodySize + 2);
  if (frames_ == 0) {
    firstBlock_ = header.BlockSize;
    minFrame_ = frameSize;
  } else {  // the frame before this one is not the last
    minBlock_ = minBlock_ == 0 ? lastBlock_ : std::min(minBlock_, lastBlock_);
  }
  minFrame_ = std::min(minFrame_, frameSize);
  maxFrame_ = std::max(maxFrame_, frameSize);
  maxBlock_ = std::max(maxBlock_, header.BlockSize);
  lastBlock_ = header.BlockSize;
  samples_ += header.BlockSize;
  ++frames_;
}

TFlacStreamInfo TFlacTrackWriter::StreamInfo(const std::array<uint8_t, 16>& md5) const {
  TFlacStreamInfo info;
  info.SampleRate = source_.SampleRate;
  info.Channels = source_.Channels;
  info.BitsPerSample = source_.BitsPerSample;
  info.TotalSamples = samples_;
  info.Md5 = md5;
  info.MinFrameSize = minFrame_;
  info.MaxFrameSize = maxFrame_;
  // A fixed-blocksize stream states its one block size: decoders number its frames by it.
  uint32_t minBlock = variable_ ? minBlock_ : firstBlock_;
  uint32_t maxBlock = variable_ ? maxBlock_ : firstBlock_;
  if (minBlock == 0)  // one frame: it is the last, any length
    minBlock = maxBlock;
  info.MinBlockSize = std::max(minBlock, kMinBlock);
  info.MaxBlockSize = std::max(maxBlock, info.MinBlockSize);
  return info;
}

void TFlacTrackWriter::Finish(const std::array<uint8_t, 16>& md5) {
  if (HasPending())
    Encode();
  const auto info = SerializeStreamInfo(StreamInfo(md5));
  file_.WriteAt(8, info.data(), info.size());
  if (seekTableAt_ >= 0) {
    const std::vector<uint8_t> points = SerializeSeekPoints(points_, seekPoints_);
    if (!points.empty())
      file_.WriteAt(seekTableAt_, points.data(), points.size());
  }
  file_.Close();
}

}  // namespace zembrio
