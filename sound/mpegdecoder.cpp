#include "sound/mpegdecoder.h"

#include <algorithm>
#include <utility>

#include "core/settings.h"

namespace zembrio {

TMpegDecoder::TMpegDecoder(const std::string& path, std::shared_ptr<const TFrameMap> map,
                           int64_t first, int64_t last)
    : map_(std::move(map)) {
  if (!file_.Open(path, Settings().SKIPVBRHEADER)) {
    throw TSoundError("Aucune trame audio MPEG dans " + path);
  }
  Select(first, last);
}

TPcmFormat TMpegDecoder::Format() const {
  return {map_->SampleRate, TMpegFrameDecoder::kChannels};
}

void TMpegDecoder::Select(int64_t first, int64_t last) {
  first_ = std::clamp<int64_t>(first, 0, map_->FrameCount);
  last_ = std::clamp<int64_t>(last, first_, map_->FrameCount);
  // A fresh decoder for every stretch: nothing of the frames before leaks into it.
  decoder_ = std::make_unique<TMpegFrameDecoder>(map_->SamplesPerFrame);
  out_.clear();
  outStart_ = -1;
  WalkTo(std::max<int64_t>(0, first_ - kLeadIn));
}

void TMpegDecoder::WalkTo(int64_t first) {
  const auto slot = static_cast<size_t>(first / TFrameMap::kStride);
  if (slot >= map_->Offsets.size()) {
    walkEnded_ = true;
    return;
  }
  // Starting from a mapped frame walks the same frames as the whole walk did.
  base_ = static_cast<int64_t>(slot) * TFrameMap::kStride;
  file_.Restart(map_->Offsets[slot]);
  next_ = base_;
  walkEnded_ = false;
}

void TMpegDecoder::Take(int64_t index, const float* samples, int32_t frames) {
  if (index < first_ || index >= last_) {
    return;  // a lead-in frame
  }
  if (outStart_ < 0) {
    outStart_ = index;
  }
  out_.insert(out_.end(), samples,
              samples + static_cast<size_t>(frames) * TMpegFrameDecoder::kChannels);
}

bool TMpegDecoder::Next(TPcmBlock& block) {
  out_.clear();
  outStart_ = -1;
  const auto sink = [this](int64_t index, const float* samples, int32_t frames) {
    Take(index, samples, frames);
  };
  while (out_.empty() && !walkEnded_) {
    if (next_ >= last_) {
      decoder_->Flush(sink);
      walkEnded_ = true;
      break;
    }
    if (file_.NextFrame() == EndOfData) {
      decoder_->Flush(sink);
      walkEnded_ = true;
      break;
    }
    const int64_t index = next_++;
    if (index < first_ - kLeadIn) {
      file_.SkipData();
      continue;
    }
    file_.ReadData();
    decoder_->Feed(index, file_.Header().data(), file_.FrameData(),
                   static_cast<size_t>(file_.FullDataLength()), sink);
  }
  if (out_.empty()) {
    return false;
  }
  block.StartSample = outStart_ * map_->SamplesPerFrame;
  block.Frames = static_cast<int32_t>(out_.size() / TMpegFrameDecoder::kChannels);
  block.Data = out_.data();
  return true;
}

double TMpegDecoder::Progress() const {
  if (last_ <= first_) {
    return 1.0;
  }
  return std::clamp(static_cast<double>(next_ - first_) / static_cast<double>(last_ - first_), 0.0,
                    1.0);
}

}  // namespace zembrio
