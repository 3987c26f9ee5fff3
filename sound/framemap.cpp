#include "sound/framemap.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <deque>
#include <future>
#include <mutex>

#include "core/settings.h"
#include "mpeg/mpgfile.h"
#include "mpeg/xingheader.h"
#include "sound/decoder.h"

namespace zembrio {

namespace {

// Reads the side information most significant bit first.
class TBitReader {
 public:
  TBitReader(const uint8_t* data, size_t length) : data_(data), bits_(length * 8) {}
  bool Has(size_t count) const { return position_ + count <= bits_; }
  uint32_t Read(int count) {
    uint32_t value = 0;
    for (int i = 0; i < count; ++i, ++position_) {
      value = (value << 1) | ((data_[position_ >> 3] >> (7 - (position_ & 7))) & 1u);
    }
    return value;
  }
  void Skip(size_t count) { position_ += count; }

 private:
  const uint8_t* data_;
  size_t bits_;
  size_t position_ = 0;
};

constexpr int32_t kMpeg1 = 3;
constexpr int32_t kSingleChannel = 3;

}  // namespace

std::optional<int32_t> MaxGlobalGain(const FrameHeader& header, const uint8_t* headerBytes,
                                     const uint8_t* data, size_t dataLength) {
  if (header.LayerCode != kLayerIII) {
    return std::nullopt;
  }
  const bool mpeg1 = header.VersionId == kMpeg1;
  const int channels = header.ChannelMode == kSingleChannel ? 1 : 2;
  const int granules = mpeg1 ? 2 : 1;
  // A CRC word follows the header when the protection bit is clear.
  const size_t crc = (headerBytes[1] & 1u) == 0 ? 2 : 0;
  if (dataLength < crc) {
    return std::nullopt;
  }
  TBitReader bits(data + crc, dataLength - crc);
  // main_data_begin, private bits, scfsi.
  const size_t lead = mpeg1 ? 9 + (channels == 1 ? 5 : 3) + 4 * channels : 8 + channels;
  // part2_3_length 12, big_values 9, global_gain 8, then the rest of the granule's fields.
  const size_t granuleBits = mpeg1 ? 59 : 63;
  if (!bits.Has(lead + granuleBits * granules * channels)) {
    return std::nullopt;
  }
  bits.Skip(lead);
  int32_t highest = -1;
  for (int g = 0; g < granules * channels; ++g) {
    const uint32_t part23 = bits.Read(12);
    bits.Skip(9);
    const auto gain = static_cast<int32_t>(bits.Read(8));
    bits.Skip(granuleBits - 29);
    if (part23 > 0 && gain > highest) {
      highest = gain;
    }
  }
  return highest;
}

int32_t QuietGainBound(double thresholdDb) {
  // The quantizer step is 2^((gain - 210) / 4): 4 gain units double it (about 6 dB).
  // Encoders pick steps well below the signal: noise at -12 dBFS comes with gains near 173
  // at 128 kbit/s, hence the offset. A quiet frame coded with few bits or a coarse step
  // (variable bitrate, low bitrates) carries a higher gain than its level tells, hence the
  // wide margin of 20 units (30 dB); a loud frame taken for quiet costs only its decoding.
  constexpr int32_t kEncoderOffset = 181;
  constexpr int32_t kMargin = 20;
  const double log2Amplitude = thresholdDb / 20.0 * std::log2(10.0);
  return kEncoderOffset + static_cast<int32_t>(std::ceil(4.0 * log2Amplitude)) + kMargin;
}

TFrameMap MapFrames(const std::string& path, std::optional<int32_t> quietBound,
                    TSoundProgress* progress) {
  TMPGFile file;
  if (!file.Open(path, Settings().SKIPVBRHEADER)) {
    throw TSoundError("Aucune trame audio MPEG dans " + path);
  }
  TFrameMap map;
  for (;;) {
    const int64_t start = file.Position();
    if (file.NextFrame() == EndOfData) {
      break;
    }
    const FrameHeader& header = file.CurrentHeader();
    if (map.FrameCount == 0) {
      map.SampleRate = header.SampleRate;
      map.SamplesPerFrame = header.SamplesPerFrame;
      map.LayerCode = header.LayerCode;
    }
    if (map.FrameCount % TFrameMap::kStride == 0) {
      map.Offsets.push_back(start);
      if (progress != nullptr) {
        progress->Fraction.store(file.Progress(), std::memory_order_relaxed);
        // The first frame is always counted: an aborted map still tells the format.
        if (map.FrameCount > 0 && progress->AbortRequested.load(std::memory_order_relaxed)) {
          break;
        }
      }
    }
    ++map.FrameCount;
    if (!quietBound) {
      file.SkipData();
      continue;
    }
    file.ReadData();
    const auto gain = MaxGlobalGain(header, file.Header().data(), file.FrameData(),
                                    static_cast<size_t>(file.FullDataLength()));
    map.MaybeQuiet.push_back(!gain || *gain <= *quietBound ? 1 : 0);
  }
  if (map.FrameCount == 0) {
    throw TSoundError("Aucune trame audio MPEG dans " + path);
  }
  return map;
}

namespace {

// What tells one state of a file from another without reading it.
struct TMappedFile {
  std::string Path;
  dev_t Device = 0;
  ino_t Inode = 0;
  off_t Size = 0;
  timespec Modified{};
  bool SkipVbrHeader = false;

