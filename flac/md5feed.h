// The MD5s of a cut: a second thread decodes the whole source once with libFLAC while the
// frames are copied, checks the source's own MD5 and hashes the samples of every track.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "flac/flaccodec.h"

namespace zembrio {

// The samples start..end of the source; end kOpenEnd: up to the stream's end.
struct TSampleRange {
  static constexpr uint64_t kOpenEnd = std::numeric_limits<uint64_t>::max();
  uint64_t Start = 0;
  uint64_t End = kOpenEnd;
};

enum class TSourceMd5 { NotStored, Verified, Different, Unknown };

class TFlacMd5Feed {
 public:
  // ranges: in order, not overlapping. The decode starts at once.
  TFlacMd5Feed(const std::string& path, const TFlacStreamInfo& info,
               std::vector<TSampleRange> ranges);
  // Stops the decode and waits for the thread.
  ~TFlacMd5Feed();
  TFlacMd5Feed(const TFlacMd5Feed&) = delete;
  TFlacMd5Feed& operator=(const TFlacMd5Feed&) = delete;

  // Waits for the MD5 of range index; keepWaiting is called every few milliseconds meanwhile
  // and ends the wait when it returns false. nullopt: the decode failed or was stopped.
  std::optional<std::array<uint8_t, 16>> Await(size_t index,
                                               const std::function<bool()>& keepWaiting);
  // Waits for the end of the decode (as Await); then says whether the source verified.
  TSourceMd5 AwaitSource(const std::function<bool()>& keepWaiting);
  // Samples decoded so far.
  uint64_t Decoded() const { return decoded_.load(std::memory_order_relaxed); }
  // Why the decode failed; empty when it did not.
  std::string Error() const;

 private:
  void Run(const std::string& path, bool checkMd5);
  bool OnBlock(uint64_t first, const int32_t* const planes[], uint32_t count);
  void Publish(size_t index);
  bool WaitFor(const std::function<bool()>& ready, const std::function<bool()>& keepWaiting);

  TFlacStreamInfo info_;
  std::vector<TSampleRange> ranges_;
  // Only the decode thread touches these two.
  std::vector<std::unique_ptr<TPcmMd5>> hashes_;
  size_t next_ = 0;  // the first range not yet complete

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::optional<std::array<uint8_t, 16>>> digests_;
  bool ended_ = false;
  bool failed_ = false;
  std::string error_;
  TSourceMd5 source_ = TSourceMd5::Unknown;

  std::atomic<uint64_t> decoded_{0};
  std::atomic<bool> stop_{false};
  std::thread thread_;  // last: started once everything above is set
};

}  // namespace zembrio
