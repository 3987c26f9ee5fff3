#include "mpeg/crc16.h"

#include <array>
#include <cstring>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define ZEMBRIO_CRC_CLMUL 1
#endif

namespace zembrio {

namespace {

constexpr uint16_t kReflectedPolynomial = 0xA001;

struct TCrcTables {
  std::array<std::array<uint16_t, 256>, 8> T{};
  TCrcTables() {
    for (uint32_t b = 0; b < 256; ++b) {
      uint32_t crc = b;
      for (int bit = 0; bit < 8; ++bit)
        crc = (crc & 1) != 0 ? (crc >> 1) ^ kReflectedPolynomial : crc >> 1;
      T[0][b] = static_cast<uint16_t>(crc);
    }
    for (size_t k = 1; k < T.size(); ++k) {
      for (size_t b = 0; b < 256; ++b)
        T[k][b] = static_cast<uint16_t>((T[k - 1][b] >> 8) ^ T[0][T[k - 1][b] & 0xFF]);
    }
  }
};

const TCrcTables& Tables() {
  static const TCrcTables tables;
  return tables;
}

#ifdef ZEMBRIO_CRC_CLMUL

// x^n modulo the polynomial x^16 + x^15 + x^2 + 1, bit j holding the coefficient of x^j.
uint32_t PowerModPolynomial(int n) {
  uint32_t r = 1;
  for (int i = 0; i < n; ++i) {
    r <<= 1;
    if ((r & 0x10000) != 0)
      r ^= 0x18005;
  }
  return r;
}

// A polynomial of degree < 64 in the reflected order of the data: bit i holds x^(63 - i).
uint64_t Reflected64(uint32_t polynomial) {
  uint64_t r = 0;
  for (int j = 0; j < 32; ++j) {
    if ((polynomial >> j & 1) != 0)
      r |= uint64_t{1} << (63 - j);
  }
  return r;
}

// The constants that carry a 128-bit block d bits further down the message. A carry-less
// product of two reflected 64-bit values is their product times x, hence x^(d + 63) and
// x^(d - 1) for the halves' x^(d + 64) and x^d.
__attribute__((target("sse2"))) __m128i FoldConstants(int distance) {
  return _mm_set_epi64x(static_cast<long long>(Reflected64(PowerModPolynomial(distance - 1))),
                        static_cast<long long>(Reflected64(PowerModPolynomial(distance + 63))));
}

// x, sixteen bytes of the message read as one 128-bit value (its first byte the highest
// terms), moved down by the distance of constants and added to y: the result keeps the
// CRC of the whole and fits in 128 bits again.
__attribute__((target("pclmul,sse2"))) inline __m128i Fold(__m128i x, __m128i constants,
                                                           __m128i y) {
  const __m128i high = _mm_clmulepi64_si128(x, constants, 0x00);
  const __m128i low = _mm_clmulepi64_si128(x, constants, 0x11);
  return _mm_xor_si128(_mm_xor_si128(high, low), y);
}

__attribute__((target("sse2"))) inline __m128i Load(const uint8_t* data) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(data));
}

// Four blocks at a time in four independent chains, so that the multiplier never waits
// for its own result; the chains are folded into one at the end, and what is left of the
// message goes through the tables.
__attribute__((target("pclmul,sse2"))) uint16_t Crc16Folded(uint16_t crc, const uint8_t* data,
                                                            size_t size) {
  static const __m128i by128 = FoldConstants(128);
  static const __m128i by256 = FoldConstants(256);
  static const __m128i by384 = FoldConstants(384);
  static const __m128i by512 = FoldConstants(512);
  __m128i x0 = _mm_xor_si128(Load(data), _mm_cvtsi32_si128(crc));
  __m128i x1 = Load(data + 16);
  __m128i x2 = Load(data + 32);
  __m128i x3 = Load(data + 48);
  data += 64;
  size -= 64;
  for (; size >= 64; data += 64, size -= 64) {
    x0 = Fold(x0, by512, Load(data));
    x1 = Fold(x1, by512, Load(data + 16));
    x2 = Fold(x2, by512, Load(data + 32));
    x3 = Fold(x3, by512, Load(data + 48));
  }
  __m128i one = Fold(x0, by384, Fold(x1, by256, Fold(x2, by128, x3)));
  for (; size >= 16; data += 16, size -= 16)
    one = Fold(one, by128, Load(data));
  std::array<uint8_t, 16> folded;
  _mm_storeu_si128(reinterpret_cast<__m128i*>(folded.data()), one);
  return Crc16Tables(Crc16Tables(0, folded.data(), folded.size()), data, size);
}

bool HasCarrylessMultiply() {
  static const bool has = __builtin_cpu_supports("pclmul") != 0;
  return has;
}

#endif

}  // namespace

uint16_t Crc16Tables(uint16_t crc, const uint8_t* data, size_t size) {
  const auto& T = Tables().T;
  while (size >= 8) {
    uint64_t word;
    std::memcpy(&word, data, 8);
    if constexpr (__BYTE_ORDER__ == __ORDER_BIG_ENDIAN__)
      word = __builtin_bswap64(word);
    word ^= crc;
    crc = static_cast<uint16_t>(T[7][word & 0xFF] ^ T[6][(word >> 8) & 0xFF] ^
                                T[5][(word >> 16) & 0xFF] ^ T[4][(word >> 24) & 0xFF] ^
                                T[3][(word >> 32) & 0xFF] ^ T[2][(word >> 40) & 0xFF] ^
                                T[1][(word >> 48) & 0xFF] ^ T[0][word >> 56]);
    data += 8;
    size -= 8;
  }
  for (; size > 0; --size, ++data)
    crc = static_cast<uint16_t>((crc >> 8) ^ T[0][(crc ^ *data) & 0xFF]);
  return crc;
}

uint16_t Crc16(uint16_t crc, const uint8_t* data, size_t size) {
#ifdef ZEMBRIO_CRC_CLMUL
  // Folding pays from a few blocks on; a frame is hundreds of bytes.
  if (size >= 64 && HasCarrylessMultiply())
    return Crc16Folded(crc, data, size);
#endif
  return Crc16Tables(crc, data, size);
}

}  // namespace zembrio
