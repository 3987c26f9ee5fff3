#include "flac/framescan.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace zembrio {

namespace {

constexpr uint8_t kStreamInfoType = 0;
// The most a walk asks to see at once: what one window of the input holds.
constexpr size_t kLargestPeek = TInputFile::kDefaultBufferSize - TInputFile::kCarryLimit;

// An ID3v2 tag's whole length from its 10-byte header, or 0 when there is none.
int64_t Id3v2Length(const uint8_t* header) {
  if (std::memcmp(header, "ID3", 3) != 0)
    return 0;
  int64_t size = 0;
  for (int i = 6; i < 10; ++i)
    size = (size << 7) | (header[i] & 0x7F);
  const bool footer = (header[5] & 0x10) != 0;
  return 10 + size + (footer ? 10 : 0);
}

}  // namespace

std::optional<TFlacStreamLayout> ReadFlacStreamLayout(TInputFile& file) {
  file.Seek(0);
  std::array<uint8_t, 10> start{};
  if (file.Read(start.data(), start.size()) != start.size())
    return std::nullopt;
  const int64_t tag = Id3v2Length(start.data());
  file.Seek(tag);
  std::array<uint8_t, 4> magic{};
  if (file.Read(magic.data(), 4) != 4 || std::memcmp(magic.data(), "fLaC", 4) != 0)
    return std::nullopt;
  TFlacStreamLayout layout;
  bool last = false;
  for (bool first = true; !last; first = false) {
    std::array<uint8_t, 4> header{};
    if (file.Read(header.data(), 4) != 4)
      return std::nullopt;
    last = (header[0] & 0x80) != 0;
    const uint8_t type = header[0] & 0x7F;
    const uint32_t length = (uint32_t{header[1]} << 16) | (uint32_t{header[2]} << 8) | header[3];
    if (first != (type == kStreamInfoType))  // STREAMINFO comes first, and only once
      return std::nullopt;
    if (first) {
      std::array<uint8_t, kFlacStreamInfoSize> body{};
      if (length != kFlacStreamInfoSize || file.Read(body.data(), body.size()) != body.size())
        return std::nullopt;
      layout.Info = ParseStreamInfo(body.data());
    } else {
      file.Skip(length);
    }
  }
  layout.AudioOffset = file.Position();
  const TFlacStreamInfo& info = layout.Info;
  if (layout.AudioOffset > file.Size() || info.SampleRate == 0 || info.BitsPerSample < 4 ||
      info.MaxBlockSize < 16 || info.MinBlockSize > info.MaxBlockSize)
    return std::nullopt;
  return layout;
}

TFlacFrameScanner::TFlacFrameScanner(TInputFile& file, const TFlacStreamLayout& layout)
    : file_(file), layout_(layout), position_(layout.AudioOffset) {}

uint64_t TFlacFrameScanner::NextNumber(uint32_t blockSize) const {
  // A stream cut elsewhere may not start at 0: numbers count on from its first frame's.
  if (variable_.value_or(false))
    return first_.Number + samples_ + blockSize;
  return first_.Number + frames_ + 1;
}

bool TFlacFrameScanner::FitsStream(const TFlacFrameHeader& header) const {
  const TFlacStreamInfo& info = layout_.Info;
  if (header.Channels() != info.Channels ||
      (header.BitsPerSample() != 0 && header.BitsPerSample() != info.BitsPerSample) ||
      (header.SampleRate != 0 && header.SampleRate != info.SampleRate))
    return false;
  if (!variable_)
    return true;
  if (header.VariableBlocksize != *variable_)
    return false;
  const uint64_t expected = *variable_ ? first_.Number + samples_ : first_.Number + frames_;
  return header.Number == expected;
}

