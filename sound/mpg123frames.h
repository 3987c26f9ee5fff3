// The one place that sees libmpg123: whole MPEG frames found by the frame walk go in, one
// block of float samples per frame comes out, tagged with the frame's walk index. A frame
// the library cannot decode (a damaged frame, a bit reservoir lost after a jump) comes out
// as silence, so every frame fed gives exactly its samples.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

struct mpg123_handle_struct;

namespace zembrio {

class TMpegFrameDecoder {
 public:
  // Output is always two channels (a single-channel source is doubled) so that a stream
  // that switches modes keeps one layout.
  static constexpr int32_t kChannels = 2;
  // index, interleaved samples, sample frames.
  using TSink = std::function<void(int64_t, const float*, int32_t)>;

  // Throws TSoundError with the library's text.
  explicit TMpegFrameDecoder(int32_t samplesPerFrame);
  ~TMpegFrameDecoder();
  TMpegFrameDecoder(const TMpegFrameDecoder&) = delete;
  TMpegFrameDecoder& operator=(const TMpegFrameDecoder&) = delete;

  // Feeds one whole frame (4 header bytes, then its data); the frames decoded so far go to
  // sink. Indices need not follow each other.
  void Feed(int64_t index, const uint8_t* header, const uint8_t* data, size_t dataLength,
            const TSink& sink);
  // Hands out the frames still held back (the library waits for the next header).
  void Flush(const TSink& sink);

 private:
  struct THandleCloser {
    void operator()(mpg123_handle_struct* handle) const;
  };
  void Drain(const TSink& sink);
  void EmitSilenceUntil(int64_t fedNumber, const TSink& sink);

  std::unique_ptr<mpg123_handle_struct, THandleCloser> handle_;
  int32_t samplesPerFrame_;
  std::deque<int64_t> pending_;  // walk indices of the frames fed, not yet handed out
  int64_t firstPending_ = 0;     // the library's number of pending_.front()
  std::vector<uint8_t> lastFrame_;
  std::vector<float> silence_;
};

}  // namespace zembrio
