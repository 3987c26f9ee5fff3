#include "core/writebehind.h"

#include "core/rawfile.h"

namespace zembrio {

void TWriteBehind::Loop() {
  std::unique_lock lock(mutex_);
  for (;;) {
    if (jobs_.empty()) {
      idle_.store(true, std::memory_order_relaxed);
      done_.notify_all();
    }
    wake_.wait(lock, [this] { return !jobs_.empty() || stop_; });
    if (stop_)
      return;
    const TJob job = jobs_.front();
    jobs_.pop_front();
    busy_ = true;
    lock.unlock();
    const int error = Failure() == 0 ? WriteFullyAt(fd_, job.Data, job.Count, job.Offset) : 0;
    if (error != 0 && Failure() == 0)
      failure_.store(error, std::memory_order_release);
    progress_->Finished(++finished_);
    lock.lock();
    busy_ = false;
  }
}

}  // namespace zembrio
