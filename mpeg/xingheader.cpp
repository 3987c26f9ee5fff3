#include "mpeg/xingheader.h"

#include <algorithm>
#include <cstring>

namespace zembrio {

namespace {

constexpr uint32_t kFramesFlag = 1;
constexpr uint32_t kBytesFlag = 2;
constexpr uint32_t kTocFlag = 4;
constexpr uint32_t kQualityFlag = 8;
constexpr size_t kTocSize = 100;
// Tag, flags, frames, bytes, seek table, quality.
constexpr size_t kXingSize = 4 + 4 + 4 + 4 + kTocSize + 4;
constexpr size_t kLameSize = 36;
// Tag, source, first frame, leading and trailing frames.
constexpr size_t kMarkSize = 4 + 4 + 8 + 2 + 2;
constexpr std::array<uint8_t, 4> kMarkTag{'Z', 'M', 'f', 'r'};
// The header CRC covers the frame up to the CRC itself when the tag is where MPEG-1
// stereo puts it.
constexpr size_t kHeaderCrcSpan = 190;

uint32_t ReadBig32(const uint8_t* p) {
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

void PutBig32(uint8_t* p, uint32_t value) {
  p[0] = static_cast<uint8_t>(value >> 24);
  p[1] = static_cast<uint8_t>(value >> 16);
  p[2] = static_cast<uint8_t>(value >> 8);
  p[3] = static_cast<uint8_t>(value);
}

uint16_t ReadBig16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] << 8 | p[1]);
}

void PutBig16(uint8_t* p, uint16_t value) {
  p[0] = static_cast<uint8_t>(value >> 8);
  p[1] = static_cast<uint8_t>(value);
}

// The lengths fields are 32-bit; a longer file saturates rather than wraps.
uint32_t Clamp32(int64_t value) {
  return static_cast<uint32_t>(std::clamp<int64_t>(value, 0, UINT32_MAX));
}

TLameTag ReadLame(const uint8_t* p) {
  TLameTag lame;
  std::memcpy(lame.Encoder.data(), p, lame.Encoder.size());
  lame.Revision = p[9];
  lame.Lowpass = p[10];
  lame.Flags = p[19];
  lame.AbrBitrate = p[20];
  lame.Delay = (p[21] << 4) | (p[22] >> 4);
  lame.Padding = ((p[22] & 0x0F) << 8) | p[23];
  lame.Misc = p[24];
  lame.Preset = static_cast<uint16_t>(p[26] << 8 | p[27]);
  return lame;
}

void PutLame(uint8_t* p, const TLameTag& lame, uint32_t musicLength, uint16_t musicCrc) {
  std::memcpy(p, lame.Encoder.data(), lame.Encoder.size());
  p[9] = lame.Revision;
  p[10] = lame.Lowpass;
  // 11..18: the source's ReplayGain describes the whole source, not this file: left 0.
  p[19] = lame.Flags;
  p[20] = lame.AbrBitrate;
  const int32_t delay = std::clamp(lame.Delay, 0, kMaxDelayOrPadding);
  const int32_t padding = std::clamp(lame.Padding, 0, kMaxDelayOrPadding);
  p[21] = static_cast<uint8_t>(delay >> 4);
  p[22] = static_cast<uint8_t>((delay & 0x0F) << 4 | padding >> 8);
  p[23] = static_cast<uint8_t>(padding);
  p[24] = lame.Misc;
  p[25] = 0;  // MP3Gain: none applied to this file
  PutBig16(p + 26, lame.Preset);
  PutBig32(p + 28, musicLength);
  PutBig16(p + 32, musicCrc);
}

std::optional<TFragmentMark> ReadMark(const uint8_t* p) {
  if (std::memcmp(p, kMarkTag.data(), kMarkTag.size()) != 0)
    return std::nullopt;
  TFragmentMark mark;
  mark.Source = ReadBig32(p + 4);
  const uint64_t first = uint64_t{ReadBig32(p + 8)} << 32 | ReadBig32(p + 12);
  mark.FirstFrame = static_cast<int64_t>(std::min<uint64_t>(first, INT64_MAX));
  mark.Leading = ReadBig16(p + 16);
  mark.Trailing = ReadBig16(p + 18);
  return mark;
}

void PutMark(uint8_t* p, const TFragmentMark& mark) {
  std::copy(kMarkTag.begin(), kMarkTag.end(), p);
  PutBig32(p + 4, mark.Source);
  const auto first = static_cast<uint64_t>(std::max<int64_t>(mark.FirstFrame, 0));
  PutBig32(p + 8, static_cast<uint32_t>(first >> 32));
  PutBig32(p + 12, static_cast<uint32_t>(first));
  PutBig16(p + 16, static_cast<uint16_t>(std::clamp(mark.Leading, 0, 0xFFFF)));
  PutBig16(p + 18, static_cast<uint16_t>(std::clamp(mark.Trailing, 0, 0xFFFF)));
}

}  // namespace

size_t XingOffset(int32_t versionId, int32_t channelMode) {
  return 4 + SideInfoLength(versionId, channelMode);
}

