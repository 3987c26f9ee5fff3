// The settings an MPEG cut or statistics run reads, taken once by whoever starts the run:
// the walk never reads the settings record, which the dialog may change meanwhile.
#pragma once

#include <cstdint>

namespace zembrio {

// ADJUSTSTART: which frame a cut point starts at.
constexpr int32_t kStartPrevious = 0;  // the frame that holds the point
constexpr int32_t kStartNearest = 1;   // the frame whose middle lies at or after the point
constexpr int32_t kStartNext = 2;      // the first frame starting at or after the point
constexpr int32_t kStartExact = 3;     // the point's own sample, trimmed with delay and padding

// ID3V1TAG: which fragments end with the source's ID3v1 tag.
constexpr int32_t kTagInLastFragment = 1;
constexpr int32_t kTagInEveryFragment = 2;

struct TMpegCutOptions {
  int32_t ADJUSTSTART = kStartNearest;
  int32_t ID3V1TAG = kTagInLastFragment;
  int32_t ID3V2TAG = 1;  // 1: every fragment begins with an ID3v2 tag
  bool SKIPVBRHEADER = true;
  bool XINGHEADER = true;  // Layer III fragments get a fresh header frame
};

}  // namespace zembrio
