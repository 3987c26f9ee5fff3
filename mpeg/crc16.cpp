#include "mpeg/crc16.h"

#include <algorithm>
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

struct TFoldConstants {
  __m128i By128 = FoldConstants(128);
  __m128i By256 = FoldConstants(256);
  __m128i By384 = FoldConstants(384);
  __m128i By512 = FoldConstants(512);
  __m128i By1024 = FoldConstants(1024);
};

// Worked out once at start (with SSE2 only, which every x86-64 processor has) rather than
// behind a guard at every call.
const TFoldConstants kFold;

const TFoldConstants& Constants() {
  return kFold;
}

// Four blocks at a time in four independent chains, so that the multiplier never waits
// for its own result. lanes holds the chains between calls: the first 64 bytes of the
// message at first, then the message so far folded into them.
__attribute__((target("pclmul,sse2"))) void FoldBlocks(uint8_t* lanes, const uint8_t* data,
                                                       size_t blocks) {
  const __m128i by512 = Constants().By512;
  __m128i x0 = Load(lanes);
  __m128i x1 = Load(lanes + 16);
  __m128i x2 = Load(lanes + 32);
  __m128i x3 = Load(lanes + 48);
  for (; blocks > 0; --blocks, data += 64) {
    x0 = Fold(x0, by512, Load(data));
    x1 = Fold(x1, by512, Load(data + 16));
    x2 = Fold(x2, by512, Load(data + 32));
    x3 = Fold(x3, by512, Load(data + 48));
  }
  _mm_storeu_si128(reinterpret_cast<__m128i*>(lanes), x0);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(lanes + 16), x1);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(lanes + 32), x2);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(lanes + 48), x3);
}

// The same four chains side by side in one 512-bit register, where the processor multiplies
// four pairs at once: a quarter of the instructions. Two such registers take alternate
// blocks, so that neither waits for its own result; the second is one block behind.
__attribute__((target("avx512f,vpclmulqdq"))) inline __m512i FoldWide(__m512i x, __m512i constants,
                                                                      __m512i y) {
  const __m512i high = _mm512_clmulepi64_epi128(x, constants, 0x00);
  const __m512i low = _mm512_clmulepi64_epi128(x, constants, 0x11);
  return _mm512_xor_si512(_mm512_xor_si512(high, low), y);
}

// The constants of one 128-bit lane in all four.
__attribute__((target("avx512f"))) __m512i InEveryLane(__m128i constants) {
  alignas(16) uint64_t halves[2];
  _mm_store_si128(reinterpret_cast<__m128i*>(halves), constants);
  return _mm512_set4_epi64(static_cast<long long>(halves[1]), static_cast<long long>(halves[0]),
                           static_cast<long long>(halves[1]), static_cast<long long>(halves[0]));
}

__attribute__((target("avx512f,vpclmulqdq"))) void FoldBlocksWide(uint8_t* lanes,
                                                                  const uint8_t* data,
                                                                  size_t blocks) {
  const __m512i by512 = InEveryLane(Constants().By512);
  __m512i x = _mm512_loadu_si512(lanes);
  if (blocks >= 2) {
    const __m512i by1024 = InEveryLane(Constants().By1024);
    __m512i y = _mm512_loadu_si512(data);
    data += 64;
    --blocks;
    for (; blocks >= 2; blocks -= 2, data += 128) {
      x = FoldWide(x, by1024, _mm512_loadu_si512(data));
      y = FoldWide(y, by1024, _mm512_loadu_si512(data + 64));
    }
    x = FoldWide(x, by512, y);
  }
  for (; blocks > 0; --blocks, data += 64)
    x = FoldWide(x, by512, _mm512_loadu_si512(data));
  _mm512_storeu_si512(lanes, x);
}

bool HasWideCarrylessMultiply() {
  static const bool has =
      __builtin_cpu_supports("avx512f") != 0 && __builtin_cpu_supports("vpclmulqdq") != 0;
  return has;
}

