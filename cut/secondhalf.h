// The second half of a statistics walk, walked on a thread of its own while the first half
// is walked as usual: it starts at the first frame found from the middle of the source on.
// The two walks become one when the first arrives at that frame. When it passes over it
// instead (what was found there was a sync pattern inside another frame), the first walk
// goes on alone and nothing of the second counts.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "cut/stretchcounter.h"
#include "mpeg/mpgfile.h"

namespace zembrio {

class TSecondHalfWalk {
 public:
  // Smaller sources are walked whole: a second walk would not pay for its thread.
  static constexpr int64_t kMinimumAudio = int64_t{8} << 20;

  // Starts walking the second half of the audio that source walks, source standing on its
  // first frame. Throws std::system_error when the file cannot be opened again.
  explicit TSecondHalfWalk(const TMPGFile& source);
  // Stops the walk when it still runs.
  ~TSecondHalfWalk();
  TSecondHalfWalk(const TSecondHalfWalk&) = delete;
  TSecondHalfWalk& operator=(const TSecondHalfWalk&) = delete;

  // Where the second walk begins its search: the first walk asks for Start() from here on.
  int64_t Middle() const { return middle_; }
  // Wait at most slice for the first frame found from the middle on; true once it is known.
  bool StartKnown(std::chrono::milliseconds slice);
  // That frame's position once StartKnown; -1 when there is none.
  int64_t Start();
  // Wait at most slice for the end of the walk; true once it ended.
  bool Ended(std::chrono::milliseconds slice);
  // Waits for the end of the walk and rethrows its failure. Its figures are then in File(),
  // ErrorLines(), LastEnd() and Outcome().
  void Finish();
  // Bytes walked so far from the middle on; for the progress shown.
  int64_t Walked() const { return walked_.load(std::memory_order_relaxed); }

  const TMPGFile& File() const { return file_; }
  const std::vector<std::string>& ErrorLines() const { return errorLines_; }
  int64_t LastEnd() const { return stretches_.LastEnd(); }
  HeaderResult Outcome() const { return outcome_; }

 private:
  void Run();
  // Steps over what is not a frame; false when the walk was stopped first.
  bool ReadFrame(HeaderResult& result);
  void FindStart();
  void WalkFromStart();
  void Publish(int64_t start);

  TMPGFile file_;
  int64_t middle_ = 0;
  std::vector<std::string> errorLines_;
  TStretchCounter stretches_;
  HeaderResult outcome_ = EndOfData;
  std::exception_ptr failure_;
  std::atomic<bool> stop_{false};
  std::atomic<int64_t> walked_{0};
  std::mutex mutex_;
  std::condition_variable changed_;
  bool startKnown_ = false;
  bool ended_ = false;
  int64_t start_ = -1;
  std::thread thread_;
};

}  // namespace zembrio
