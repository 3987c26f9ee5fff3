// Header decoding over any four bytes, with and without a reference frame: an accepted
// header always describes a frame the walk can step over.
#include "fuzzinput.h"
#include "mpeg/frameheader.h"

using namespace zembrio;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4)
    return 0;
  FrameHeader header;
  const HeaderResult first = Decode(data[0], data[1], data[2], data[3], nullptr, header);
  if (first == Ok) {
    fuzz::Check(header.FrameLength > 4 && header.DataLength == header.FrameLength - 4,
                "frame length");
    fuzz::Check(header.SampleRate > 0 && header.Bitrate > 0 && header.SamplesPerFrame > 0,
                "derived values");
    fuzz::Check(header.BitrateTable != nullptr &&
                    (*header.BitrateTable)[header.BitrateIndex] == header.Bitrate,
                "bitrate table");
    (void)VersionTextOf(header.VersionId);
  }
  // The next four bytes checked against the first frame, as every later header is.
  if (first == Ok && size >= 8) {
    const HeaderReference reference{header.VersionId, header.SampleRate, header.LayerCode};
    FrameHeader next;
    if (Decode(data[4], data[5], data[6], data[7], &reference, next) == Ok) {
      fuzz::Check(next.VersionId == reference.VersionId && next.LayerCode == reference.LayerCode &&
                      next.SampleRate == reference.SampleRate,
                  "a later frame matches its reference");
      fuzz::Check(next.FrameLength > 4, "later frame length");
    }
  }
  return 0;
}
