#include "flac/pcmpipe.h"

#include <algorithm>

namespace zembrio {

TPcmChunkPipe::TPcmChunkPipe(size_t readers, size_t capacity)
    : next_(readers, 0), done_(readers, 0), capacity_(std::max<size_t>(capacity, 1)) {}

std::unique_ptr<TPcmChunk> TPcmChunkPipe::Take() {
  {
    std::lock_guard lock(mutex_);
    if (!spare_.empty()) {
      std::unique_ptr<TPcmChunk> chunk = std::move(spare_.back());
      spare_.pop_back();
      chunk->Size = 0;
      chunk->Count = 0;
      return chunk;
    }
  }
  return std::make_unique<TPcmChunk>();
}

bool TPcmChunkPipe::Push(std::unique_ptr<TPcmChunk> chunk) {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return chunks_.size() < capacity_ || stopped_; });
  if (stopped_)
    return false;
  chunks_.push_back(std::move(chunk));
  changed_.notify_all();
  return true;
}

void TPcmChunkPipe::Close() {
  std::lock_guard lock(mutex_);
  closed_ = true;
  changed_.notify_all();
}

void TPcmChunkPipe::Stop() {
  std::lock_guard lock(mutex_);
  stopped_ = true;
  changed_.notify_all();
}

const TPcmChunk* TPcmChunkPipe::Next(size_t reader) {
  std::unique_lock lock(mutex_);
  // Asking for the next chunk says the reader is done with the one it had.
  done_[reader] = next_[reader];
  DropRead();
  const uint64_t index = next_[reader];
  changed_.wait(lock, [&] { return index < front_ + chunks_.size() || closed_ || stopped_; });
  if (stopped_ || index >= front_ + chunks_.size())
    return nullptr;
  ++next_[reader];
  return chunks_[static_cast<size_t>(index - front_)].get();
}

// Chunks go back from the front once every reader is done with them.
void TPcmChunkPipe::DropRead() {
  const uint64_t oldest = *std::min_element(done_.begin(), done_.end());
  bool dropped = false;
  while (!chunks_.empty() && front_ < oldest) {
    spare_.push_back(std::move(chunks_.front()));
    chunks_.pop_front();
    ++front_;
    dropped = true;
  }
  if (dropped)
    changed_.notify_all();
}

}  // namespace zembrio
