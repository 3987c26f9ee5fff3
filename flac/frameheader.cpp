#include "flac/frameheader.h"

namespace zembrio {

namespace {

constexpr uint32_t kPolynomial16 = 0x8005;

struct TCrcTables {
  std::array<uint8_t, 256> Crc8{};
  // Slice[k][b]: the CRC-16 of byte b followed by k zero bytes.
  std::array<std::array<uint16_t, 256>, 8> Slice{};
  // x^(8 * 2^k) modulo the polynomial: count zero bytes in as many steps as count has bits.
  std::array<uint16_t, 64> ZeroPowers{};

  TCrcTables() {
    for (uint32_t b = 0; b < 256; ++b) {
      uint32_t crc8 = b;
      uint32_t crc16 = b << 8;
      for (int bit = 0; bit < 8; ++bit) {
        crc8 = (crc8 & 0x80) != 0 ? (crc8 << 1) ^ 0x07 : crc8 << 1;
        crc16 = (crc16 & 0x8000) != 0 ? (crc16 << 1) ^ kPolynomial16 : crc16 << 1;
      }
      Crc8[b] = static_cast<uint8_t>(crc8);
      Slice[0][b] = static_cast<uint16_t>(crc16);
    }
    for (size_t k = 1; k < Slice.size(); ++k) {
      for (size_t b = 0; b < 256; ++b) {
        const uint16_t previous = Slice[k - 1][b];
        Slice[k][b] = static_cast<uint16_t>((previous << 8) ^ Slice[0][previous >> 8]);
      }
    }
    ZeroPowers[0] = 0x0100;  // x^8
    for (size_t k = 1; k < ZeroPowers.size(); ++k)
      ZeroPowers[k] = MultiplyMod(ZeroPowers[k - 1], ZeroPowers[k - 1]);
  }

