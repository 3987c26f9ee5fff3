// The metadata of FLAC streams: STREAMINFO as the format lays it out, what a source holds
// besides its frames, and the blocks that a track written by a cut or a join carries
// between its STREAMINFO and its first frame.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tags/fragmenttags.h"

namespace zembrio {

constexpr size_t kFlacStreamInfoSize = 34;

struct TFlacStreamInfo {
  uint32_t MinBlockSize = 0;
  uint32_t MaxBlockSize = 0;
  uint32_t MinFrameSize = 0;  // 0: unknown
  uint32_t MaxFrameSize = 0;  // 0: unknown
  uint32_t SampleRate = 0;
  uint32_t Channels = 0;
  uint32_t BitsPerSample = 0;
  uint64_t TotalSamples = 0;      // 0: unknown
  std::array<uint8_t, 16> Md5{};  // all zero: not set

  bool HasMd5() const;
};

// The 34 bytes of a STREAMINFO block's body, and back.
std::array<uint8_t, kFlacStreamInfoSize> SerializeStreamInfo(const TFlacStreamInfo& info);
TFlacStreamInfo ParseStreamInfo(const uint8_t* body);

// Everything of a source that is not a frame, read once before the cut.
struct TFlacSourceMetadata {
  TFlacStreamInfo StreamInfo;
  uint64_t AudioOffset = 0;                    // byte offset of the first frame
  std::string Vendor;                          // the VORBIS_COMMENT vendor string
  std::vector<std::string> Comments;           // "FIELD=value" in UTF-8, in stored order
  std::vector<std::vector<uint8_t>> Pictures;  // PICTURE block bodies, as stored
  // The CUESHEET block, when there is one (see the embedded track lists).
  bool HasCueSheetBlock = false;
  bool HasSeekTable = false;
};

// Reads the metadata of path. Throws std::system_error when the file cannot be read and
// TRunError when it is not a FLAC stream.
TFlacSourceMetadata ReadFlacSourceMetadata(const std::string& path);

// One seek point as the format stores it.
struct TFlacSeekPoint {
  uint64_t Sample = 0;  // first sample of the frame
  uint64_t Offset = 0;  // bytes from the first frame's first byte
  uint16_t Samples = 0;
};

// The blocks that follow a track's STREAMINFO: VORBIS_COMMENT, the PICTURE blocks, a seek
// table of SeekPoints placeholder points and PADDING, the last one marked last. Written as
// they are; the seek table is filled in once the frames are written.
struct TFlacTrackMetadata {
  std::vector<uint8_t> Blocks;
  size_t SeekTableOffset = 0;  // where the seek table's first point lies in Blocks
  uint32_t SeekPoints = 0;     // 0: no seek table
};

// The blocks of a track of trackSamples samples at the source's rate. tags nullptr: the
// source's comments only (ID3V2TAG 0); otherwise the track's fields replace the source's
// and the comments that describe the whole album image are left out.
TFlacTrackMetadata BuildTrackMetadata(const TFlacSourceMetadata& source, const TFragmentTags* tags,
                                      uint64_t trackSamples);

// The seek points a track of trackSamples samples gets: one about every 10 seconds.
uint32_t SeekPointCount(uint64_t trackSamples, uint32_t sampleRate);

// The bytes that replace the placeholder points: points sorted, count of them at most
// SeekPoints; unused places become placeholder points.
std::vector<uint8_t> SerializeSeekPoints(const std::vector<TFlacSeekPoint>& points,
                                         uint32_t seekPoints);

}  // namespace zembrio
