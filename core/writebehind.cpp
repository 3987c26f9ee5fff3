#include "core/writebehind.h"

#include <algorithm>

#include "core/rawfile.h"

namespace zembrio {

uint64_t TWriteQueue::Add(const TJob& job) {
  uint64_t number = 0;
  {
    std::lock_guard lock(mutex_);
    number = ++added_;
    queued_.push_back({job, number});
    idle_.store(false, std::memory_order_relaxed);
  }
  changed_.notify_all();
  return number;
}

bool TWriteQueue::WriteNext() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return !queued_.empty() || stopped_; });
  if (stopped_)
    return false;
  WriteFront(lock);
  return true;
}

void TWriteQueue::Finish(uint64_t last) {
  std::unique_lock lock(mutex_);
  while (!ThroughLocked(last)) {
    if (!queued_.empty() && queued_.front().Number <= last) {
      WriteFront(lock);
    } else {
      changed_.wait(lock);
    }
  }
}

bool TWriteQueue::Through(uint64_t last) const {
  std::lock_guard lock(mutex_);
  return ThroughLocked(last);
}

bool TWriteQueue::ThroughLocked(uint64_t last) const {
  return (queued_.empty() || queued_.front().Number > last) &&
         std::none_of(underWay_.begin(), underWay_.end(),
                      [last](uint64_t number) { return number <= last; });
}

void TWriteQueue::Stop() {
  std::unique_lock lock(mutex_);
  stopped_ = true;
  queued_.clear();
  changed_.notify_all();
  // The file's descriptor closes after this: no write may still be under way on it.
  changed_.wait(lock, [this] { return underWay_.empty(); });
}

void TWriteQueue::WriteFront(std::unique_lock<std::mutex>& lock) {
  const TQueued front = queued_.front();
  queued_.pop_front();
  underWay_.push_back(front.Number);
  lock.unlock();
  const TJob& job = front.Job;
  const int error = Failure() == 0 ? WriteFullyAt(fd_, job.Data, job.Count, job.Offset) : 0;
  int none = 0;
  if (error != 0)
    failure_.compare_exchange_strong(none, error, std::memory_order_release);
  lock.lock();
  underWay_.erase(std::find(underWay_.begin(), underWay_.end(), front.Number));
  if (queued_.empty() && underWay_.empty())
    idle_.store(true, std::memory_order_relaxed);
  changed_.notify_all();
}

}  // namespace zembrio
