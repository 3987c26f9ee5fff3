// The CUE sheet reader over any bytes, decoded as a track list file is, under the
// settings picked by the last byte: every name it makes stays inside the destination folder.
#include "import/cuesheet.h"

#include "tracklist.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return zembrio::fuzz::RunTrackListReader(zembrio::ReadCueSheet, data, size);
}
