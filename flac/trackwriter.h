// One FLAC file being written by a cut or a join: "fLaC", a STREAMINFO to be filled in,
// the track's other metadata blocks, then frames, each numbered for its place in this
// stream: frames of the source copied with a new header, and samples encoded anew where
// a source frame is only partly the track's. At the end STREAMINFO and the seek table
// describe the frames that were written.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/fileio.h"
#include "flac/flaccodec.h"
#include "flac/framescan.h"
#include "flac/trackmetadata.h"

namespace zembrio {

class TFlacTrackWriter {
 public:
  // The shortest block a frame other than the last may hold.
  static constexpr uint32_t kMinBlock = 16;

  // source gives rate, channels, depth and the largest block an encoded frame may take;
  // variable: frames numbered by their first sample, otherwise by their index.
  TFlacTrackWriter(const std::string& path, const TFlacStreamInfo& source,
                   const TFlacTrackMetadata& metadata, bool variable);

  const std::string& Path() const { return file_.Path(); }
  // Appends a frame of the source as it is, in its place in this stream.
  void CopyFrame(const TFlacFrame& frame);
  // Appends samples to encode. They are held until at least kMinBlock wait or last says
  // that the stream ends with them: no frame but the last is shorter.
  void AddSamples(const int32_t* interleaved, uint32_t count, bool last);
  // True while samples wait: the next frame must join them, not be copied.
  bool HasPending() const { return !pending_.empty(); }
  uint64_t Samples() const { return samples_; }
  uint64_t FramesWritten() const { return frames_; }
  uint64_t FramesEncoded() const { return encoded_; }
  // Fills in STREAMINFO (md5: of the samples written) and the seek table, and closes.
  // Throws std::system_error when a write or the close fails.
  void Finish(const std::array<uint8_t, 16>& md5);

 private:
  void Encode();
  // Writes a frame: header renumbered from header, then body and the new CRC-16 carried
  // over from the body's own.
  void WriteFrame(const TFlacFrameHeader& header, const uint8_t* body, size_t bodySize,
                  uint16_t bodyCrc);
  TFlacStreamInfo StreamInfo(const std::array<uint8_t, 16>& md5) const;

  TOutputFile file_;
  TFlacStreamInfo source_;
  bool variable_;
  int64_t firstFrameAt_ = 0;
  int64_t seekTableAt_ = -1;  // -1: none
  uint32_t seekPoints_ = 0;
  std::vector<TFlacSeekPoint> points_;
  uint64_t nextSeekTarget_ = 0;
  TPcmSamples pending_;
  uint64_t samples_ = 0;
  uint64_t frames_ = 0;
  uint64_t encoded_ = 0;
  uint32_t lastBlock_ = 0;
  uint32_t minBlock_ = 0;  // of the frames before the last; 0: none yet
  uint32_t maxBlock_ = 0;
  uint32_t firstBlock_ = 0;
  uint32_t minFrame_ = 0;
  uint32_t maxFrame_ = 0;
};

}  // namespace zembrio
