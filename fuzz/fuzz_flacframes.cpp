// FLAC frame headers over any bytes: an accepted header serializes to the same bytes and
// reads back the same. Then the frame walk over any stream behind a valid STREAMINFO: it
// ends, and every frame it hands on lies inside the file and passes its CRC-16.
#include <array>

#include "core/fileio.h"
#include "flac/frameheader.h"
#include "flac/framescan.h"
#include "fuzzinput.h"

using namespace zembrio;

namespace {

void CheckHeader(const uint8_t* data, size_t size) {
  const auto header = ParseFlacFrameHeader(data, size);
  if (!header)
    return;
  std::array<uint8_t, kFlacMaxHeaderSize> bytes{};
  const size_t length = SerializeFlacFrameHeader(*header, bytes);
  fuzz::Check(length > 0, "an accepted header serializes");
  const auto back = ParseFlacFrameHeader(bytes.data(), length);
  fuzz::Check(back.has_value(), "a serialized header parses");
  fuzz::Check(back->Number == header->Number && back->BlockSize == header->BlockSize &&
                  back->SampleRate == header->SampleRate &&
                  back->ChannelAssignment == header->ChannelAssignment &&
                  back->DepthCode == header->DepthCode &&
                  back->VariableBlocksize == header->VariableBlocksize,
              "a header reads back as it was");
}

void CheckWalk(const uint8_t* data, size_t size) {
  // A 16-bit stereo STREAMINFO, then the input as the frames.
  TFlacStreamInfo info;
  info.MinBlockSize = 16;
  info.MaxBlockSize = 4608;
  info.SampleRate = 44100;
  info.Channels = 2;
  info.BitsPerSample = 16;
  const auto body = SerializeStreamInfo(info);
  std::vector<uint8_t> stream = {'f', 'L', 'a', 'C', 0x80, 0, 0, kFlacStreamInfoSize};
  stream.insert(stream.end(), body.begin(), body.end());
  stream.insert(stream.end(), data, data + size);
  const std::string path = fuzz::Scratch().File("walk.flac");
  fuzz::WriteBytes(path, stream.data(), stream.size());
  TInputFile input(path);
  const auto layout = ReadFlacStreamLayout(input);
  fuzz::Check(layout.has_value(), "the STREAMINFO made here is read");
  TFlacFrameScanner scanner(input, *layout);
  TFlacFrame frame;
  while (scanner.Next(frame) == TFlacScanResult::Frame) {
    fuzz::Check(frame.Offset + static_cast<int64_t>(frame.Size) <= input.Size(), "inside");
    const uint16_t stored =
        static_cast<uint16_t>((frame.Bytes[frame.Size - 2] << 8) | frame.Bytes[frame.Size - 1]);
    fuzz::Check(FlacCrc16(0, frame.Bytes, frame.Size - 2) == stored, "CRC-16 checked");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CheckHeader(data, size);
  CheckWalk(data, size);
  return 0;
}
