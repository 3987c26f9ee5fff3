#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/byteblock.h"

namespace zembrio {

// Reads blocks for its owner on one thread, in the order the reads were started, each into
// a slot of its own after room bytes kept free at the front of the block. The owner starts
// reads, goes on with its work, then waits for a slot's bytes; between the wait and the
// slot's next start the block is the owner's. One thread, not one per block: with the walk
// that makes two busy threads for two processors, and a thread that is ahead reads its
// next block without waiting to be woken.
class TReadAhead {
 public:
  TReadAhead(int fd, const std::string& path, size_t blockSize, size_t room, int slots)
      : fd_(fd), path_(path), room_(room), slots_(static_cast<size_t>(slots)) {
    for (TSlot& slot : slots_)
      slot.Block = TByteBlock(blockSize);
    thread_ = std::thread([this] { Loop(); });
  }
  ~TReadAhead() {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
  }
  TReadAhead(const TReadAhead&) = delete;
  TReadAhead& operator=(const TReadAhead&) = delete;

  void Start(int slot, int64_t offset) {
    {
      std::lock_guard lock(mutex_);
      TSlot& target = Slot(slot);
      target.Offset = offset;
      target.Done = false;
      queue_.push_back(slot);
    }
    wake_.notify_one();
  }
  int64_t Offset(int slot) { return Slot(slot).Offset; }

  // Waits for the read started last in slot; returns the bytes read, and its error through
  // error. A read the thread has not begun yet is made here instead of waited for: the
  // thread was held up (by the writes sharing the processors), and this one would idle.
  size_t Wait(int slot, int& error) {
    std::unique_lock lock(mutex_);
    TSlot& target = Slot(slot);
    if (!target.Done && TakeQueued(slot)) {
      lock.unlock();
      Read(target);
      lock.lock();
    }
    finished_.wait(lock, [&target] { return target.Done; });
    error = target.Error;
    return target.Got;
  }
  // Lets the read started last in slot go: one not begun is not made.
  void Forget(int slot) {
    std::unique_lock lock(mutex_);
    TSlot& target = Slot(slot);
    if (!target.Done && TakeQueued(slot)) {
      target.Got = 0;
      target.Done = true;
    }
    finished_.wait(lock, [&target] { return target.Done; });
  }
  TByteBlock& Buffer(int slot) { return Slot(slot).Block; }

 private:
  struct TSlot {
    TByteBlock Block;
    int64_t Offset = 0;
    size_t Got = 0;
    int Error = 0;
    bool Done = true;
  };

  TSlot& Slot(int slot) { return slots_[static_cast<size_t>(slot)]; }

  void Loop();
  // Takes slot out of the reads not begun; false when the thread has begun it.
  bool TakeQueued(int slot);
  // Reads the slot's block and marks it done; called without the lock.
  void Read(TSlot& slot);

  const int fd_;
  const std::string& path_;  // the owner's, which outlives this
  const size_t room_;
  std::vector<TSlot> slots_;
  std::deque<int> queue_;  // slots started and not yet read, oldest first
  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable finished_;
  bool stop_ = false;
  std::thread thread_;
};

}  // namespace zembrio
