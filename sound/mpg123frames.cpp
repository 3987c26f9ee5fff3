#include "sound/mpg123frames.h"

#include <mpg123.h>

#include <mutex>
#include <string>

#include "sound/decoder.h"

namespace zembrio {

namespace {

void InitLibrary() {
  // mpg123_init is needed only by old library versions and is not thread-safe there.
  static std::once_flag once;
  std::call_once(once, [] { mpg123_init(); });
}

void Check(mpg123_handle* handle, int result) {
  if (result != MPG123_OK) {
    throw TSoundError(std::string("libmpg123: ") + mpg123_strerror(handle));
  }
}

}  // namespace

void TMpegFrameDecoder::THandleCloser::operator()(mpg123_handle_struct* handle) const {
  mpg123_delete(handle);
}

TMpegFrameDecoder::TMpegFrameDecoder(int32_t samplesPerFrame)
    : samplesPerFrame_(samplesPerFrame),
      silence_(static_cast<size_t>(samplesPerFrame) * kChannels, 0.0f) {
  InitLibrary();
  int error = MPG123_OK;
  handle_.reset(mpg123_new(nullptr, &error));
  if (!handle_) {
    throw TSoundError(std::string("libmpg123: ") + mpg123_plain_strerror(error));
  }
  mpg123_handle* h = handle_.get();
  // Every frame the walk accepted is audio, a VBR header frame included; no gapless
  // trimming, so that the samples of frame i start at i times the frame's sample count.
  Check(h, mpg123_param(h, MPG123_FLAGS,
                        MPG123_QUIET | MPG123_FORCE_FLOAT | MPG123_FORCE_STEREO |
                            MPG123_IGNORE_INFOFRAME | MPG123_NO_FRANKENSTEIN,
                        0));
  Check(h, mpg123_open_feed(h));
}

TMpegFrameDecoder::~TMpegFrameDecoder() = default;

void TMpegFrameDecoder::Feed(int64_t index, const uint8_t* header, const uint8_t* data,
                             size_t dataLength, const TSink& sink) {
  mpg123_handle* h = handle_.get();
  pending_.push_back(index);
  Check(h, mpg123_feed(h, header, 4));
  Check(h, mpg123_feed(h, data, dataLength));
  lastFrame_.assign(header, header + 4);
  lastFrame_.insert(lastFrame_.end(), data, data + dataLength);
  Drain(sink);
}

void TMpegFrameDecoder::Flush(const TSink& sink) {
  if (pending_.empty() || lastFrame_.empty()) {
    return;
  }
  // The library hands out a frame once the next header is in: a copy of the last frame
  // releases it, and its own output is dropped with the decoder.
  mpg123_handle* h = handle_.get();
  pending_.push_back(-1);
  Check(h, mpg123_feed(h, lastFrame_.data(), lastFrame_.size()));
  Drain(sink);
  EmitSilenceUntil(firstPending_ + static_cast<int64_t>(pending_.size()) - 1, sink);
  pending_.clear();
}

void TMpegFrameDecoder::Drain(const TSink& sink) {
  mpg123_handle* h = handle_.get();
  for (;;) {
    off_t number = 0;
    unsigned char* audio = nullptr;
    size_t bytes = 0;
    const int result = mpg123_decode_frame(h, &number, &audio, &bytes);
    if (result == MPG123_NEW_FORMAT) {
      continue;
    }
    if (result != MPG123_OK) {
      // MPG123_NEED_MORE, or a frame refused: what it held comes out as silence later.
      return;
    }
    EmitSilenceUntil(number, sink);
    if (pending_.empty() || number != firstPending_) {
      continue;  // not a frame of ours (the copy fed by Flush)
    }
    const int64_t index = pending_.front();
    pending_.pop_front();
    ++firstPending_;
    if (index < 0) {
      continue;
    }
    const auto frames = static_cast<int32_t>(bytes / (sizeof(float) * kChannels));
    if (frames == samplesPerFrame_) {
      sink(index, reinterpret_cast<const float*>(audio), frames);
    } else {
      sink(index, silence_.data(), samplesPerFrame_);
    }
  }
}

void TMpegFrameDecoder::EmitSilenceUntil(int64_t fedNumber, const TSink& sink) {
  while (!pending_.empty() && firstPending_ < fedNumber) {
    const int64_t index = pending_.front();
    pending_.pop_front();
    ++firstPending_;
    if (index >= 0) {
      sink(index, silence_.data(), samplesPerFrame_);
    }
  }
}

}  // namespace zembrio
