// The CUE sheet reader over any bytes, decoded as a track list file is, under the settings
// picked by the last byte: a malformed number is the reader's one refusal, and every name
// it makes stays inside the destination folder.
#include "import/cuesheet.h"

#include "core/timevalue.h"
#include "tracklist.h"

using namespace zembrio;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::ConfigureTrackListSettings(size > 0 ? data[size - 1] : 0);
  TCPList list;
  try {
    ReadCueSheet(list, fuzz::TrackListLines(data, size));
  } catch (const TConversionError&) {
    // The cut points read before the bad number stay, and must be as sound.
  }
  fuzz::CheckNames(list);
  return 0;
}
