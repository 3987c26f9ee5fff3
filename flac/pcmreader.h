// A FLAC stream decoded frame by frame through libFLAC's stream decoder, the bytes read
// through TInputFile so that a failing read carries the platform's text. The statistics
// run and the sound engine both decode through it.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/fileio.h"
#include "flac/trackmetadata.h"

namespace zembrio {

// One decoded frame: Channel[c][i] is sample i of channel c, at the stream's depth.
struct TFlacPcmFrame {
  uint64_t FirstSample = 0;  // the stream's sample number of the frame's first sample
  uint32_t Samples = 0;
  uint32_t Channels = 0;
  uint32_t BitsPerSample = 0;
  const int32_t* const* Channel = nullptr;
  uint64_t EndOffset = 0;  // file offset just past the frame; 0 when the decoder cannot tell
};

// A stretch the decoder could not read: where decoding stood and libFLAC's reason.
struct TFlacDecodeError {
  uint64_t Sample = 0;  // the end of the last frame decoded before it
  std::string Reason;
};

enum class TMd5Check { Verified, Different, Absent, Unchecked };

class TFlacPcmReader {
 public:
  using TFrameSink = std::function<void(const TFlacPcmFrame&)>;
  struct TDecoderDeleter {
    void operator()(void* decoder) const;
  };
  // The errors kept with their positions; the rest are only counted.
  static constexpr size_t kKeptErrors = 100;

  // Opens path (std::system_error when it cannot be opened). checkMd5: the decoded samples
  // are checked against the stream's MD5 as they go.
  TFlacPcmReader(const std::string& path, bool checkMd5, TFrameSink sink);
  ~TFlacPcmReader();
  TFlacPcmReader(const TFlacPcmReader&) = delete;
  TFlacPcmReader& operator=(const TFlacPcmReader&) = delete;

  // Reads the metadata up to the first frame; false when the file holds no FLAC stream
  // libFLAC accepts (no STREAMINFO, an impossible rate or layout).
  bool ReadHead();
  const TFlacStreamInfo& StreamInfo() const { return info_; }

  // Decodes the next frame and hands it to the sink; false at the end of the stream or
  // when libFLAC cannot go on. A read failure or an exception of the sink is rethrown here.
  bool DecodeNext();
  // The next frame handed over begins at sample (the frame that holds it, cut to begin
  // there). MD5 checking stops with the first seek. False when libFLAC cannot seek there.
  bool Seek(uint64_t sample);
  // Ends decoding and says how the samples compared with the stream's MD5; meaningful
  // after the whole stream was decoded without a seek.
  TMd5Check Finish();

  uint64_t ErrorCount() const { return errorCount_; }
  const std::vector<TFlacDecodeError>& Errors() const { return errors_; }
  // The sample just past the last frame handed over.
  uint64_t DecodedEnd() const { return decodedEnd_; }
  uint64_t FramesDecoded() const { return frames_; }
  int64_t Position() const { return input_->Position(); }
  int64_t Size() const { return input_->Size(); }

 private:
  struct TCallbacks;

  void RethrowPending();

  std::unique_ptr<TInputFile> input_;
  // libFLAC's FLAC__StreamDecoder, an unnamed struct that a header cannot declare.
  std::unique_ptr<void, TDecoderDeleter> decoder_;
  bool checkMd5_ = false;
  TFrameSink sink_;
  TFlacStreamInfo info_;
  bool gotInfo_ = false;
  bool seeked_ = false;
  bool finished_ = false;
  uint64_t errorCount_ = 0;
  std::vector<TFlacDecodeError> errors_;
  uint64_t decodedEnd_ = 0;
  uint64_t frames_ = 0;         // frames handed over so far
  std::exception_ptr pending_;  // thrown inside a callback, rethrown outside libFLAC
};

}  // namespace zembrio