  // a * b modulo x^16 + x^15 + x^2 + 1.
  static uint16_t MultiplyMod(uint16_t a, uint16_t b) {
    uint32_t product = 0;
    for (int bit = 15; bit >= 0; --bit) {
      product <<= 1;
      if ((product & 0x10000) != 0)
        product ^= 0x10000 | kPolynomial16;
      if (((b >> bit) & 1) != 0)
        product ^= a;
    }
    return static_cast<uint16_t>(product);
  }
};

const TCrcTables& Tables() {
  static const TCrcTables tables;
  return tables;
}

constexpr std::array<uint32_t, 12> kRates = {0,     88200, 176400, 192000, 8000,  16000,
                                             22050, 24000, 32000,  44100,  48000, 96000};
constexpr std::array<uint32_t, 8> kDepths = {0, 8, 12, 0, 16, 20, 24, 32};

// The block size of codes that hold it in the code itself; 0 for the others.
uint32_t FixedBlockSize(uint8_t code) {
  if (code == 1)
    return 192;
  if (code >= 2 && code <= 5)
    return 576u << (code - 2);
  if (code >= 8)
    return 256u << (code - 8);
  return 0;
}

// The UTF-8-like coded number: its value and length, or nullopt.
std::optional<std::pair<uint64_t, size_t>> ParseCodedNumber(const uint8_t* data, size_t size) {
  if (size == 0)
    return std::nullopt;
  const uint8_t first = data[0];
  size_t length = 1;
  uint64_t value = first;
  if ((first & 0x80) != 0) {
    if ((first & 0xC0) == 0x80 || first == 0xFF)
      return std::nullopt;
    while ((first << length) & 0x80)
      ++length;
    value = first & (0x7Fu >> length);
    if (size < length)
      return std::nullopt;
    for (size_t i = 1; i < length; ++i) {
      if ((data[i] & 0xC0) != 0x80)
        return std::nullopt;
      value = (value << 6) | (data[i] & 0x3F);
    }
  }
  return std::make_pair(value, length);
}

size_t WriteCodedNumber(uint64_t value, uint8_t* out) {
  if (value < 0x80) {
    out[0] = static_cast<uint8_t>(value);
    return 1;
  }
  // Each continuation byte holds 6 bits; the first holds 6 - length bits (7 bytes: none).
  size_t length = 2;
  while (length < 7 && value >= (uint64_t{1} << (5 * length + 1)))
    ++length;
  for (size_t i = length - 1; i > 0; --i) {
    out[i] = static_cast<uint8_t>(0x80 | (value & 0x3F));
    value >>= 6;
  }
  out[0] = static_cast<uint8_t>((0xFF00u >> length) | value);
  return length;
}

}  // namespace

uint32_t TFlacFrameHeader::BitsPerSample() const {
  return kDepths[DepthCode & 7];
}

std::optional<TFlacFrameHeader> ParseFlacFrameHeader(const uint8_t* data, size_t size) {
  if (size < kFlacMinHeaderSize || data[0] != 0xFF || (data[1] & 0xFE) != 0xF8)
    return std::nullopt;
  TFlacFrameHeader h;
  h.VariableBlocksize = (data[1] & 1) != 0;
  h.BlockSizeCode = data[2] >> 4;
  h.RateCode = data[2] & 0x0F;
  h.ChannelAssignment = data[3] >> 4;
  h.DepthCode = (data[3] >> 1) & 7;
  if (h.BlockSizeCode == 0 || h.RateCode == 15 || h.ChannelAssignment > 10 || h.DepthCode == 3 ||
      (data[3] & 1) != 0)
    return std::nullopt;
  const auto number = ParseCodedNumber(data + 4, size - 4);
  if (!number)
    return std::nullopt;
  h.Number = number->first;
  if (h.Number > (h.VariableBlocksize ? kFlacMaxSampleNumber : kFlacMaxFrameNumber))
    return std::nullopt;
  size_t at = 4 + number->second;
  const auto take = [&](size_t bytes) -> std::optional<uint32_t> {
    if (at + bytes > size)
      return std::nullopt;
    uint32_t value = 0;
    for (size_t i = 0; i < bytes; ++i)
      value = (value << 8) | data[at + i];
    at += bytes;
    return value;
  };
  if (h.BlockSizeCode == 6 || h.BlockSizeCode == 7) {
    const auto stored = take(h.BlockSizeCode == 6 ? 1 : 2);
    if (!stored)
      return std::nullopt;
    h.BlockSize = *stored + 1;
  } else {
    h.BlockSize = FixedBlockSize(h.BlockSizeCode);
  }
  if (h.RateCode >= 12) {
    const auto stored = take(h.RateCode == 12 ? 1 : 2);
    if (!stored)
      return std::nullopt;
    h.SampleRate = h.RateCode == 12 ? *stored * 1000 : h.RateCode == 13 ? *stored : *stored * 10;
    if (h.SampleRate == 0)
      return std::nullopt;
  } else {
    h.SampleRate = kRates[h.RateCode];
  }
  if (at >= size || FlacCrc8(data, at) != data[at])
    return std::nullopt;
  h.Length = at + 1;
  return h;
}

size_t SerializeFlacFrameHeader(const TFlacFrameHeader& h,
                                std::array<uint8_t, kFlacMaxHeaderSize>& out) {
  if (h.Number > (h.VariableBlocksize ? kFlacMaxSampleNumber : kFlacMaxFrameNumber) ||
      h.BlockSizeCode == 0 || h.BlockSizeCode > 15 || h.RateCode >= 15 ||
      h.ChannelAssignment > 10 || h.DepthCode > 7 || h.DepthCode == 3 || h.BlockSize == 0 ||
      h.BlockSize > 65536)
    return 0;
  out[0] = 0xFF;
  out[1] = static_cast<uint8_t>(0xF8 | (h.VariableBlocksize ? 1 : 0));
  out[2] = static_cast<uint8_t>((h.BlockSizeCode << 4) | h.RateCode);
  out[3] = static_cast<uint8_t>((h.ChannelAssignment << 4) | (h.DepthCode << 1));
  size_t at = 4 + WriteCodedNumber(h.Number, out.data() + 4);
  const auto put = [&](uint32_t value, size_t bytes) {
    for (size_t i = bytes; i > 0; --i)
      out[at++] = static_cast<uint8_t>(value >> (8 * (i - 1)));
  };
  if (h.BlockSizeCode == 6)
    put(h.BlockSize - 1, 1);
  else if (h.BlockSizeCode == 7)
    put(h.BlockSize - 1, 2);
  if (h.RateCode == 12)
    put(h.SampleRate / 1000, 1);
  else if (h.RateCode == 13)
    put(h.SampleRate, 2);
  else if (h.RateCode == 14)
    put(h.SampleRate / 10, 2);
  out[at] = FlacCrc8(out.data(), at);
  return at + 1;
}

uint8_t BlockSizeCodeFor(uint32_t size) {
  for (uint8_t code = 1; code < 16; ++code) {
    if (FixedBlockSize(code) == size)
      return code;
  }
  return size <= 256 ? 6 : 7;
}

uint8_t FlacCrc8(const uint8_t* data, size_t size) {
  const auto& table = Tables().Crc8;
  uint8_t crc = 0;
  for (size_t i = 0; i < size; ++i)
    crc = table[crc ^ data[i]];
  return crc;
}

uint16_t FlacCrc16(uint16_t crc, const uint8_t* data, size_t size) {
  const auto& t = Tables().Slice;
  uint32_t c = crc;
  while (size >= 8) {
    c = t[7][data[0] ^ (c >> 8)] ^ t[6][data[1] ^ (c & 0xFF)] ^ t[5][data[2]] ^ t[4][data[3]] ^
        t[3][data[4]] ^ t[2][data[5]] ^ t[1][data[6]] ^ t[0][data[7]];
    data += 8;
    size -= 8;
  }
  while (size-- > 0)
    c = static_cast<uint16_t>(c << 8) ^ t[0][(c >> 8) ^ *data++];
  return static_cast<uint16_t>(c);
}

uint16_t FlacCrc16Zeros(uint16_t crc, uint64_t count) {
  const TCrcTables& tables = Tables();
  for (size_t k = 0; count != 0 && crc != 0; ++k, count >>= 1) {
    if ((count & 1) != 0)
      crc = TCrcTables::MultiplyMod(crc, tables.ZeroPowers[k]);
  }
  return crc;
}

}  // namespace zembrio
