// The CUE sheet reader over any bytes, decoded as a track list file is, under the
// settings picked by the last byte: every name it makes stays inside the destination folder.
#include "import/cuesheet.h"

#include "tracklist.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A sheet naming several files takes the tracks of the one named like the source.
  return zembrio::fuzz::RunTrackListReader(
      [](zembrio::TCPList& list, const std::vector<std::string>& lines) {
        zembrio::ReadCueSheet(list, lines, "/music/Track 02.mp3");
      },
      data, size);
}