size_t TFlacFrameScanner::FrameSizeBound(const TFlacFrameHeader& header) const {
  const uint64_t depth = layout_.Info.BitsPerSample + 1;  // a side channel's extra bit
  const uint64_t verbatim = (uint64_t{header.BlockSize} * depth + 7) / 8 + 6;
  const uint64_t bound = kFlacMaxHeaderSize + 2 + header.Channels() * verbatim;
  return static_cast<size_t>(std::max<uint64_t>(bound, layout_.Info.MaxFrameSize));
}

size_t TFlacFrameScanner::FindFrameEnd(const uint8_t* bytes, size_t available, bool toEnd,
                                       const TFlacFrameHeader& header, uint16_t& bodyCrc) const {
  const uint16_t headerCrc = FlacCrc16(0, bytes, header.Length);
  const auto closes = [&](size_t end) {
    if (end < header.Length + 2)
      return false;
    const size_t bodySize = end - header.Length - 2;
    bodyCrc = FlacCrc16(0, bytes + header.Length, bodySize);
    const uint16_t stored = static_cast<uint16_t>((bytes[end - 2] << 8) | bytes[end - 1]);
    return FlacCrc16Combine(headerCrc, bodyCrc, bodySize) == stored;
  };
  const uint8_t syncByte = header.VariableBlocksize ? 0xF9 : 0xF8;
  const uint64_t nextNumber = NextNumber(header.BlockSize);
  size_t at = header.Length + 2;
  while (at + 1 < available) {
    const auto* found = static_cast<const uint8_t*>(std::memchr(bytes + at, 0xFF, available - at));
    if (found == nullptr)
      break;
    at = static_cast<size_t>(found - bytes);
    if (at + 1 < available && bytes[at + 1] == syncByte) {
      const auto next = ParseFlacFrameHeader(bytes + at, available - at);
      if (next && next->Number == nextNumber && next->Channels() == header.Channels() &&
          next->RateCode == header.RateCode && next->DepthCode == header.DepthCode && closes(at))
        return at;
    }
    ++at;
  }
  return toEnd && closes(available) ? available : 0;
}

TFlacScanResult TFlacFrameScanner::Next(TFlacFrame& frame) {
  const TFlacStreamInfo& info = layout_.Info;
  // Bytes after the last sample STREAMINFO counts are no frames (a tag appended later).
  if ((info.TotalSamples != 0 && samples_ >= info.TotalSamples) || position_ >= file_.Size())
    return TFlacScanResult::End;
  corruptAt_ = position_;
  file_.Seek(position_);
  const uint64_t remaining = static_cast<uint64_t>(file_.Size() - position_);
  const uint8_t* start = file_.Peek(std::min<uint64_t>(remaining, kFlacMaxHeaderSize));
  if (start == nullptr)
    return TFlacScanResult::Corrupt;
  const auto header =
      ParseFlacFrameHeader(start, std::min<uint64_t>(remaining, kFlacMaxHeaderSize));
  if (!header || !FitsStream(*header))
    return TFlacScanResult::Corrupt;
  if (!variable_) {
    variable_ = header->VariableBlocksize;
    first_ = *header;
  }
  const uint64_t want =
      std::min<uint64_t>({remaining, FrameSizeBound(*header) + kFlacMaxHeaderSize, kLargestPeek});
  const uint8_t* bytes = file_.Peek(want);
  if (bytes == nullptr)
    return TFlacScanResult::Corrupt;
  uint16_t bodyCrc = 0;
  const size_t size = FindFrameEnd(bytes, want, want == remaining, *header, bodyCrc);
  if (size == 0)
    return TFlacScanResult::Corrupt;
  frame.Offset = position_;
  frame.Size = size;
  frame.Header = *header;
  frame.FirstSample = samples_;
  frame.BodyCrc = bodyCrc;
  frame.Bytes = bytes;
  position_ += static_cast<int64_t>(size);
  ++frames_;
  samples_ += header->BlockSize;
  corruptAt_ = -1;
  return TFlacScanResult::Frame;
}

}  // namespace zembrio
