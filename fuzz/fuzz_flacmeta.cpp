// The FLAC metadata reader over any file, and the blocks built for a track from what it
// read: nothing may crash; the built blocks must chain by their headers to their exact
// length, the last one marked last, the seek table where it is said to be. The embedded
// track list import runs over the same file.
#include <system_error>

#include "cut/runfeedback.h"
#include "flac/trackmetadata.h"
#include "fuzzinput.h"
#include "import/embeddedcue.h"

using namespace zembrio;

namespace {

void CheckBlocks(const TFlacTrackMetadata& track) {
  const std::vector<uint8_t>& blocks = track.Blocks;
  size_t at = 0;
  bool last = false;
  bool seekTableSeen = track.SeekPoints == 0;
  while (!last) {
    fuzz::Check(at + 4 <= blocks.size(), "block header inside");
    last = (blocks[at] & 0x80) != 0;
    const size_t length =
        size_t{blocks[at + 1]} << 16 | size_t{blocks[at + 2]} << 8 | blocks[at + 3];
    if ((blocks[at] & 0x7F) == 3) {
      fuzz::Check(at + 4 == track.SeekTableOffset, "seek table offset");
      fuzz::Check(length == size_t{track.SeekPoints} * 18, "seek table length");
      seekTableSeen = true;
    }
    at += 4 + length;
  }
  fuzz::Check(at == blocks.size(), "blocks end with the last one");
  fuzz::Check(seekTableSeen, "seek table present");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::ResetSettings();
  const std::string path = fuzz::Scratch().File("source.flac");
  fuzz::WriteBytes(path, data, size);
  try {
    const TFlacSourceMetadata meta = ReadFlacSourceMetadata(path);
    TFragmentTags tags;
    tags.Title = "Titre";
    tags.Artist = std::string(fuzz::AsText(data, std::min<size_t>(size, 16)));
    tags.Track = 1;
    tags.TrackTotal = 2;
    const uint64_t samples = meta.StreamInfo.TotalSamples;
    CheckBlocks(BuildTrackMetadata(meta, &tags, samples));
    CheckBlocks(BuildTrackMetadata(meta, nullptr, samples / 3));
  } catch (const TRunError&) {
    // Not a FLAC stream, or metadata libFLAC refuses: an expected outcome.
  }
  try {
    TCPList list;
    ImportEmbeddedCueSheet(list, path);
  } catch (const TConversionError&) {
    // A CUE text with a number that is no number: the CUE reader's own outcome.
  }
  return 0;
}
