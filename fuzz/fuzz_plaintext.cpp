// The plain text track list reader over any bytes, decoded as a track list file is, under the
// settings picked by the last byte: every name it makes stays inside the destination folder.
#include "import/plaintext.h"

#include "tracklist.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return zembrio::fuzz::RunTrackListReader(
      [](zembrio::TCPList& list, const std::vector<std::string>& lines) {
        zembrio::ReadPlainText(list, lines);
      },
      data, size);
}
