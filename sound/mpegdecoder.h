// Decoding a stretch of frames of an MPEG source: the frame walk from the nearest mapped
// frame on, a few frames decoded first and dropped so that the bit reservoir and the
// filters are filled when the stretch begins.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "mpeg/mpgfile.h"
#include "sound/decoder.h"
#include "sound/framemap.h"
#include "sound/mpg123frames.h"

namespace zembrio {

class TMpegDecoder : public TSoundDecoder {
 public:
  // Frames decoded before a stretch and dropped: a Layer III frame may take its data from
  // up to 511 bytes before it, and the synthesis carries one frame over.
  static constexpr int64_t kLeadIn = 3;

  // Decodes frames first..last-1 of map. Throws as OpenSoundDecoder does.
  TMpegDecoder(const std::string& path, std::shared_ptr<const TFrameMap> map, int64_t first,
               int64_t last);

  TPcmFormat Format() const override;
  bool Next(TPcmBlock& block) override;
  double Progress() const override;
  int64_t TotalSamples() const override { return map_->TotalSamples(); }

  // Moves on to frames first..last-1 (after the current stretch, or before it).
  void Select(int64_t first, int64_t last);

 private:
  void Take(int64_t index, const float* samples, int32_t frames);
  void WalkTo(int64_t first);

  std::shared_ptr<const TFrameMap> map_;
  TMPGFile file_;
  std::unique_ptr<TMpegFrameDecoder> decoder_;
  int64_t first_ = 0;
  int64_t last_ = 0;
  int64_t base_ = 0;  // walk index of the file's frame 0 since the last Restart
  int64_t next_ = 0;  // index of the next frame walked
  bool walkEnded_ = false;
  std::vector<float> out_;
  int64_t outStart_ = -1;  // index of the first frame in out_
};

}  // namespace zembrio
