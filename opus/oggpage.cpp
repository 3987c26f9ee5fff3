#include "opus/oggpage.h"

#include <isa-l/crc.h>

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

// The page starting at p, of which available bytes are at hand: its size when it is whole
// and its CRC holds; 0 when no page starts there; minus the bytes it needs when more of it
// must be read first.
long CheckPage(const uint8_t* p, size_t available) {
  if (available < kOggHeaderFixed)
    return -static_cast<long>(kOggHeaderFixed);
  if (std::memcmp(p, "OggS", 4) != 0 || p[4] != 0)
    return 0;
  const size_t headerSize = kOggHeaderFixed + p[26];
  if (available < headerSize)
    return -static_cast<long>(headerSize);
  size_t size = headerSize;
  for (size_t i = kOggHeaderFixed; i < headerSize; ++i)
    size += p[i];
  if (available < size)
    return -static_cast<long>(size);
  return OggPageCrc(p, size) == Get32(p + kCrcField) ? static_cast<long>(size) : 0;
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

// The library's CRC inverts the register before and after: inverted around it, the
// register starts from the CRC given and ends without a final xor, as Ogg's does.
uint32_t OggCrc(uint32_t crc, const uint8_t* data, size_t size) {
  return ~crc32_ieee(~crc, data, size);
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
    : input_(input), buffers_{TByteBlock(kOggReadBuffer), TByteBlock(kOggReadBuffer)} {
  scanPosition_ = input.Position();
}

bool TOggPageReader::Have(size_t count) {
  if (end_ - scan_ >= count)
    return true;
  if (fileEnded_)
    return false;
  // What is left from scan_ on goes to the front; the page given last stays where it is.
  const int target = lastIn_ == current_ ? 1 - current_ : current_;
  std::memmove(buffers_[target].data(), Data() + scan_, end_ - scan_);
  end_ -= scan_;
  scan_ = 0;
  current_ = target;
  while (end_ - scan_ < count && !fileEnded_) {
    const size_t got = input_.Read(Data() + end_, buffers_[current_].size() - end_);
    end_ += got;
    fileEnded_ = got == 0;
  }
  return end_ - scan_ >= count;
}

long TOggPageReader::PageAt() {
  for (;;) {
    const long result = CheckPage(Data() + scan_, end_ - scan_);
    if (result >= 0)
      return result;
    if (!Have(static_cast<size_t>(-result)))
      return -1;
  }
}

bool TOggPageReader::Next(TOggPage& page) {
  for (;;) {
    if (!Have(kOggHeaderFixed))
      return false;
    const auto* start = Data() + scan_;
    const auto* found = static_cast<const uint8_t*>(std::memchr(start, 'O', end_ - scan_));
    if (found == nullptr) {
      scanPosition_ += static_cast<int64_t>(end_ - scan_);
      scan_ = end_;
      continue;
    }
    scanPosition_ += found - start;
    scan_ += static_cast<size_t>(found - start);
    const long size = PageAt();
    if (size < 0)
      return false;
    if (size == 0) {
      ++scan_;
      ++scanPosition_;
      continue;
    }
    page.Bytes = Data() + scan_;
    page.HeaderSize = kOggHeaderFixed + page.Bytes[26];
    page.BodySize = static_cast<size_t>(size) - page.HeaderSize;
    page.Position = scanPosition_;
    lastIn_ = current_;
    scan_ += static_cast<size_t>(size);
    scanPosition_ += size;
    return true;
  }
}

std::optional<uint32_t> LastOggPageSerial(const std::string& path) {
  TInputFile input(path, 2 * kOggMaxPage);
  const int64_t from = std::max<int64_t>(0, input.Size() - static_cast<int64_t>(2 * kOggMaxPage));
  input.Seek(from);
  std::vector<uint8_t> tail(static_cast<size_t>(input.Size() - from));
  tail.resize(input.Read(tail.data(), tail.size()));
  std::optional<uint32_t> serial;
  for (size_t at = 0; at + kOggHeaderFixed <= tail.size();) {
    const long size = CheckPage(tail.data() + at, tail.size() - at);
    if (size > 0) {
      serial = Get32(tail.data() + at + 14);
      at += static_cast<size_t>(size);
    } else {
      ++at;
    }
  }
  return serial;
}

}  // namespace zembrio
