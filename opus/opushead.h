// The two headers that open every Ogg Opus stream, and the length of its audio packets:
// pure functions over bytes, shared by the page walk, the cut and the fuzz target.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace zembrio {

// Opus always plays at 48 kHz, whatever rate the encoder was given: granule positions,
// the pre-skip and the cut's positions count samples at this rate.
constexpr int32_t kOpusRate = 48000;
// The pre-skip is a 16-bit field: no fragment may ask its decoder to drop more.
constexpr int64_t kOpusMaxPreSkip = 65535;

// The identification header "OpusHead" (its first packet).
struct TOpusHead {
  uint8_t Version = 0;
  uint8_t Channels = 0;
  uint16_t PreSkip = 0;    // samples the decoder drops at the start
  uint32_t InputRate = 0;  // what the encoder was given; informative only
  int16_t OutputGain = 0;  // Q7.8 dB
  uint8_t MappingFamily = 0;
  std::vector<uint8_t> Packet;  // the header as it came, mapping table included
};

// The header when packet is one this program can copy: magic, a version of the major
// version 0 and at least one channel; nullopt otherwise.
std::optional<TOpusHead> ParseOpusHead(const uint8_t* packet, size_t size);

// The header packet with another pre-skip, every other byte as it came.
std::vector<uint8_t> OpusHeadWithPreSkip(const TOpusHead& head, uint16_t preSkip);

// True when packet opens with the comment header's magic "OpusTags".
bool IsOpusTagsPacket(const uint8_t* packet, size_t size);

// The samples (at 48 kHz) that an audio packet decodes to, read from its TOC byte and frame
// count; -1 for a packet that is not valid Opus (empty, a bad frame count, over 120 ms).
int32_t OpusPacketSamples(const uint8_t* packet, size_t size);

}  // namespace zembrio
