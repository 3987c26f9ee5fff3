// The walk over a FLAC source's frames: where its audio starts, then one frame after the
// other, each checked by both its CRCs before anything is made of it. A frame that fails
// is never handed on: the walk stops there and says where it lies.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "core/fileio.h"
#include "flac/frameheader.h"
#include "flac/trackmetadata.h"

namespace zembrio {

// What the frame walk needs of the metadata: the stream and where its frames start.
struct TFlacStreamLayout {
  TFlacStreamInfo Info;
  int64_t AudioOffset = 0;
};

// Reads "fLaC" (after an ID3v2 tag, as some taggers leave one) and the metadata blocks by
// their lengths, from the start of file. nullopt when it is not a FLAC stream; throws
// std::system_error when the file cannot be read.
std::optional<TFlacStreamLayout> ReadFlacStreamLayout(TInputFile& file);

struct TFlacFrame {
  int64_t Offset = 0;  // in the source
  size_t Size = 0;     // header to CRC-16, both included
  TFlacFrameHeader Header;
  uint64_t FirstSample = 0;
  uint16_t BodyCrc = 0;            // CRC-16 of the bytes between header and CRC-16
  const uint8_t* Bytes = nullptr;  // the whole frame; valid until the next step of the walk

  uint64_t EndSample() const { return FirstSample + Header.BlockSize; }
  const uint8_t* Body() const { return Bytes + Header.Length; }
  size_t BodySize() const { return Size - Header.Length - 2; }
};

enum class TFlacScanResult { Frame, End, Corrupt };

class TFlacFrameScanner {
 public:
  // file stands anywhere; the walk starts at layout.AudioOffset.
  TFlacFrameScanner(TInputFile& file, const TFlacStreamLayout& layout);

  // The next frame, the end of the stream, or a frame that cannot be trusted (CorruptAt).
  TFlacScanResult Next(TFlacFrame& frame);
  // Where the frame that failed starts.
  int64_t CorruptAt() const { return corruptAt_; }
  int64_t Position() const { return position_; }
  uint64_t FramesRead() const { return frames_; }
  uint64_t SamplesRead() const { return samples_; }
  // True once the first frame said which numbering the stream uses.
  bool Variable() const { return variable_.value_or(false); }

 private:
  bool FitsStream(const TFlacFrameHeader& header) const;
  // The number the frame after one of blockSize samples must carry.
  uint64_t NextNumber(uint32_t blockSize) const;
  // The largest frame a header can open: every channel stored verbatim.
  size_t FrameSizeBound(const TFlacFrameHeader& header) const;
  // The frame of header at bytes: its size once a following header (or the end of the
  // stream) closes it and the CRC-16 matches; 0 when none does.
  size_t FindFrameEnd(const uint8_t* bytes, size_t available, bool toEnd,
                      const TFlacFrameHeader& header, uint16_t& bodyCrc) const;

  TInputFile& file_;
  TFlacStreamLayout layout_;
  int64_t position_ = 0;
  int64_t corruptAt_ = -1;
  uint64_t frames_ = 0;
  uint64_t samples_ = 0;
  std::optional<bool> variable_;
  TFlacFrameHeader first_;  // the codes later frames must share with the first
};

}  // namespace zembrio
