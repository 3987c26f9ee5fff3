// WAV sources decoded into float blocks: the samples of the `data` chunk converted as they
// are read (8-bit unsigned, 16/24/32-bit signed integers, 32/64-bit floats), positions in
// sample frames of the source, as the WAV cut counts them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/fileio.h"
#include "sound/decoder.h"
#include "wav/wavformat.h"

namespace zembrio {

class TWavDecoder : public TSoundDecoder {
 public:
  // Sample frames decoded in one block.
  static constexpr int32_t kBlockFrames = 4096;

  // Decodes sample frames first..last-1 (last -1: to the end). Throws std::system_error
  // when the file cannot be read and TSoundError when it is no WAV file with samples of a
  // kind named above.
  explicit TWavDecoder(const std::string& path, int64_t first = 0, int64_t last = -1);

  TPcmFormat Format() const override;
  bool Next(TPcmBlock& block) override;
  double Progress() const override;
  int64_t TotalSamples() const override { return layout_.Samples(); }

  // Moves on to sample frames first..last-1 (last -1: to the end), after the current
  // stretch or before it.
  void Select(int64_t first, int64_t last);

 private:
  void Convert(const uint8_t* raw, int32_t frames);

  TWavLayout layout_;
  std::unique_ptr<TInputFile> input_;
  int32_t sampleBytes_ = 0;
  int64_t first_ = 0;
  int64_t last_ = 0;
  int64_t next_ = 0;
  std::vector<uint8_t> raw_;
  std::vector<float> out_;
};

// The decoder of a whole WAV source; throws as TWavDecoder does.
std::unique_ptr<TSoundDecoder> OpenWavDecoder(const std::string& path);

}  // namespace zembrio
