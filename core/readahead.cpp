#include "core/readahead.h"

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
    const int64_t offset = slot.Offset;
    lock.unlock();
    size_t got = 0;
    int error = 0;
    try {
      got = ReadFully(fd_, path_, slot.Block.data() + room_, slot.Block.size() - room_, offset);
    } catch (const std::system_error& failure) {
      error = failure.code().value();
    }
    lock.lock();
    slot.Got = got;
    slot.Error = error;
    slot.Done = true;
    finished_.notify_all();
  }
}

}  // namespace zembrio
