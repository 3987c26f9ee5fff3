#include "sound/flacdecoder.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace zembrio {

TFlacDecoder::TFlacDecoder(const std::string& path, int64_t first, int64_t last)
    : path_(path),
      reader_(std::make_unique<TFlacPcmReader>(
          path, false, [this](const TFlacPcmFrame& frame) { Take(frame); })) {
  if (!reader_->ReadHead())
    throw TSoundError("libFLAC: " + path + ": not a FLAC stream");
  const TFlacStreamInfo& info = reader_->StreamInfo();
  format_ = {static_cast<int32_t>(info.SampleRate), static_cast<int32_t>(info.Channels)};
  total_ = static_cast<int64_t>(info.TotalSamples);
  Select(first, last);
}

void TFlacDecoder::Select(int64_t first, int64_t last) {
  first = std::max<int64_t>(first, 0);
  first_ = first;
  last_ = last < 0 ? std::numeric_limits<int64_t>::max() : last;
  ended_ = false;
  if (handedOut_)
    out_.clear();
  handedOut_ = false;
  // The decoder goes on from where it stands when the stretch begins there: the frame
  // it gave last ended exactly at first.
  if (first == position_ && reader_->DecodedEnd() == static_cast<uint64_t>(first))
    return;
  out_.clear();
  position_ = first;
  if (total_ > 0 && first >= total_) {
    ended_ = true;  // nothing there to seek to
    return;
  }
  if (!reader_->Seek(static_cast<uint64_t>(first)))
    throw TSoundError("libFLAC: " + path_ + ": cannot seek to sample " + std::to_string(first));
}

bool TFlacDecoder::Next(TPcmBlock& block) {
  // What is pending was decoded by a seek: the stretch's first samples.
  if (handedOut_) {
    out_.clear();
    handedOut_ = false;
  }
  while (out_.empty() && !ended_ && position_ < last_) {
    if (!reader_->DecodeNext())
      ended_ = true;
  }
  if (out_.empty())
    return false;
  const auto frames = static_cast<int64_t>(out_.size() / static_cast<size_t>(format_.Channels));
  block.StartSample = position_;
  block.Frames = static_cast<int32_t>(frames);
  block.Data = out_.data();
  handedOut_ = true;
  position_ += frames;
  total_ = std::max(total_, position_);
  return true;
}

void TFlacDecoder::AppendSilence(int64_t frames) {
  out_.resize(out_.size() + static_cast<size_t>(frames) * static_cast<size_t>(format_.Channels),
              0.0f);
}

// Called by the reader inside Next: the frame's samples that fall inside the stretch, after
// the ones already handed out, join the block.
void TFlacDecoder::Take(const TFlacPcmFrame& frame) {
  const auto channels = static_cast<size_t>(format_.Channels);
  const int64_t blockStart = position_ + static_cast<int64_t>(out_.size() / channels);
  const auto frameStart = static_cast<int64_t>(frame.FirstSample);
  const int64_t frameEnd = frameStart + frame.Samples;
  // A frame the library refused leaves a hole: it reads as silence, so the positions that
  // follow stay those of the source. A frame numbered beyond the stream's end is no frame.
  if (frameStart > blockStart) {
    if (total_ > 0 && frameStart > total_)
      return;
    AppendSilence(std::min(frameStart, last_) - blockStart);
  }
  const int64_t from = std::max(frameStart, blockStart);
  const int64_t to = std::min(frameEnd, last_);
  if (from >= to)
    return;
  const float scale = std::ldexp(1.0f, -static_cast<int>(frame.BitsPerSample - 1));
  const size_t taken = std::min<size_t>(channels, frame.Channels);
  const size_t at = out_.size();
  AppendSilence(to - from);
  for (int64_t i = from; i < to; ++i) {
    float* dest = out_.data() + at + static_cast<size_t>(i - from) * channels;
    const auto source = static_cast<size_t>(i - frameStart);
    for (size_t c = 0; c < taken; ++c)
      dest[c] = static_cast<float>(frame.Channel[c][source]) * scale;
  }
}

double TFlacDecoder::Progress() const {
  const int64_t last = last_ == std::numeric_limits<int64_t>::max() ? total_ : last_;
  if (ended_ || last <= first_)
    return 1.0;
  return std::clamp(static_cast<double>(position_ - first_) / static_cast<double>(last - first_),
                    0.0, 1.0);
}

std::unique_ptr<TSoundDecoder> OpenFlacDecoder(const std::string& path) {
  return std::make_unique<TFlacDecoder>(path);
}

}  // namespace zembrio
