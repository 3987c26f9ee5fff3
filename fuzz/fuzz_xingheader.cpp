// The header frame of a source (the "Xing"/"Info" header, its LAME extension and a fragment's
// mark) read from any bytes, and a fresh header frame for any first frame: what is written
// reads back. Any bytes taken as a kept frame give a priming frame that holds what it needs.
// The music CRC's fast path must agree with its tables on any bytes, in one piece or in
// pieces whose sizes the bytes themselves give.
#include <algorithm>
#include <cstring>

#include "fuzzinput.h"
#include "mpeg/reservoir.h"
#include "mpeg/xingheader.h"

using namespace zembrio;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto start = static_cast<uint16_t>(size * 40503u);
  fuzz::Check(Crc16(start, data, size) == Crc16Tables(start, data, size), "music CRC paths agree");
  TCrc16Stream stream;
  for (size_t at = 0; at < size;) {
    const size_t piece = std::min<size_t>(size - at, 1 + data[at] * 3);
    stream.Add(data + at, piece);
    at += piece;
  }
  fuzz::Check(stream.Value() == Crc16Tables(0, data, size), "music CRC in pieces");
  if (size < 8)
    return 0;
  const int32_t versionId = data[0] & 3;
  const int32_t channelMode = (data[0] >> 2) & 3;
  if (const auto read = ReadSourceHeader(data + 1, size - 1, versionId, channelMode)) {
    fuzz::Check(read->Quality >= -1 && read->Quality <= 100, "quality in range");
    if (read->Lame)
      fuzz::Check(
          read->Lame->Delay <= kMaxDelayOrPadding && read->Lame->Padding <= kMaxDelayOrPadding,
          "12-bit delay and padding");
    if (read->Mark)
      fuzz::Check(read->Mark->FirstFrame >= 0 && read->Mark->Leading >= 0 &&
                      read->Mark->Trailing >= 0 && read->Mark->Leading <= 0xFFFF &&
                      read->Mark->Trailing <= 0xFFFF,
                  "mark fields in range");
  }

  const std::vector<uint8_t> kept(data + 1, data + size);
  const int32_t begin = MainDataBegin(kept, versionId);
  fuzz::Check(begin >= 0 && begin <= (versionId == 3 ? 511 : 255), "main_data_begin's width");
  const std::vector<uint8_t> priming =
      TReservoir().PrimingFrame(kept, versionId, TReservoirMark{0, TReservoir::kMaximum});
  if (!priming.empty()) {
    FrameHeader decoded;
    fuzz::Check(Decode(priming[0], priming[1], priming[2], priming[3], nullptr, decoded) == Ok &&
                    static_cast<size_t>(decoded.FrameLength) == priming.size() &&
                    priming.size() >= static_cast<size_t>(begin),
                "a priming frame is a whole frame holding the bytes asked for");
  }

  const std::array<uint8_t, 4> first{data[1], data[2], data[3], data[4]};
  const auto header = HeaderFrameHeader(first);
  if (!header)
    return 0;
  THeaderFrameFields fields;
  fields.Header = *header;
  fields.VariableBitrate = (data[5] & 1) != 0;
  fields.Frames = int64_t{data[6]} << 24 | data[7];
  fields.Bytes = fields.Frames * 3;
  fields.Lame.Encoder.fill('x');
  fields.Lame.Delay = data[5] * 17;
  fields.Lame.Padding = static_cast<int32_t>((size - 8) * 13 % 8192);
  if ((data[5] & 2) != 0)
    fields.Mark = TFragmentMark{uint32_t{data[6]} * 77, fields.Frames, data[7], data[5] >> 2};
  const std::vector<uint8_t> frame = BuildHeaderFrame(fields);
  fuzz::Check(!frame.empty(), "a header frame is built for every header chosen");
  const int32_t mode = (frame[3] >> 6) & 3;
  const int32_t version = (frame[1] >> 3) & 3;
  const auto back = ReadSourceHeader(frame.data() + 4, frame.size() - 4, version, mode);
  fuzz::Check(back && back->Lame, "the fresh header reads back");
  fuzz::Check(back->Lame->Delay == std::min(fields.Lame.Delay, kMaxDelayOrPadding) &&
                  back->Lame->Padding == std::min(fields.Lame.Padding, kMaxDelayOrPadding),
              "delay and padding read back");
  fuzz::Check(back->Mark.has_value() == fields.Mark.has_value() &&
                  (!fields.Mark || (back->Mark->FirstFrame == fields.Mark->FirstFrame &&
                                    back->Mark->Leading == fields.Mark->Leading &&
                                    back->Mark->Trailing == fields.Mark->Trailing)),
              "the mark reads back");
  return 0;
}
