// The whole frame walk over any file: the probe (the tags at both ends), every header, the frame
// data (read, written out or skipped) and the step back after a refused header. The walk must end,
// stay inside the file and keep its counters consistent.
#include "core/fileio.h"
#include "fuzzinput.h"
#include "mpeg/mpgfile.h"

using namespace zembrio;

namespace {

void Walk(TMPGFile& file, TOutputFile& output, bool writeFrames) {
  // Every round counts a frame and every step over what is not one advances at least one
  // byte: more of either is a hang.
  const int64_t maxRounds = file.FileSize() + 16;
  for (int64_t round = 0; round <= maxRounds; ++round) {
    int64_t steps = 0;
    const HeaderResult result = file.NextFrame([&] { return ++steps > maxRounds; });
    fuzz::Check(file.Position() <= file.FileSize(), "position inside the file");
    const double progress = file.Progress();
    fuzz::Check(progress >= 0.0 && progress <= 1.0, "progress range");
    if (result == EndOfData)
      return;
    fuzz::Check(result == Ok, "the step back over what is not a frame ended");
    fuzz::Check(file.DataLength() >= 0 && file.DataLength() <= file.FullDataLength(),
                "data length");
    fuzz::Check(file.EndSample() > file.StartSample(), "sample range");
    if (writeFrames) {
      file.ReadData();
      file.WriteFrame(output);
    } else {
      file.SkipData();
    }
  }
  fuzz::Fail("the walk did not end");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string source = fuzz::Scratch().File("walk.mp3");
  const std::string copy = fuzz::Scratch().File("frames.mp3");
  fuzz::WriteBytes(source, data, size);
  const bool skipVbr = size > 0 && (data[size - 1] & 1) != 0;

  TMPGFile file;
  const bool found = file.Open(source, skipVbr);
  if (found) {
    fuzz::Check(file.FirstFramePos() >= file.Id3v2Size(), "first frame after the ID3v2 tag");
    fuzz::Check(file.FirstFramePos() + 4 <= file.AudioSize(), "first frame inside the audio");
  }
  fuzz::Check(file.AudioSize() >= 0 && file.AudioSize() <= file.FileSize(),
              "audio inside the file");
  fuzz::Check(!file.HasTag() || file.AudioSize() + 128 <= file.FileSize(),
              "ID3v1 tag after the audio");
  TOutputFile output(copy, 4096);
  Walk(file, output, size % 3 != 0);
  (void)file.VersionText();
  for (const int32_t count : file.BitrateCount())
    fuzz::Check(count >= 0, "bitrate counts");
  if (file.HasTag())
    file.WriteTag(output);
  output.Close();
  file.Close();
  return 0;
}
