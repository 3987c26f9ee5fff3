#include "cut/secondhalf.h"

namespace zembrio {

TSecondHalfWalk::TSecondHalfWalk(const TMPGFile& source) {
  const int64_t first = source.FirstFramePos();
  middle_ = first + (source.AudioSize() - first) / 2;
  file_.OpenFrom(source, middle_);
  thread_ = std::thread([this] { Run(); });
}

TSecondHalfWalk::~TSecondHalfWalk() {
  stop_ = true;
  if (thread_.joinable())
    thread_.join();
}

bool TSecondHalfWalk::StartKnown(std::chrono::milliseconds slice) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, slice, [this] { return startKnown_; });
}

int64_t TSecondHalfWalk::Start() {
  std::lock_guard lock(mutex_);
  return start_;
}

bool TSecondHalfWalk::Ended(std::chrono::milliseconds slice) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, slice, [this] { return ended_; });
}

void TSecondHalfWalk::Finish() {
  if (thread_.joinable())
    thread_.join();
  if (failure_)
    std::rethrow_exception(failure_);
}

void TSecondHalfWalk::Run() {
  try {
    FindStart();
    if (start_ >= 0)
      WalkFromStart();
  } catch (...) {
    failure_ = std::current_exception();
  }
  Publish(-1);  // no effect once the start is known
  {
    std::lock_guard lock(mutex_);
    ended_ = true;
  }
  changed_.notify_all();
}

bool TSecondHalfWalk::ReadFrame(HeaderResult& result) {
  const auto stopped = [this] { return stop_.load(std::memory_order_relaxed); };
  if (stopped())
    return false;
  result = file_.NextFrame(stopped);
  return result == Ok || result == EndOfData;
}

void TSecondHalfWalk::FindStart() {
  HeaderResult result = EndOfData;
  if (!ReadFrame(result) || result != Ok)
    return;
  const int64_t start = file_.Position() - 4;
  file_.Restart(start);  // the search is no part of the walk
  stretches_ = TStretchCounter(start);
  Publish(start);
}

// The statistics walk, from the start found on.
void TSecondHalfWalk::WalkFromStart() {
  HeaderResult result = EndOfData;
  while (ReadFrame(result)) {
    if (stretches_.Passed(file_))
      errorLines_.push_back(stretches_.Count(file_, result == EndOfData));
    if (result != Ok) {
      outcome_ = result;
      return;
    }
    file_.SkipData();
    stretches_.FrameWalked(file_);
    walked_.store(file_.Position() - middle_, std::memory_order_relaxed);
  }
}

void TSecondHalfWalk::Publish(int64_t start) {
  {
    std::lock_guard lock(mutex_);
    if (startKnown_)
      return;
    startKnown_ = true;
    start_ = start;
  }
  changed_.notify_all();
}

}  // namespace zembrio
