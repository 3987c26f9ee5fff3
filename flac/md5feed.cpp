#include "flac/md5feed.h"

#include <algorithm>
#include <chrono>
#include <new>

namespace zembrio {

namespace {

// Samples handed over at once: small enough to be hashed from the cache the decode wrote
// them to, large enough that the hand-overs cost nothing.
constexpr size_t kChunkBytes = 256 * 1024;
// Chunks that may wait for the slower reader: memory stays a few MiB.
constexpr size_t kChunksWaiting = 16;

}  // namespace

TFlacMd5Feed::TFlacMd5Feed(const std::string& path, const TFlacStreamInfo& info,
                           std::vector<TSampleRange> ranges)
    : info_(info),
      ranges_(std::move(ranges)),
      bytesPerSample_((info.BitsPerSample + 7) / 8),
      bytesPerFrame_(bytesPerSample_ * info.Channels),
      pipe_(info.HasMd5() ? 2 : 1, kChunksWaiting),
      digests_(ranges_.size()) {
  for (size_t i = 0; i < ranges_.size(); ++i)
    hashes_.push_back(std::make_unique<TPcmMd5>(info.Channels, info.BitsPerSample));
  if (info.HasMd5())
    sourceHash_ = std::make_unique<TPcmMd5>(info.Channels, info.BitsPerSample);
  thread_ = std::thread(&TFlacMd5Feed::Run, this, path);
}

TFlacMd5Feed::~TFlacMd5Feed() {
  stop_ = true;
  pipe_.Stop();
  if (thread_.joinable())
    thread_.join();
}

// The samples are packed once here and hashed by the two readers: libFLAC's own check of
// the source's MD5 would pack and hash them a second time on this thread.
void TFlacMd5Feed::Run(const std::string& path) {
  std::thread tracks(&TFlacMd5Feed::HashTracks, this);
  std::thread source;
  if (sourceHash_)
    source = std::thread(&TFlacMd5Feed::HashSource, this);
  TFlacSourceDecoder decoder;
  const auto outcome = decoder.Run(
      path,
      [this](uint64_t first, const int32_t* const planes[], uint32_t count) {
        return OnBlock(first, planes, count);
      },
      false, stop_);
  // After a failed decode the ranges already decoded still get their MD5s: a track that
  // ended before a corrupt frame is finished, and the cut names the frame.
  const bool handed = Flush();
  const bool decoded = outcome == TFlacSourceDecoder::TOutcome::Decoded && handed;
  if (stop_)
    pipe_.Stop();
  else
    pipe_.Close();
  tracks.join();
  if (source.joinable())
    source.join();
  std::lock_guard lock(mutex_);
  ended_ = true;
  if (decoded) {
    // The ranges still open hold what the stream had for them: a range that runs to the
    // end, or past an end that came sooner than STREAMINFO said.
    for (; next_ < ranges_.size(); ++next_)
      digests_[next_] = hashes_[next_]->Finish();
    source_ = !sourceHash_                         ? TSourceMd5::NotStored
              : sourceHash_->Finish() == info_.Md5 ? TSourceMd5::Verified
                                                   : TSourceMd5::Different;
  } else {
    failed_ = true;
    error_ = outOfMemory_ ? "mémoire insuffisante" : decoder.Error();
  }
  changed_.notify_all();
}

bool TFlacMd5Feed::OnBlock(uint64_t first, const int32_t* const planes[], uint32_t count) {
  try {
    if (!chunk_) {
      chunk_ = pipe_.Take();
      chunk_->First = first;
    }
    TPcmChunk& chunk = *chunk_;
    const size_t size = chunk.Size + count * bytesPerFrame_;
    if (chunk.Bytes.size() < size)
      chunk.Bytes.resize(std::max(size, kChunkBytes));
    PackPcm(planes, info_.Channels, static_cast<uint32_t>(bytesPerSample_), 0, count,
            chunk.Bytes.data() + chunk.Size);
    chunk.Size = size;
    chunk.Count += count;
  } catch (const std::bad_alloc&) {
    outOfMemory_ = true;  // libFLAC is C: nothing may be thrown through it
    return false;
  }
  return chunk_->Size < kChunkBytes || Flush();
}

bool TFlacMd5Feed::Flush() {
  if (!chunk_ || chunk_->Count == 0)
    return true;
  return pipe_.Push(std::move(chunk_));
}

void TFlacMd5Feed::HashTracks() {
  while (const TPcmChunk* chunk = pipe_.Next(kTrackReader)) {
    const uint64_t first = chunk->First;
    const uint64_t end = first + chunk->Count;
    for (size_t i = next_; i < ranges_.size() && ranges_[i].Start < end; ++i) {
      const uint64_t from = std::max(ranges_[i].Start, first);
      const uint64_t to = std::min(ranges_[i].End, end);
      if (from < to) {
        hashes_[i]->AddPacked(chunk->Bytes.data() + (from - first) * bytesPerFrame_,
                              (to - from) * bytesPerFrame_);
      }
    }
    decoded_.store(end, std::memory_order_relaxed);
    while (next_ < ranges_.size() && ranges_[next_].End <= end)
      Publish(next_++);
  }
}

void TFlacMd5Feed::HashSource() {
  while (const TPcmChunk* chunk = pipe_.Next(kSourceReader))
    sourceHash_->AddPacked(chunk->Bytes.data(), chunk->Size);
}

void TFlacMd5Feed::Publish(size_t index) {
  const auto digest = hashes_[index]->Finish();
  std::lock_guard lock(mutex_);
  digests_[index] = digest;
  changed_.notify_all();
}

bool TFlacMd5Feed::WaitFor(const std::function<bool()>& ready,
                           const std::function<bool()>& keepWaiting) {
  constexpr std::chrono::milliseconds kSlice{20};
  std::unique_lock lock(mutex_);
  for (;;) {
    if (changed_.wait_for(lock, kSlice, ready))
      return true;
    lock.unlock();
    const bool goOn = keepWaiting();
    lock.lock();
    if (!goOn)
      return ready();
  }
}

std::optional<std::array<uint8_t, 16>> TFlacMd5Feed::Await(
    size_t index, const std::function<bool()>& keepWaiting) {
  WaitFor([&] { return digests_[index].has_value() || ended_; }, keepWaiting);
  std::lock_guard lock(mutex_);
  return digests_[index];
}

TSourceMd5 TFlacMd5Feed::AwaitSource(const std::function<bool()>& keepWaiting) {
  WaitFor([&] { return ended_; }, keepWaiting);
  std::lock_guard lock(mutex_);
  return source_;
}

std::string TFlacMd5Feed::Error() const {
  std::lock_guard lock(mutex_);
  return error_;
}

}  // namespace zembrio
