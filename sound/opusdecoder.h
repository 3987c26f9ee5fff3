// An Ogg Opus source decoded into float blocks through libopusfile, at 48 kHz, positions
// counted from the first sample that plays (after the pre-skip) as the Opus cut counts
// them. A chain plays through, each link with its own pre-skip and end trim.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/fileio.h"
#include "sound/decoder.h"

struct OggOpusFile;

namespace zembrio {

class TOpusDecoder : public TSoundDecoder {
 public:
  // Decodes samples first..last-1; last below 0: to the end. Throws std::system_error when
  // the file cannot be opened and TSoundError when it holds no Opus stream or the stretch
  // cannot be reached.
  TOpusDecoder(const std::string& path, int64_t first = 0, int64_t last = -1);
  ~TOpusDecoder() override;

  TPcmFormat Format() const override { return format_; }
  bool Next(TPcmBlock& block) override;
  double Progress() const override;
  int64_t TotalSamples() const override { return total_; }

 private:
  struct TCloser {
    void operator()(OggOpusFile* file) const;
  };

  std::unique_ptr<TInputFile> input_;
  std::unique_ptr<OggOpusFile, TCloser> opus_;
  TPcmFormat format_;
  int64_t total_ = 0;
  int64_t first_ = 0;
  int64_t last_ = 0;
  int64_t position_ = 0;
  bool ended_ = false;
  std::vector<float> read_;
  std::vector<float> out_;
};

// The library's text for an OP_ error code.
std::string OpusFileErrorText(int code);

}  // namespace zembrio
