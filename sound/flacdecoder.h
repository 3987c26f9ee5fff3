// A FLAC source decoded into float blocks through libFLAC, positions counted in samples of
// the source as the FLAC cut counts them. A stretch of the source can be decoded on its
// own (the decoder seeks to it), so two halves can be decoded at once.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "flac/pcmreader.h"
#include "sound/decoder.h"

namespace zembrio {

class TFlacDecoder : public TSoundDecoder {
 public:
  // Decodes samples first..last-1 of the source; last below 0: to its end. Throws
  // std::system_error when the file cannot be opened and TSoundError when it holds no
  // FLAC stream or the stretch cannot be reached.
  TFlacDecoder(const std::string& path, int64_t first = 0, int64_t last = -1);

  TPcmFormat Format() const override { return format_; }
  bool Next(TPcmBlock& block) override;
  // Share of the stretch decoded.
  double Progress() const override;
  // STREAMINFO's count; a stream that does not say grows as it is decoded.
  int64_t TotalSamples() const override { return total_; }

  // Moves on to samples first..last-1 (last below 0: to the end), after the current
  // stretch or before it. Throws TSoundError when libFLAC cannot seek there.
  void Select(int64_t first, int64_t last);

 private:
  void Take(const TFlacPcmFrame& frame);
  void AppendSilence(int64_t frames);

  std::string path_;
  std::unique_ptr<TFlacPcmReader> reader_;
  TPcmFormat format_;
  int64_t total_ = 0;
  int64_t first_ = 0;
  int64_t last_ = 0;
  int64_t position_ = 0;  // the sample that the next block begins with
  bool ended_ = false;
  // out_ holds the block handed out last (dropped by the next call), or samples that a
  // seek decoded and that the next block begins with.
  std::vector<float> out_;
  bool handedOut_ = false;
};

// The decoder of a whole FLAC source, for OpenSoundDecoder.
std::unique_ptr<TSoundDecoder> OpenFlacDecoder(const std::string& path);

}  // namespace zembrio
