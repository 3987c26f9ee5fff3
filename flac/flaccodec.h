// What a cut asks of libFLAC: the samples of one frame, frames made from samples, and the
// decode of a whole source on a thread of its own; and the MD5 that STREAMINFO keeps of a
// stream's samples.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "flac/trackmetadata.h"

struct evp_md_ctx_st;

namespace zembrio {

// Samples of all channels interleaved, as libFLAC's encoder takes them.
using TPcmSamples = std::vector<int32_t>;

// The samples of one whole frame of a stream described by info, appended to out; false
// when libFLAC cannot decode it.
bool DecodeFlacFrame(const TFlacStreamInfo& info, const uint8_t* frame, size_t size,
                     TPcmSamples& out);

// count samples (interleaved at samples) as frames of at most blockSize samples each, the
// last one holding what remains; empty when libFLAC fails. The frames carry libFLAC's
// numbering: the caller gives them their place.
std::vector<std::vector<uint8_t>> EncodeFlacFrames(const TFlacStreamInfo& info,
                                                   const int32_t* samples, uint32_t count,
                                                   uint32_t blockSize);

// The MD5 of samples as FLAC keeps it: interleaved, little-endian, whole bytes per sample.
class TPcmMd5 {
 public:
  TPcmMd5(uint32_t channels, uint32_t bitsPerSample);
  ~TPcmMd5();
  TPcmMd5(const TPcmMd5&) = delete;
  TPcmMd5& operator=(const TPcmMd5&) = delete;

  // Samples first..first + count of the block whose channels are in planes.
  void Add(const int32_t* const planes[], uint32_t first, uint32_t count);
  void AddInterleaved(const int32_t* samples, uint32_t count);
  std::array<uint8_t, 16> Finish();

 private:
  std::unique_ptr<evp_md_ctx_st, void (*)(evp_md_ctx_st*)> ctx_;
  uint32_t channels_;
  uint32_t bytesPerSample_;
  std::vector<uint8_t> packed_;
};

// Decodes a whole FLAC file with libFLAC, block after block, and checks the MD5 its
// STREAMINFO holds. Runs on the caller's thread: the cut gives it one.
class TFlacSourceDecoder {
 public:
  // first: the block's first sample counted from the stream's start. false stops the decode.
  using TBlockSink =
      std::function<bool(uint64_t first, const int32_t* const planes[], uint32_t count)>;
  enum class TOutcome { Decoded, Failed, Stopped };

  // Decodes path to its end; Md5Matches() tells whether the samples matched the stored MD5.
  TOutcome Run(const std::string& path, const TBlockSink& sink, bool checkMd5,
               const std::atomic<bool>& stop);
  bool Md5Matches() const { return md5Matches_; }
  const std::string& Error() const { return error_; }

 private:
  bool md5Matches_ = false;
  std::string error_;
};

}  // namespace zembrio