void FoldAny(uint8_t* lanes, const uint8_t* data, size_t blocks) {
  if (HasWideCarrylessMultiply()) {
    FoldBlocksWide(lanes, data, blocks);
  } else {
    FoldBlocks(lanes, data, blocks);
  }
}

// The CRC of the message folded into lanes followed by size more bytes (fewer than 64):
// the chains are folded into one, and what is left goes through the tables.
__attribute__((target("pclmul,sse2"))) uint16_t FinishLanes(const uint8_t* lanes,
                                                            const uint8_t* rest, size_t size) {
  const TFoldConstants& by = Constants();
  __m128i one =
      Fold(Load(lanes), by.By384,
           Fold(Load(lanes + 16), by.By256, Fold(Load(lanes + 32), by.By128, Load(lanes + 48))));
  for (; size >= 16; rest += 16, size -= 16)
    one = Fold(one, by.By128, Load(rest));
  std::array<uint8_t, 16> folded;
  _mm_storeu_si128(reinterpret_cast<__m128i*>(folded.data()), one);
  return Crc16Tables(Crc16Tables(0, folded.data(), folded.size()), rest, size);
}

// A CRC register's start value is the same as that value added to the first two bytes.
void StartLanes(uint8_t* lanes, uint16_t crc, const uint8_t* first) {
  std::memcpy(lanes, first, TCrc16Stream::kBlock);
  lanes[0] = static_cast<uint8_t>(lanes[0] ^ (crc & 0xFF));
  lanes[1] = static_cast<uint8_t>(lanes[1] ^ (crc >> 8));
}

uint16_t Crc16Folded(uint16_t crc, const uint8_t* data, size_t size) {
  std::array<uint8_t, TCrc16Stream::kBlock> lanes;
  StartLanes(lanes.data(), crc, data);
  const size_t blocks = size / TCrc16Stream::kBlock - 1;
  FoldAny(lanes.data(), data + TCrc16Stream::kBlock, blocks);
  const size_t done = (blocks + 1) * TCrc16Stream::kBlock;
  return FinishLanes(lanes.data(), data + done, size - done);
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

void TCrc16Stream::Add(const uint8_t* data, size_t size) {
  if (size == 0)  // a frame's second piece may be none at all, without an address
    return;
#ifdef ZEMBRIO_CRC_CLMUL
  if (HasCarrylessMultiply()) {
    AddFolding(data, size);
    return;
  }
#endif
  crc_ = Crc16Tables(crc_, data, size);
}

uint16_t TCrc16Stream::Value() const {
#ifdef ZEMBRIO_CRC_CLMUL
  if (HasCarrylessMultiply()) {
    if (!started_)
      return Crc16Tables(0, pending_.data(), pendingSize_);
    return FinishLanes(lanes_.data(), pending_.data(), pendingSize_);
  }
#endif
  return crc_;
}

#ifdef ZEMBRIO_CRC_CLMUL
// Whole 64-byte blocks are folded straight from the caller's bytes; only the pieces of a
// block that straddles two calls are gathered first.
void TCrc16Stream::AddFolding(const uint8_t* data, size_t size) {
  if (pendingSize_ > 0 || size < kBlock) {
    const size_t take = std::min(size, kBlock - pendingSize_);
    std::memcpy(pending_.data() + pendingSize_, data, take);
    pendingSize_ += take;
    data += take;
    size -= take;
    if (pendingSize_ < kBlock)
      return;
    AddBlocks(pending_.data(), 1);
    pendingSize_ = 0;
  }
  const size_t blocks = size / kBlock;
  AddBlocks(data, blocks);
  data += blocks * kBlock;
  size -= blocks * kBlock;
  std::memcpy(pending_.data(), data, size);
  pendingSize_ = size;
}

void TCrc16Stream::AddBlocks(const uint8_t* data, size_t blocks) {
  if (blocks == 0)
    return;
  if (!started_) {
    StartLanes(lanes_.data(), 0, data);
    started_ = true;
    data += kBlock;
    --blocks;
  }
  FoldAny(lanes_.data(), data, blocks);
}
#endif

}  // namespace zembrio
