#include "opus/oggpage.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace zembrio {

namespace {

constexpr uint32_t kOggPolynomial = 0x04c11db7;
constexpr size_t kCrcField = 22;

uint32_t Get32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

void Put32(uint8_t* p, uint32_t value) {
  for (int i = 0; i < 4; ++i)
    p[i] = static_cast<uint8_t>(value >> (8 * i));
}

// a times b modulo the polynomial, both of degree below 32, highest power in the top bit.
uint32_t MultiplyModulo(uint32_t a, uint32_t b) {
  uint32_t product = 0;
  // Without branches: which way each bit goes cannot be foreseen.
  for (int bit = 31; bit >= 0; --bit) {
    product = (product << 1) ^ (kOggPolynomial & (0u - (product >> 31)));
    product ^= b & (0u - ((a >> bit) & 1));
  }
  return product;
}

// x^(8 * 2^k) modulo the polynomial: appending 2^k zero bytes multiplies a CRC by it.
const std::array<uint32_t, 64>& ZeroBytePowers() {
  static const std::array<uint32_t, 64> powers = [] {
    std::array<uint32_t, 64> table{};
    table[0] = 1u << 8;
    for (size_t k = 1; k < table.size(); ++k)
      table[k] = MultiplyModulo(table[k - 1], table[k - 1]);
    return table;
  }();
  return powers;
}

}  // namespace

int64_t TOggPage::Granule() const {
  uint64_t value = 0;
  for (int i = 13; i >= 6; --i)
    value = value << 8 | Bytes[i];
  return static_cast<int64_t>(value);
}

uint32_t TOggPage::Serial() const {
  return Get32(Bytes + 14);
}

uint32_t TOggPage::Sequence() const {
  return Get32(Bytes + 18);
}

// Bit by bit: only the few bytes of a header's difference and the tests go through it;
// pages read are checked by libogg.
uint32_t OggCrc(uint32_t crc, const uint8_t* data, size_t size) {
  for (size_t i = 0; i < size; ++i) {
    crc ^= static_cast<uint32_t>(data[i]) << 24;
    for (int bit = 0; bit < 8; ++bit)
      crc = (crc << 1) ^ (kOggPolynomial & (0u - (crc >> 31)));
  }
  return crc;
}

uint32_t OggCrcAppendZeros(uint32_t crc, uint64_t count) {
  const auto& powers = ZeroBytePowers();
  for (size_t k = 0; count != 0; ++k, count >>= 1) {
    if ((count & 1) != 0)
      crc = MultiplyModulo(crc, powers[k]);
  }
  return crc;
}

uint32_t OggPageCrc(const uint8_t* page, size_t size) {
  static constexpr uint8_t kZeros[4] = {};
  uint32_t crc = OggCrc(0, page, kCrcField);
  crc = OggCrc(crc, kZeros, sizeof kZeros);
  return OggCrc(crc, page + kCrcField + 4, size - kCrcField - 4);
}

// The new page's CRC is the old one's plus the CRC of what changed: the header's changed
// bits followed by the body's length in zero bytes.
void RewriteOggHeader(uint8_t* header, size_t headerSize, size_t bodySize,
                      const TOggPageFields& fields) {
  uint8_t old[kOggHeaderFixed];
  std::memcpy(old, header, kOggHeaderFixed);
  const uint32_t oldCrc = Get32(header + kCrcField);
  header[5] = fields.Flags;
  const auto granule = static_cast<uint64_t>(fields.Granule);
  for (int i = 0; i < 8; ++i)
    header[6 + i] = static_cast<uint8_t>(granule >> (8 * i));
  Put32(header + 14, fields.Serial);
  Put32(header + 18, fields.Sequence);
  uint8_t difference[kOggHeaderFixed];
  for (size_t i = 0; i < kOggHeaderFixed; ++i)
    difference[i] = old[i] ^ header[i];
  std::memset(difference + kCrcField, 0, 4);
  // The segment table does not change: its share of the difference is zeros.
  uint32_t change = OggCrc(0, difference, kOggHeaderFixed);
  change = OggCrcAppendZeros(change, headerSize - kOggHeaderFixed + bodySize);
  Put32(header + kCrcField, oldCrc ^ change);
}

TOggPageReader::TOggPageReader(TInputFile& input)
    : input_(input), pages_{TByteBlock(kOggMaxPage), TByteBlock(kOggMaxPage)} {
  ogg_sync_init(&sync_);
  position_ = input.Position();
}

TOggPageReader::~TOggPageReader() {
  ogg_sync_clear(&sync_);
}

// libogg finds the pages, checks their CRC and passes over what lies between them; each page
// is copied out of its buffer, which moves on the next read, into one of two of ours.
bool TOggPageReader::Next(TOggPage& page) {
  ogg_page found;
  for (;;) {
    const long size = ogg_sync_pageseek(&sync_, &found);
    if (size < 0) {
      position_ -= size;
      continue;
    }
    if (size > 0)
      break;
    char* buffer = ogg_sync_buffer(&sync_, static_cast<long>(kOggReadBuffer));
    const size_t got = input_.Read(buffer, kOggReadBuffer);
    if (got == 0)
      return false;
    ogg_sync_wrote(&sync_, static_cast<long>(got));
  }
  current_ = 1 - current_;
  uint8_t* copy = pages_[current_].data();
  const auto headerSize = static_cast<size_t>(found.header_len);
  const auto bodySize = static_cast<size_t>(found.body_len);
  std::memcpy(copy, found.header, headerSize);
  std::memcpy(copy + headerSize, found.body, bodySize);
  page.Bytes = copy;
  page.HeaderSize = headerSize;
  page.BodySize = bodySize;
  page.Position = position_;
  position_ += static_cast<int64_t>(headerSize + bodySize);
  return true;
}

std::optional<uint32_t> LastOggPageSerial(const std::string& path) {
  TInputFile input(path, 2 * kOggMaxPage);
  const int64_t from = std::max<int64_t>(0, input.Size() - static_cast<int64_t>(2 * kOggMaxPage));
  input.Seek(from);
  TOggPageReader reader(input);
  std::optional<uint32_t> serial;
  for (TOggPage page; reader.Next(page);)
    serial = page.Serial();
  return serial;
}

}  // namespace zembrio
