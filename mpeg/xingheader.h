// The header frame that opens a complete MPEG Layer III file: a silent frame carrying the
// "Xing" (variable bitrate) or "Info" (constant bitrate) header with the frame and byte
// counts and a seek table, followed by the LAME extension with the encoder delay and
// padding that gapless players trim. Reading the one a source brings, and writing fresh
// ones that describe a fragment or a joined file.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "mpeg/crc16.h"
#include "mpeg/frameheader.h"

namespace zembrio {

// Layer III only: the other layers keep no such header.
constexpr int32_t kLayerIII = 1;
// LAME's assumptions for a source that does not say: its usual encoder delay.
constexpr int32_t kDefaultEncoderDelay = 576;
// Delay and padding are 12-bit fields.
constexpr int32_t kMaxDelayOrPadding = 4095;

// The values of a source's LAME extension that describe the encoding rather than the
// stretch of audio: a fresh header takes them over.
struct TLameTag {
  std::array<uint8_t, 9> Encoder{};
  uint8_t Revision = 0;  // revision (high nibble) and VBR method (low nibble)
  uint8_t Lowpass = 0;
  uint8_t Flags = 0;  // encoding flags and ATH type
  uint8_t AbrBitrate = 0;
  uint8_t Misc = 0;
  uint16_t Preset = 0;  // surround and preset
  int32_t Delay = 0;
  int32_t Padding = 0;
};

// Where a fragment of a cut lies in its source, kept after the LAME extension of its header
// frame: a join of consecutive fragments of one cut leaves out the frames they share.
struct TFragmentMark {
  uint32_t Source = 0;     // the same for every fragment of one cut of one source
  int64_t FirstFrame = 0;  // source index of the first audio frame after a priming frame
  int32_t Leading = 0;     // frames before the stretch, the previous fragment's last ones
  int32_t Trailing = 0;    // frames after the stretch, the next fragment's first ones
};

// What a source's first frame says about the whole stream.
struct TSourceHeader {
  int32_t Quality = -1;               // the Xing quality field, -1 when absent
  std::optional<TLameTag> Lame;       // the LAME extension, when there is one
  std::optional<TFragmentMark> Mark;  // when the file is a fragment of ours
};

// Reads the "Xing"/"Info" header in the data of a frame (the bytes after its 4-byte
// header). Nothing when the data holds none or it is cut short.
std::optional<TSourceHeader> ReadSourceHeader(const uint8_t* data, size_t size, int32_t versionId,
                                              int32_t channelMode);

// Offset of the "Xing"/"Info" tag inside a frame, header included.
size_t XingOffset(int32_t versionId, int32_t channelMode);

// The 4 header bytes of the header frame for a stream whose first audio frame has header
// bytes first: the same version, sampling rate and channel mode, no CRC, no padding, at the
// first frame's bitrate when that frame is large enough, else at the smallest one that is.
std::optional<std::array<uint8_t, 4>> HeaderFrameHeader(const std::array<uint8_t, 4>& first);

// Builds the seek table of a stream as its frames go by, in a fixed amount of memory
// however long the stream: every step-th frame's offset is kept, and the step doubles
// whenever the store is full.
class TTocBuilder {
 public:
  // The frame about to be counted starts offset bytes after the header frame's start.
  void AddFrame(int64_t offset);
  int64_t Frames() const { return frames_; }
  // Entry i: where i % of the frames is reached, as a share of totalBytes in 0..255.
  std::array<uint8_t, 100> Table(int64_t totalBytes) const;

 private:
  static constexpr size_t kCapacity = 512;
  std::array<int64_t, kCapacity> offsets_{};
  size_t kept_ = 0;
  int64_t step_ = 1;
  int64_t frames_ = 0;
};

// Everything a fresh header frame says.
struct THeaderFrameFields {
  std::array<uint8_t, 4> Header{};  // from HeaderFrameHeader
  bool VariableBitrate = false;     // "Xing", else "Info"
  int64_t Frames = 0;               // audio frames after the header frame
  int64_t Bytes = 0;                // every frame byte, the header frame's included
  std::array<uint8_t, 100> Toc{};
  int32_t Quality = 0;
  TLameTag Lame;
  uint16_t MusicCrc = 0;  // of the audio frames
  std::optional<TFragmentMark> Mark;
};

// The whole header frame; empty when Header does not decode.
std::vector<uint8_t> BuildHeaderFrame(const THeaderFrameFields& fields);

}  // namespace zembrio
