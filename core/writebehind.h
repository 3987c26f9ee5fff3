#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace zembrio {

// The stretches a writing thread has to write into one file, shared with whoever lent it
// their bytes: the lender may reuse its memory once the stretches it lent are through, and
// rather than idle until then it writes those the thread has not begun. Once the thread has
// gone, every stretch counts as through: nothing reads the lent memory any more.
class TWriteQueue {
 public:
  struct TJob {
    const unsigned char* Data = nullptr;
    size_t Count = 0;
    int64_t Offset = 0;
  };

  explicit TWriteQueue(int fd) : fd_(fd) {}

  // Returns the stretch's number: stretches are numbered from 1 in the order they come.
  uint64_t Add(const TJob& job);
  // For the writing thread: waits for a stretch and writes it; false once stopped.
  bool WriteNext();
  // Writes the stretches not begun up to number last, then waits for those under way.
  void Finish(uint64_t last);
  // Every stretch up to number last written (or dropped).
  bool Through(uint64_t last) const;
  // Nothing to write right now.
  bool Idle() const { return idle_.load(std::memory_order_relaxed); }
  int Failure() const { return failure_.load(std::memory_order_acquire); }
  // Drops the stretches not begun, waits for those under way and ends the writing thread's
  // WriteNext.
  void Stop();

 private:
  struct TQueued {
    TJob Job;
    uint64_t Number = 0;
  };
  bool ThroughLocked(uint64_t last) const;
  // Writes the oldest stretch not begun; the lock is let go meanwhile.
  void WriteFront(std::unique_lock<std::mutex>& lock);

  const int fd_;
  std::deque<TQueued> queued_;  // not begun, oldest first
  std::vector<uint64_t> underWay_;
  uint64_t added_ = 0;
  bool stopped_ = false;
  std::atomic<bool> idle_{true};
  std::atomic<int> failure_{0};
  mutable std::mutex mutex_;
  std::condition_variable changed_;
};

// The point a lender waits for before its lent memory changes: every stretch handed over
// until then written (or dropped by a writer that has gone). An empty fence is passed.
struct TWriteFence {
  std::shared_ptr<TWriteQueue> Queue;
  uint64_t Stretches = 0;

  bool Passed() const { return !Queue || Queue->Through(Stretches); }
  // Writes the stretches not begun up to the fence, then waits for those under way.
  void Wait() const {
    if (Queue)
      Queue->Finish(Stretches);
  }
};

// Writes stretches of memory into one file at their offsets, on a thread of its own, in the
// order they come. Putting bytes into the system's cache is the slow part of a cut: on a
// second processor it no longer holds up the walk that lends them. The bytes stay where
// they are until Wait() has returned or a fence passed (their lender waits before its
// memory changes, and writes what the thread has not begun). The first failure ends the
// writing; later stretches are dropped, since the file will not take its name.
class TWriteBehind {
 public:
  using TJob = TWriteQueue::TJob;

  explicit TWriteBehind(int fd)
      : queue_(std::make_shared<TWriteQueue>(fd)), thread_([this] { Loop(); }) {}
  // The stretches not begun are dropped.
  ~TWriteBehind() {
    queue_->Stop();
    thread_.join();
  }
  TWriteBehind(const TWriteBehind&) = delete;
  TWriteBehind& operator=(const TWriteBehind&) = delete;

  void Add(const TJob& job) { last_ = queue_->Add(job); }
  bool Idle() const { return queue_->Idle(); }
  int Failure() const { return queue_->Failure(); }
  // Passed once every stretch added so far is written.
  TWriteFence Fence() const { return {queue_, last_}; }
  // Writes or waits until every stretch handed over is written; returns the first failure
  // (0: none).
  int Wait() {
    queue_->Finish(last_);
    return Failure();
  }

 private:
  void Loop() {
    while (queue_->WriteNext()) {
    }
  }

  const std::shared_ptr<TWriteQueue> queue_;
  uint64_t last_ = 0;   // the number of the last stretch added
  std::thread thread_;  // last: it starts once everything above is made
};

}  // namespace zembrio
