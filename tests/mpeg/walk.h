// The frame walk every caller of TMPGFile performs, for the tests.
#pragma once

#include <gtest/gtest.h>

#include "mpeg/mpgfile.h"

namespace zembrio::test {

// Walks to the end: on NoSync/Invalid step back, on Ok read or skip the frame data.
// Frames go to output when given. Fails the test instead of hanging: every round either
// counts a frame or advances by at least one byte.
inline void WalkToEnd(TMPGFile& file, TOutputFile* output = nullptr) {
  const int64_t maxRounds = file.FileSize() + 16;
  for (int64_t round = 0; round <= maxRounds; ++round) {
    const HeaderResult result = file.ReadHeader();
    if (result == EndOfData) {
      return;
    }
    if (result != Ok) {
      file.StepBack();
    } else if (output != nullptr) {
      file.ReadData();
      file.WriteFrame(*output);
    } else {
      file.SkipData();
    }
  }
  ADD_FAILURE() << "the walk did not end";
}

}  // namespace zembrio::test
