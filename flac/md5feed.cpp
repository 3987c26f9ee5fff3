#include "flac/md5feed.h"

#include <algorithm>
#include <chrono>

namespace zembrio {

TFlacMd5Feed::TFlacMd5Feed(const std::string& path, const TFlacStreamInfo& info,
                           std::vector<TSampleRange> ranges)
    : info_(info), ranges_(std::move(ranges)), digests_(ranges_.size()) {
  for (size_t i = 0; i < ranges_.size(); ++i)
    hashes_.push_back(std::make_unique<TPcmMd5>(info.Channels, info.BitsPerSample));
  thread_ = std::thread(&TFlacMd5Feed::Run, this, path, info.HasMd5());
}

TFlacMd5Feed::~TFlacMd5Feed() {
  stop_ = true;
  if (thread_.joinable())
    thread_.join();
}

void TFlacMd5Feed::Run(const std::string& path, bool checkMd5) {
  TFlacSourceDecoder decoder;
  const auto outcome = decoder.Run(
      path,
      [this](uint64_t first, const int32_t* const planes[], uint32_t count) {
        return OnBlock(first, planes, count);
      },
      checkMd5, stop_);
  std::lock_guard lock(mutex_);
  ended_ = true;
  if (outcome == TFlacSourceDecoder::TOutcome::Decoded) {
    // The ranges still open hold what the stream had for them: a range that runs to the
    // end, or past an end that came sooner than STREAMINFO said.
    for (; next_ < ranges_.size(); ++next_)
      digests_[next_] = hashes_[next_]->Finish();
    source_ = !checkMd5              ? TSourceMd5::NotStored
              : decoder.Md5Matches() ? TSourceMd5::Verified
                                     : TSourceMd5::Different;
  } else {
    failed_ = true;
    error_ = decoder.Error();
  }
  changed_.notify_all();
}

bool TFlacMd5Feed::OnBlock(uint64_t first, const int32_t* const planes[], uint32_t count) {
  const uint64_t end = first + count;
  for (size_t i = next_; i < ranges_.size() && ranges_[i].Start < end; ++i) {
    const TSampleRange& range = ranges_[i];
    const uint64_t from = std::max(range.Start, first);
    const uint64_t to = std::min(range.End, end);
    if (from < to) {
      hashes_[i]->Add(planes, static_cast<uint32_t>(from - first),
                      static_cast<uint32_t>(to - from));
    }
  }
  decoded_.store(end, std::memory_order_relaxed);
  while (next_ < ranges_.size() && ranges_[next_].End <= end)
    Publish(next_++);
  return true;
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
