#include "mpeg/reservoir.h"

#include <algorithm>
#include <cstring>

namespace zembrio {

namespace {

// Written at the start of a priming frame's main data area; decoders read no main data of a
// frame whose side information is all zeros.
constexpr std::array<uint8_t, 8> kPrimingMark{'Z', 'M', 'B', 'R', 'p', 'r', 'i', 'm'};

// The current frame's bytes in one view: header and data may lie apart.
class TFrameView {
 public:
  explicit TFrameView(const TMPGFile& source) : parts_(source.FrameBytes()) {}
  explicit TFrameView(const std::vector<uint8_t>& frame)
      : parts_{{{frame.data(), frame.size()}, {nullptr, 0}}} {}
  size_t Size() const { return parts_[0].second + parts_[1].second; }
  uint8_t operator[](size_t i) const {
    return i < parts_[0].second ? parts_[0].first[i] : parts_[1].first[i - parts_[0].second];
  }

 private:
  std::array<std::pair<const uint8_t*, size_t>, 2> parts_;
};

// Where the side information starts: after the header and its CRC when protected.
size_t SideInfoStart(uint8_t headerByte1) {
  return (headerByte1 & 1) == 0 ? 6 : 4;
}
size_t SideInfoStart(const TMPGFile& source) {
  return SideInfoStart(source.Header()[1]);
}

int32_t ReadMainDataBegin(const TFrameView& frame, int32_t versionId, int32_t channelMode) {
  if (frame.Size() < 4)
    return 0;
  const size_t at = SideInfoStart(frame[1]);
  if (frame.Size() < at + SideInfoLength(versionId, channelMode))
    return 0;
  if (versionId == 3)
    return frame[at] << 1 | frame[at + 1] >> 7;
  return frame[at];
}

}  // namespace

int32_t MainDataBegin(const TMPGFile& source) {
  return ReadMainDataBegin(TFrameView(source), source.RefVersion(),
                           source.CurrentHeader().ChannelMode);
}

int32_t MainDataBegin(const std::vector<uint8_t>& frame, int32_t versionId) {
  if (frame.size() < 4)
    return 0;
  return ReadMainDataBegin(TFrameView(frame), versionId, frame[3] >> 6);
}

bool IsPrimingFrame(const TMPGFile& source) {
  if (source.RefLayer() != kLayerIII)
    return false;
  const TFrameView frame(source);
  const size_t side = SideInfoLength(source.RefVersion(), source.CurrentHeader().ChannelMode);
  const size_t at = SideInfoStart(source);
  if (frame.Size() < at + side + kPrimingMark.size())
    return false;
  for (size_t i = 0; i < side; ++i) {
    if (frame[at + i] != 0)
      return false;
  }
  for (size_t i = 0; i < kPrimingMark.size(); ++i) {
    if (frame[at + side + i] != kPrimingMark[i])
      return false;
  }
  return true;
}

void TReservoir::Append(const uint8_t* data, size_t size) {
  while (size > 0) {
    const size_t chunk = std::min(size, kRing - end_);
    std::memcpy(ring_.data() + end_, data, chunk);
    end_ = (end_ + chunk) % kRing;
    data += chunk;
    size -= chunk;
  }
}

void TReservoir::Add(const TMPGFile& source) {
  const auto parts = source.FrameBytes();
  size_t skip = SideInfoStart(source) +
                SideInfoLength(source.RefVersion(), source.CurrentHeader().ChannelMode);
  const size_t total = parts[0].second + parts[1].second;
  if (total <= skip)
    return;
  // Only the last kMaximum bytes of the main data can ever be asked for.
  skip = std::max(skip, total - std::min(total - skip, kMaximum));
  const size_t appended = total - skip;
  for (const auto& [data, size] : parts) {
    const size_t from = std::min(skip, size);
    Append(data + from, size - from);
    skip -= from;
  }
  kept_ = std::min(kept_ + appended, kMaximum);
}

std::vector<uint8_t> TReservoir::PrimingFrame(const TMPGFile& source) const {
  return BuildPriming(source.Header(), source.RefVersion(),
                      static_cast<size_t>(MainDataBegin(source)), Mark());
}

std::vector<uint8_t> TReservoir::PrimingFrame(const std::vector<uint8_t>& frame, int32_t versionId,
                                              TReservoirMark mark) const {
  if (frame.size() < 4)
    return {};
  const std::array<uint8_t, 4> header{frame[0], frame[1], frame[2], frame[3]};
  return BuildPriming(header, versionId, static_cast<size_t>(MainDataBegin(frame, versionId)),
                      mark);
}

std::vector<uint8_t> TReservoir::BuildPriming(std::array<uint8_t, 4> header, int32_t versionId,
                                              size_t needed, TReservoirMark mark) const {
  if (needed == 0 || needed > mark.Kept)
    return {};
  const size_t side = SideInfoLength(versionId, header[3] >> 6);
  header[1] |= 0x01;  // no CRC
  header[2] &= 0x0C;  // sampling rate kept, no padding
  header[3] &= 0xCF;
  for (int32_t index = 1; index < 15; ++index) {
    std::array<uint8_t, 4> candidate = header;
    candidate[2] = static_cast<uint8_t>(candidate[2] | index << 4);
    FrameHeader decoded;
    if (Decode(candidate[0], candidate[1], candidate[2], candidate[3], nullptr, decoded) != Ok)
      continue;
    const auto length = static_cast<size_t>(decoded.FrameLength);
    if (length < 4 + side + kPrimingMark.size() + needed)
      continue;
    std::vector<uint8_t> frame(length, 0);
    std::copy(candidate.begin(), candidate.end(), frame.begin());
    std::copy(kPrimingMark.begin(), kPrimingMark.end(), frame.begin() + 4 + side);
    for (size_t i = 0; i < needed; ++i)
      frame[length - needed + i] = ring_[(mark.End + kRing - needed + i) % kRing];
    return frame;
  }
  return {};
}

}  // namespace zembrio
