// Ogg pages as they lie in the source: found and checked in large blocks read at once, so
// that a page which goes into a fragment unchanged is copied as it is, its header given the
// fragment's serial number, sequence and granule and its CRC set right from the checked one
// without reading the body again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <ogg/ogg.h>

#include "core/fileio.h"

namespace zembrio {

constexpr uint8_t kOggContinued = 0x01;  // the page starts with the rest of a packet
constexpr uint8_t kOggFirst = 0x02;      // a stream's first page
constexpr uint8_t kOggLast = 0x04;       // a stream's last page
constexpr size_t kOggHeaderFixed = 27;   // the header up to its segment table
// The largest page: a full segment table and 255 segments of 255 bytes.
constexpr size_t kOggMaxPage = kOggHeaderFixed + 255 + 255 * 255;

// The reads that feed the page reader: small enough to stay in the processor's cache between
// the read and the CRC, the copy and the write that follow. A read from the source that is at
// least its own buffer's size comes straight into them: the source is best opened with
// kOggSourceBuffer.
constexpr size_t kOggReadBuffer = size_t{256} << 10;
constexpr size_t kOggSourceBuffer = kOggReadBuffer / 2;

// A page in the reader's buffer: its header (segment table included) then its body.
struct TOggPage {
  const uint8_t* Bytes = nullptr;
  size_t HeaderSize = 0;
  size_t BodySize = 0;
  int64_t Position = 0;  // where it starts in the file

  uint8_t Flags() const { return Bytes[5]; }
  bool Continued() const { return (Flags() & kOggContinued) != 0; }
  bool First() const { return (Flags() & kOggFirst) != 0; }
  bool Last() const { return (Flags() & kOggLast) != 0; }
  int64_t Granule() const;
  uint32_t Serial() const;
  uint32_t Sequence() const;
  int Segments() const { return Bytes[26]; }
  const uint8_t* Lacing() const { return Bytes + kOggHeaderFixed; }
  const uint8_t* Body() const { return Bytes + HeaderSize; }
  size_t Size() const { return HeaderSize + BodySize; }
};

// The Ogg CRC (polynomial 0x04c11db7, register from 0, no final xor) of size bytes,
// continued from crc, the CRC of the bytes before them.
uint32_t OggCrc(uint32_t crc, const uint8_t* data, size_t size);
// The CRC of the bytes whose CRC is crc followed by count zero bytes: the CRC is linear, so
// this is a product by x^(8 count) modulo the polynomial, a few steps for any count.
uint32_t OggCrcAppendZeros(uint32_t crc, uint64_t count);
// The CRC a page must carry: of its bytes with the CRC field read as zero.
uint32_t OggPageCrc(const uint8_t* page, size_t size);

// What a copied page's header is given.
struct TOggPageFields {
  uint8_t Flags = 0;
  int64_t Granule = -1;
  uint32_t Serial = 0;
  uint32_t Sequence = 0;
};

// Rewrites the header of a page whose CRC holds (header: HeaderSize bytes, followed in the
// page by bodySize bytes) with fields, and sets its CRC from the old one: the body is not
// read.
void RewriteOggHeader(uint8_t* header, size_t headerSize, size_t bodySize,
                      const TOggPageFields& fields);

// Pages one after another from the file, found and checked by libogg: bytes between pages
// (garbage, a page whose CRC fails) are passed over as players pass them over. The page
// given last stays in place through the next call of Next: with the page that call gives,
// two pages are at hand.
class TOggPageReader {
 public:
  explicit TOggPageReader(TInputFile& input);
  ~TOggPageReader();
  TOggPageReader(const TOggPageReader&) = delete;
  TOggPageReader& operator=(const TOggPageReader&) = delete;

  // The next whole page whose CRC holds; false at the file's end.
  bool Next(TOggPage& page);
  // Bytes of the file read so far.
  int64_t Position() const { return input_.Position(); }

 private:
  TInputFile& input_;
  ogg_sync_state sync_;
  TByteBlock pages_[2];  // the page given last and the one given before it
  int current_ = 0;
  int64_t position_ = 0;  // where the next page libogg gives starts in the file
};

// The serial number of the file's last sound page, read from its last 64 KiB and more:
// another than the first stream's, of a stream that did not start with it, tells of a chain.
std::optional<uint32_t> LastOggPageSerial(const std::string& path);

}  // namespace zembrio
