// Placeholder until the metadata reader lands: a track gets PADDING only.
#include "flac/trackmetadata.h"

#include "cut/runfeedback.h"

namespace zembrio {

bool TFlacStreamInfo::HasMd5() const {
  for (uint8_t b : Md5)
    if (b != 0)
      return true;
  return false;
}

std::array<uint8_t, kFlacStreamInfoSize> SerializeStreamInfo(const TFlacStreamInfo& info) {
  std::array<uint8_t, kFlacStreamInfoSize> out{};
  auto put = [&out](size_t at, uint64_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) {
      out[at + static_cast<size_t>(i)] = static_cast<uint8_t>(value & 0xFF);
      value >>= 8;
    }
  };
  put(0, info.MinBlockSize, 2);
  put(2, info.MaxBlockSize, 2);
  put(4, info.MinFrameSize, 3);
  put(7, info.MaxFrameSize, 3);
  // 20 bits rate, 3 bits channels - 1, 5 bits depth - 1, 36 bits total samples.
  uint64_t packed = (static_cast<uint64_t>(info.SampleRate) << 44) |
                    (static_cast<uint64_t>(info.Channels - 1) << 41) |
                    (static_cast<uint64_t>(info.BitsPerSample - 1) << 36) |
                    (info.TotalSamples & 0xFFFFFFFFFULL);
  put(10, packed, 8);
  for (size_t i = 0; i < 16; ++i)
    out[18 + i] = info.Md5[i];
  return out;
}

TFlacStreamInfo ParseStreamInfo(const uint8_t* body) {
  auto get = [body](size_t at, int bytes) {
    uint64_t value = 0;
    for (int i = 0; i < bytes; ++i)
      value = (value << 8) | body[at + static_cast<size_t>(i)];
    return value;
  };
  TFlacStreamInfo info;
  info.MinBlockSize = static_cast<uint32_t>(get(0, 2));
  info.MaxBlockSize = static_cast<uint32_t>(get(2, 2));
  info.MinFrameSize = static_cast<uint32_t>(get(4, 3));
  info.MaxFrameSize = static_cast<uint32_t>(get(7, 3));
  uint64_t packed = get(10, 8);
  info.SampleRate = static_cast<uint32_t>(packed >> 44);
  info.Channels = static_cast<uint32_t>((packed >> 41) & 0x7) + 1;
  info.BitsPerSample = static_cast<uint32_t>((packed >> 36) & 0x1F) + 1;
  info.TotalSamples = packed & 0xFFFFFFFFFULL;
  for (size_t i = 0; i < 16; ++i)
    info.Md5[i] = body[18 + i];
  return info;
}

TFlacSourceMetadata ReadFlacSourceMetadata(const std::string&) {
  throw TRunError("Lecture des métadonnées FLAC pas encore disponible.");
}

TFlacTrackMetadata BuildTrackMetadata(const TFlacSourceMetadata&, const TFragmentTags*, uint64_t) {
  // PADDING of 8 KiB, marked last.
  TFlacTrackMetadata meta;
  const uint32_t size = 8192;
  meta.Blocks = {0x81, static_cast<uint8_t>(size >> 16), static_cast<uint8_t>(size >> 8),
                 static_cast<uint8_t>(size)};
  meta.Blocks.resize(4 + size, 0);
  return meta;
}

uint32_t SeekPointCount(uint64_t, uint32_t) {
  return 0;
}

std::vector<uint8_t> SerializeSeekPoints(const std::vector<TFlacSeekPoint>&, uint32_t) {
  return {};
}

}  // namespace zembrio
