// The corrupt stretches of a frame walk, counted the one way every walker counts them.
#pragma once

#include <cstdint>
#include <string>

#include "mpeg/mpgfile.h"

namespace zembrio {

// Counts one corrupt stretch of a walk on file, from where the last good frame ended to
// stretchEnd (the next header, or the end of the audio data), and returns its line.
std::string CountCorruptStretch(TMPGFile& file, int64_t lastEnd, int64_t stretchEnd);

// The corrupt stretches one walk passes over: each lies between the end of the last frame
// walked and the next header found. Every walker steps with TMPGFile::NextFrame and asks
// this after each step.
class TStretchCounter {
 public:
  explicit TStretchCounter(int64_t lastEnd = 0) : lastEnd_(lastEnd) {}

  // The step just taken on file passed over bytes that are no frame.
  bool Passed(const TMPGFile& file) const { return file.SkippedBytes() != lastSkipped_; }
  // Counts the stretch the step passed over, up to the header it found or, atEnd, to the end
  // of the audio data; returns its line.
  std::string Count(TMPGFile& file, bool atEnd) {
    return CountUpTo(file, file.Position() - (atEnd ? 0 : 4));
  }
  // Counts the stretch up to stretchEnd.
  std::string CountUpTo(TMPGFile& file, int64_t stretchEnd) {
    lastSkipped_ = file.SkippedBytes();
    return CountCorruptStretch(file, lastEnd_, stretchEnd);
  }
  // The frame the step found was walked over: the next stretch can only start after it.
  void FrameWalked(const TMPGFile& file) { lastEnd_ = file.Position(); }
  // Goes on from where another walk, whose counters file now holds, ended.
  void GoOnFrom(const TMPGFile& file, int64_t lastEnd) {
    lastEnd_ = lastEnd;
    lastSkipped_ = file.SkippedBytes();
  }
  int64_t LastEnd() const { return lastEnd_; }

 private:
  int64_t lastEnd_ = 0;
  int64_t lastSkipped_ = 0;
};

}  // namespace zembrio
