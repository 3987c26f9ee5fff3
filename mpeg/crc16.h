// The CRC-16 of the LAME extension (polynomial 0x8005, bits reflected, from 0). The music
// CRC runs over every byte that a cut writes, so it must keep pace with the copy itself.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zembrio {

// Continues crc over size bytes at data: Crc16(Crc16(0, a), b) is the CRC of a then b.
uint16_t Crc16(uint16_t crc, const uint8_t* data, size_t size);

// The same with eight bytes a step through tables only, whatever the processor offers: the
// reference the faster path is checked against.
uint16_t Crc16Tables(uint16_t crc, const uint8_t* data, size_t size);

}  // namespace zembrio
