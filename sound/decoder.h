// Decoding a source into blocks of PCM samples: MPEG audio through libmpg123, Ogg Vorbis
// through libvorbisfile and Ogg Opus through libopusfile. MPEG frames are found by the
// program's own frame walk and handed to the library one by one, so a sample position here
// is the position the cut uses: frame index times samples per frame, counted from the first
// walked frame. A damaged stretch never stops decoding: a frame the library refuses reads
// as silence.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

#include "format/sourcekind.h"

namespace zembrio {

struct TSoundProgress;

// A source that holds no audio this program can decode, or a library failure that ends
// decoding; the text is the library's own where it gave one.
class TSoundError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct TPcmFormat {
  int32_t SampleRate = 0;  // Hz
  int32_t Channels = 0;
};

// Decoded samples, interleaved by channel, as floats of full scale 1.0. Data stays valid
// until the next call of Next.
struct TPcmBlock {
  int64_t StartSample = 0;  // position of the block's first sample frame
  int32_t Frames = 0;       // sample frames (one sample per channel each)
  const float* Data = nullptr;
};

class TSoundDecoder {
 public:
  virtual ~TSoundDecoder() = default;
  virtual TPcmFormat Format() const = 0;
  // The next block; false at the end of the source (or of the range asked for).
  virtual bool Next(TPcmBlock& block) = 0;
  // Share of the source read so far, 0 to 1.
  virtual double Progress() const = 0;
  // The length of the source in sample frames as the cut counts it.
  virtual int64_t TotalSamples() const = 0;
};

// True when the source holds MPEG audio (by content): the engine's frame-walk paths apply.
bool IsMpegSource(const std::string& path);

// Opens path for decoding as a source of kind: MPEG audio through the frame walk (with the
// SKIPVBRHEADER setting) and libmpg123, Ogg Vorbis through libvorbisfile. Throws
// std::system_error when the file cannot be opened and TSoundError when it holds no audio
// this program decodes. An abort asked through progress ends the MPEG frame walk at once
// (the decoder then holds only the frames walked); progress may be null.
std::unique_ptr<TSoundDecoder> OpenSoundDecoderOfKind(const std::string& path, TSourceKind kind,
                                                      TSoundProgress* progress = nullptr);
// The same for the kind the content of path shows.
std::unique_ptr<TSoundDecoder> OpenSoundDecoder(const std::string& path,
                                                TSoundProgress* progress = nullptr);
// A decoder whose first block holds the sample at fromMs, or starts before it (playback
// drops what lies before): MPEG from the frame that holds it, FLAC from the frame that
// holds it, WAV at it, Ogg Vorbis and Opus where the library's seek puts them.
std::unique_ptr<TSoundDecoder> OpenSoundDecoderFrom(const std::string& path, int64_t fromMs);

}  // namespace zembrio
