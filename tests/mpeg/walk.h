// The frame walk every caller of TMPGFile performs, for the tests.
#pragma once

#include <gtest/gtest.h>

#include "mpeg/mpgfile.h"

namespace zembrio::test {

// Walks to the end, reading or skipping the frame data. Frames go to output when given.
// Fails the test instead of hanging: every step back over what is not a frame advances by
// at least one byte, every round counts a frame.
inline void WalkToEnd(TMPGFile& file, TOutputFile* output = nullptr) {
  const int64_t maxRounds = file.FileSize() + 16;
  int64_t steps = 0;
  for (int64_t round = 0; round <= maxRounds; ++round) {
    const HeaderResult result = file.NextFrame([&] { return ++steps > maxRounds; });
    if (result == EndOfData) {
      return;
    }
    if (result != Ok) {
      break;  // stepped back more often than there are bytes
    }
    if (output != nullptr) {
      file.ReadData();
      file.WriteFrame(*output);
    } else {
      file.SkipData();
    }
  }
  ADD_FAILURE() << "the walk did not end";
}

}  // namespace zembrio::test
