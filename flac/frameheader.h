// The header that opens every FLAC frame and the two CRCs that guard a frame. A cut reads
// a header, gives it the number of its place in the track and writes it back; the frame's
// body is never read twice: its CRC-16 is carried over to the new header.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace zembrio {

// The longest header: sync and codes (4 bytes), a 36-bit number (7 bytes), a 16-bit block
// size, a 16-bit rate and the CRC-8.
constexpr size_t kFlacMaxHeaderSize = 16;
// The shortest: codes, a one-byte number and the CRC-8.
constexpr size_t kFlacMinHeaderSize = 6;
constexpr uint64_t kFlacMaxSampleNumber = (uint64_t{1} << 36) - 1;
constexpr uint64_t kFlacMaxFrameNumber = (uint64_t{1} << 31) - 1;

struct TFlacFrameHeader {
  bool VariableBlocksize = false;  // the number is the first sample's, not the frame's
  uint8_t BlockSizeCode = 0;       // 1..15 (0 is reserved)
  uint32_t BlockSize = 0;          // samples per channel
  uint8_t RateCode = 0;            // 0: STREAMINFO's rate; 15 is invalid
  uint32_t SampleRate = 0;         // 0 with RateCode 0
  uint8_t ChannelAssignment = 0;   // 0..7 independent, 8..10 stereo decorrelation
  uint8_t DepthCode = 0;           // 0: STREAMINFO's depth; 3 is reserved
  uint64_t Number = 0;             // frame number or first sample number
  size_t Length = 0;               // bytes, CRC-8 included

  uint32_t Channels() const { return ChannelAssignment < 8 ? ChannelAssignment + 1u : 2u; }
  // Bits per sample the header states; 0 when it leaves them to STREAMINFO.
  uint32_t BitsPerSample() const;
};

// Parses the header at data (size bytes available); nullopt when the bytes are not a valid
// header or its CRC-8 does not match.
std::optional<TFlacFrameHeader> ParseFlacFrameHeader(const uint8_t* data, size_t size);

// Writes header (its codes and number as they are) to out with a fresh CRC-8; returns its
// length. Fails (0) when the number does not fit its kind or the codes are invalid.
size_t SerializeFlacFrameHeader(const TFlacFrameHeader& header,
                                std::array<uint8_t, kFlacMaxHeaderSize>& out);

// The block size code that states size most briefly (an uncommon size in one or two bytes).
uint8_t BlockSizeCodeFor(uint32_t size);

// CRC-8, polynomial x^8 + x^2 + x + 1, from 0.
uint8_t FlacCrc8(const uint8_t* data, size_t size);
// CRC-16, polynomial x^16 + x^15 + x^2 + 1, from 0, unreflected: continues crc over data.
uint16_t FlacCrc16(uint16_t crc, const uint8_t* data, size_t size);
// The CRC of bytes whose CRC is crc, followed by count zero bytes. With it, the CRC of a
// header and a body is FlacCrc16Zeros(crc(header), size(body)) ^ crc(body).
uint16_t FlacCrc16Zeros(uint16_t crc, uint64_t count);
// The CRC of a then b, from the CRCs of each and the length of b.
inline uint16_t FlacCrc16Combine(uint16_t crcA, uint16_t crcB, uint64_t sizeB) {
  return static_cast<uint16_t>(FlacCrc16Zeros(crcA, sizeB) ^ crcB);
}

}  // namespace zembrio
