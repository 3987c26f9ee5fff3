// The tags that taggers append after the audio data of an MPEG file: an ID3v1 tag last,
// and before it (or last) an APE tag or a Lyrics3 v2 block. None of them is audio: the
// frame walk ends where the first of them begins.
#pragma once

#include <cstdint>

#include "core/fileio.h"

namespace zembrio {

struct TEndTags {
  int64_t AudioEnd = 0;   // where the audio data ends: the first end tag starts here
  bool HasId3v1 = false;  // the last 128 bytes are an ID3v1 tag
};

// Looks at the end of input, whose size is fileSize. Moves the read position.
TEndTags FindEndTags(TInputFile& input, int64_t fileSize);

}  // namespace zembrio