std::optional<TSourceHeader> ReadSourceHeader(const uint8_t* data, size_t size, int32_t versionId,
                                              int32_t channelMode) {
  size_t at = XingOffset(versionId, channelMode) - 4;
  if (data == nullptr || size < at + 8)
    return std::nullopt;
  if (std::memcmp(data + at, "Xing", 4) != 0 && std::memcmp(data + at, "Info", 4) != 0)
    return std::nullopt;
  const uint32_t flags = ReadBig32(data + at + 4);
  at += 8;
  at += (flags & kFramesFlag) != 0 ? 4 : 0;
  at += (flags & kBytesFlag) != 0 ? 4 : 0;
  at += (flags & kTocFlag) != 0 ? kTocSize : 0;
  TSourceHeader header;
  if ((flags & kQualityFlag) != 0) {
    if (size < at + 4)
      return header;
    header.Quality = static_cast<int32_t>(std::min<uint32_t>(ReadBig32(data + at), 100));
    at += 4;
  }
  // An extension cut short or filled with zeros (an encoder that leaves room only) is none.
  if (size >= at + kLameSize && data[at] != 0) {
    header.Lame = ReadLame(data + at);
    if (size >= at + kLameSize + kMarkSize)
      header.Mark = ReadMark(data + at + kLameSize);
  }
  return header;
}

std::optional<std::array<uint8_t, 4>> HeaderFrameHeader(const std::array<uint8_t, 4>& first) {
  FrameHeader decoded;
  if (Decode(first[0], first[1], first[2], first[3], nullptr, decoded) != Ok ||
      decoded.LayerCode != kLayerIII)
    return std::nullopt;
  const size_t needed =
      XingOffset(decoded.VersionId, decoded.ChannelMode) + kXingSize + kLameSize + kMarkSize;
  std::array<uint8_t, 4> header = first;
  header[1] |= 0x01;  // no CRC
  header[2] &= 0x0C;  // sampling rate kept; padding and private bit cleared
  header[3] &= 0xCF;  // mode extension cleared
  const auto withBitrate = [&](int32_t index) {
    std::array<uint8_t, 4> candidate = header;
    candidate[2] = static_cast<uint8_t>(candidate[2] | index << 4);
    return candidate;
  };
  const auto fits = [&](const std::array<uint8_t, 4>& candidate) {
    FrameHeader h;
    return Decode(candidate[0], candidate[1], candidate[2], candidate[3], nullptr, h) == Ok &&
           static_cast<size_t>(h.FrameLength) >= needed;
  };
  if (fits(withBitrate(decoded.BitrateIndex)))
    return withBitrate(decoded.BitrateIndex);
  for (int32_t index = 1; index < 15; ++index) {
    if (fits(withBitrate(index)))
      return withBitrate(index);
  }
  return std::nullopt;
}

// The step is a power of two: a mask, not a division, on every frame.
void TTocBuilder::AddFrame(int64_t offset) {
  if ((frames_ & (step_ - 1)) == 0) {
    if (kept_ == kCapacity) {
      for (size_t i = 0; i < kCapacity / 2; ++i)
        offsets_[i] = offsets_[2 * i];
      kept_ = kCapacity / 2;
      step_ *= 2;
    }
    if ((frames_ & (step_ - 1)) == 0)
      offsets_[kept_++] = offset;
  }
  ++frames_;
}

std::array<uint8_t, 100> TTocBuilder::Table(int64_t totalBytes) const {
  std::array<uint8_t, 100> table{};
  if (frames_ == 0 || kept_ == 0 || totalBytes <= 0)
    return table;
  for (size_t i = 0; i < table.size(); ++i) {
    // The frame reached at i %, and its offset interpolated between the kept ones.
    const double frame = static_cast<double>(frames_) * static_cast<double>(i) / 100.0;
    const double slot = frame / static_cast<double>(step_);
    const auto below = std::min(static_cast<size_t>(slot), kept_ - 1);
    const double from = static_cast<double>(offsets_[below]);
    const double to = below + 1 < kept_ ? static_cast<double>(offsets_[below + 1])
                                        : static_cast<double>(totalBytes);
    const double span = below + 1 < kept_
                            ? 1.0
                            : static_cast<double>(frames_) / static_cast<double>(step_) -
                                  static_cast<double>(below);
    const double offset = from + (to - from) * std::min(1.0, (slot - below) / std::max(span, 1e-9));
    const double scaled = offset * 256.0 / static_cast<double>(totalBytes);
    table[i] = static_cast<uint8_t>(std::clamp(scaled, 0.0, 255.0));
  }
  return table;
}

std::vector<uint8_t> BuildHeaderFrame(const THeaderFrameFields& fields) {
  const std::array<uint8_t, 4>& h = fields.Header;
  FrameHeader decoded;
  if (Decode(h[0], h[1], h[2], h[3], nullptr, decoded) != Ok)
    return {};
  std::vector<uint8_t> frame(static_cast<size_t>(decoded.FrameLength), 0);
  const size_t xing = XingOffset(decoded.VersionId, decoded.ChannelMode);
  if (frame.size() < xing + kXingSize + kLameSize + kMarkSize)
    return {};
  std::copy(h.begin(), h.end(), frame.begin());
  uint8_t* p = frame.data() + xing;
  std::memcpy(p, fields.VariableBitrate ? "Xing" : "Info", 4);
  PutBig32(p + 4, kFramesFlag | kBytesFlag | kTocFlag | kQualityFlag);
  PutBig32(p + 8, Clamp32(fields.Frames));
  PutBig32(p + 12, Clamp32(fields.Bytes));
  std::copy(fields.Toc.begin(), fields.Toc.end(), p + 16);
  PutBig32(p + 16 + kTocSize, static_cast<uint32_t>(std::clamp(fields.Quality, 0, 100)));
  uint8_t* lame = p + kXingSize;
  PutLame(lame, fields.Lame, Clamp32(fields.Bytes), fields.MusicCrc);
  const size_t crcSpan = std::min(kHeaderCrcSpan, static_cast<size_t>(lame + 34 - frame.data()));
  PutBig16(lame + 34, Crc16(0, frame.data(), crcSpan));
  // In the frame's unused bytes after the LAME extension, which decoders pass over.
  if (fields.Mark)
    PutMark(lame + kLameSize, *fields.Mark);
  return frame;
}

}  // namespace zembrio
