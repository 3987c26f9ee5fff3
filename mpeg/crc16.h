// The CRC-16 of the LAME extension (polynomial 0x8005, bits reflected, from 0). The music
// CRC runs over every byte that a cut writes, so it must keep pace with the copy itself.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace zembrio {

// Continues crc over size bytes at data: Crc16(Crc16(0, a), b) is the CRC of a then b.
uint16_t Crc16(uint16_t crc, const uint8_t* data, size_t size);

// The same with eight bytes a step through tables only, whatever the processor offers: the
// reference the faster path is checked against.
uint16_t Crc16Tables(uint16_t crc, const uint8_t* data, size_t size);

// The CRC of a long stream of bytes that comes in short pieces (a file's frames), kept
// folded between the pieces so that the fast path starts and ends once, not per piece.
class TCrc16Stream {
 public:
  static constexpr size_t kBlock = 64;  // what one step of the fast path takes

  void Add(const uint8_t* data, size_t size);
  uint16_t Value() const;

 private:
  void AddFolding(const uint8_t* data, size_t size);
  void AddBlocks(const uint8_t* data, size_t blocks);

  std::array<uint8_t, kBlock> lanes_{};    // the stream so far, folded into 64 bytes
  std::array<uint8_t, kBlock> pending_{};  // a block not yet whole
  size_t pendingSize_ = 0;
  bool started_ = false;  // lanes_ hold the first block
  uint16_t crc_ = 0;      // without the fast path: the CRC so far
};

}  // namespace zembrio
