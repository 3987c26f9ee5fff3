#include "core/readahead.h"

#include <algorithm>
#include <system_error>

#include "core/rawfile.h"

namespace zembrio {

void TReadAhead::Loop() {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return !queue_.empty() || stop_; });
    if (stop_)
      return;
    TSlot& slot = Slot(queue_.front());
    queue_.pop_front();
    lock.unlock();
    Read(slot);
    lock.lock();
  }
}

bool TReadAhead::TakeQueued(int slot) {
  const auto queued = std::find(queue_.begin(), queue_.end(), slot);
  if (queued == queue_.end())
    return false;
  queue_.erase(queued);
  return true;
}

void TReadAhead::Read(TSlot& slot) {
  size_t got = 0;
  int error = 0;
  try {
    got = ReadFully(fd_, path_, slot.Block.data() + room_, slot.Block.size() - room_, slot.Offset);
  } catch (const std::system_error& failure) {
    error = failure.code().value();
  }
  {
    std::lock_guard lock(mutex_);
    slot.Got = got;
    slot.Error = error;
    slot.Done = true;
  }
  finished_.notify_all();
}

}  // namespace zembrio
