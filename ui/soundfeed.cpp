#include "ui/soundfeed.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

namespace zembrio {

namespace {

int16_t ToInt16(float sample) {
  return static_cast<int16_t>(std::lround(std::clamp(sample, -1.0f, 1.0f) * 32767.0f));
}

}  // namespace

TSoundFeed::TSoundFeed(const std::string& path, int64_t fromMs, int64_t toMs, QObject* parent)
    : QIODevice(parent),
      decoder_(OpenSoundDecoderFrom(path, fromMs)),
      format_(decoder_->Format()),
      from_(std::max<int64_t>(fromMs, 0) * format_.SampleRate / 1000),
      to_(toMs < 0 ? -1 : toMs * format_.SampleRate / 1000) {
  open(QIODevice::ReadOnly);
}

TSoundFeed::~TSoundFeed() = default;

bool TSoundFeed::Refill() {
  pending_.clear();
  pendingAt_ = 0;
  TPcmBlock block;
  while (!ended_ && pending_.empty()) {
    if (!decoder_->Next(block)) {
      ended_ = true;
      break;
    }
    const int64_t blockEnd = block.StartSample + block.Frames;
    const int64_t first = std::max(block.StartSample, from_);
    const int64_t last = to_ >= 0 ? std::min(blockEnd, to_) : blockEnd;
    if (to_ >= 0 && block.StartSample >= to_)
      ended_ = true;
    for (int64_t frame = first; frame < last; ++frame) {
      const float* samples = block.Data + (frame - block.StartSample) * format_.Channels;
      for (int32_t channel = 0; channel < format_.Channels; ++channel)
        pending_.push_back(ToInt16(samples[channel]));
    }
  }
  return !pending_.empty();
}

qint64 TSoundFeed::bytesAvailable() const {
  const qint64 held = static_cast<qint64>((pending_.size() - pendingAt_) * sizeof(int16_t));
  // More is decoded on demand: the output must not take an empty buffer for the end.
  return held + QIODevice::bytesAvailable() + (ended_ ? 0 : 4096);
}

qint64 TSoundFeed::readData(char* data, qint64 maxSize) {
  const qint64 frameBytes = static_cast<qint64>(sizeof(int16_t)) * std::max(1, format_.Channels);
  maxSize -= maxSize % frameBytes;
  qint64 written = 0;
  while (written < maxSize) {
    if (pendingAt_ >= pending_.size() && !Refill())
      break;
    const size_t samples =
        std::min(pending_.size() - pendingAt_, static_cast<size_t>((maxSize - written) / 2));
    std::memcpy(data + written, pending_.data() + pendingAt_, samples * sizeof(int16_t));
    pendingAt_ += samples;
    written += static_cast<qint64>(samples * sizeof(int16_t));
  }
  if (written > 0 && firstRead_)
    std::exchange(firstRead_, nullptr)();
  return written;
}

qint64 TSoundFeed::writeData(const char*, qint64) {
  return -1;
}

}  // namespace zembrio
