#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

namespace zembrio {

// How many stretches a writing thread has finished, shared with whoever lent it bytes: the
// lender may reuse its memory once the stretches it lent are through. Once the thread has
// gone, every stretch counts as through: nothing reads the lent memory any more.
class TWriteProgress {
 public:
  void Finished(uint64_t count) {
    {
      std::lock_guard lock(mutex_);
      finished_ = count;
    }
    changed_.notify_all();
  }
  void End() { Finished(UINT64_MAX); }
  bool Reached(uint64_t count) {
    std::lock_guard lock(mutex_);
    return finished_ >= count;
  }
  void WaitFor(uint64_t count) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return finished_ >= count; });
  }

 private:
  uint64_t finished_ = 0;
  std::mutex mutex_;
  std::condition_variable changed_;
};

// The point a lender waits for before its lent memory changes: every stretch handed over
// until then written (or dropped by a writer that has gone). An empty fence is passed.
struct TWriteFence {
  std::shared_ptr<TWriteProgress> Progress;
  uint64_t Stretches = 0;

  bool Passed() const { return !Progress || Progress->Reached(Stretches); }
  void Wait() const {
    if (Progress)
      Progress->WaitFor(Stretches);
  }
};

// Writes stretches of memory into one file at their offsets, on a thread of its own, in the
// order they come. Putting bytes into the system's cache is the slow part of a cut: on a
// second processor it no longer holds up the walk that lends them. The bytes stay where
// they are until Wait() has returned (their lender waits before its window changes). The
// first failure ends the writing; later stretches are dropped, since the file will not
// take its name.
class TWriteBehind {
 public:
  struct TJob {
    const unsigned char* Data = nullptr;
    size_t Count = 0;
    int64_t Offset = 0;
  };

  explicit TWriteBehind(int fd) : fd_(fd), thread_([this] { Loop(); }) {}
  // The stretches not begun are dropped.
  ~TWriteBehind() {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
    progress_->End();
  }
  TWriteBehind(const TWriteBehind&) = delete;
  TWriteBehind& operator=(const TWriteBehind&) = delete;

  void Add(const TJob& job) {
    {
      std::lock_guard lock(mutex_);
      jobs_.push_back(job);
      ++added_;
      idle_.store(false, std::memory_order_relaxed);
    }
    wake_.notify_one();
  }
  // Passed once every stretch added so far is written.
  TWriteFence Fence() {
    std::lock_guard lock(mutex_);
    return {progress_, added_};
  }
  // Nothing to write right now. Read without a lock at every loan: a stale answer only
  // hands a stretch over a little earlier or later.
  bool Idle() const { return idle_.load(std::memory_order_relaxed); }
  int Failure() const { return failure_.load(std::memory_order_acquire); }
  // Waits until every stretch handed over is written; returns the first failure (0: none).
  int Wait() {
    std::unique_lock lock(mutex_);
    done_.wait(lock, [this] { return jobs_.empty() && !busy_; });
    return Failure();
  }

 private:
  void Loop();

  const int fd_;
  std::deque<TJob> jobs_;
  uint64_t added_ = 0;
  uint64_t finished_ = 0;  // of the writing thread
  const std::shared_ptr<TWriteProgress> progress_ = std::make_shared<TWriteProgress>();
  bool busy_ = false;
  bool stop_ = false;
  std::atomic<bool> idle_{true};
  std::atomic<int> failure_{0};
  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable done_;
  std::thread thread_;  // last: it starts once everything above is made
};

}  // namespace zembrio