  bool operator==(const TMappedFile& other) const {
    return Path == other.Path && Device == other.Device && Inode == other.Inode &&
           Size == other.Size && Modified.tv_sec == other.Modified.tv_sec &&
           Modified.tv_nsec == other.Modified.tv_nsec && SkipVbrHeader == other.SkipVbrHeader;
  }
};

// The few sources last shown: a user goes back and forth between some files of a folder.
constexpr size_t kKeptMaps = 4;

using TMapFuture = std::shared_future<std::shared_ptr<const TFrameMap>>;

// A walk under way is found too: the player then waits for the waveform's walk of the same
// file, which began earlier, instead of walking beside it. A walk that was stopped gives
// nothing, and the one who waited walks itself.
struct TMapCache {
  std::mutex Lock;
  std::deque<std::pair<TMappedFile, TMapFuture>> Maps;
};

TMapCache& MapCache() {
  static TMapCache cache;
  return cache;
}

}  // namespace

std::shared_ptr<const TFrameMap> SharedFrameMap(const std::string& path, TSoundProgress* progress) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    // MapFrames reports the file that cannot be opened.
    return std::make_shared<const TFrameMap>(MapFrames(path, std::nullopt, progress));
  }
  const TMappedFile file{path,         info.st_dev,  info.st_ino,
                         info.st_size, info.st_mtim, Settings().SKIPVBRHEADER};
  TMapCache& cache = MapCache();
  std::promise<std::shared_ptr<const TFrameMap>> walk;
  {
    std::unique_lock<std::mutex> hold(cache.Lock);
    const auto found = std::ranges::find_if(
        cache.Maps, [&file](const auto& entry) { return entry.first == file; });
    if (found != cache.Maps.end()) {
      const TMapFuture known = found->second;
      hold.unlock();
      if (std::shared_ptr<const TFrameMap> map = known.get()) {
        return map;
      }
      hold.lock();
    }
    std::erase_if(cache.Maps, [&file](const auto& entry) { return entry.first.Path == file.Path; });
    cache.Maps.emplace_front(file, walk.get_future().share());
    if (cache.Maps.size() > kKeptMaps) {
      cache.Maps.pop_back();
    }
  }
  std::shared_ptr<const TFrameMap> map;
  try {
    map = std::make_shared<const TFrameMap>(MapFrames(path, std::nullopt, progress));
  } catch (...) {
    walk.set_value(nullptr);
    throw;
  }
  const bool stopped =
      progress != nullptr && progress->AbortRequested.load(std::memory_order_relaxed);
  walk.set_value(stopped ? nullptr : map);
  return map;
}

}  // namespace zembrio
