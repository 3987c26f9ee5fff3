#include "opus/opushead.h"

#include <opus/opus.h>

#include <climits>
#include <cstring>

namespace zembrio {

namespace {

constexpr size_t kHeadMinimum = 19;  // without a channel mapping table
constexpr int32_t kMaxPacketSamples = kOpusRate * 120 / 1000;

uint16_t Le16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t Le32(const uint8_t* p) {
  return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

bool StartsWith(const uint8_t* data, size_t size, const char* magic) {
  const size_t length = std::strlen(magic);
  return size >= length && std::memcmp(data, magic, length) == 0;
}

}  // namespace

std::optional<TOpusHead> ParseOpusHead(const uint8_t* packet, size_t size) {
  if (size < kHeadMinimum || !StartsWith(packet, size, "OpusHead"))
    return std::nullopt;
  TOpusHead head;
  head.Version = packet[8];
  head.Channels = packet[9];
  head.PreSkip = Le16(packet + 10);
  head.InputRate = Le32(packet + 12);
  head.OutputGain = static_cast<int16_t>(Le16(packet + 16));
  head.MappingFamily = packet[18];
  // Versions 16 and up break what a reader of version 0 may assume.
  if ((head.Version & 0xF0) != 0 || head.Channels == 0)
    return std::nullopt;
  // Beyond family 0 the header carries a table: stream count, coupled count, one byte a
  // channel. Its absence would leave a decoder without a mapping.
  if (head.MappingFamily != 0 && size < kHeadMinimum + 2 + size_t{head.Channels})
    return std::nullopt;
  head.Packet.assign(packet, packet + size);
  return head;
}

std::vector<uint8_t> OpusHeadWithPreSkip(const TOpusHead& head, uint16_t preSkip) {
  std::vector<uint8_t> packet = head.Packet;
  packet[10] = static_cast<uint8_t>(preSkip & 0xFF);
  packet[11] = static_cast<uint8_t>(preSkip >> 8);
  return packet;
}

bool IsOpusTagsPacket(const uint8_t* packet, size_t size) {
  return StartsWith(packet, size, "OpusTags");
}

int32_t OpusPacketSamples(const uint8_t* packet, size_t size) {
  if (size == 0 || size > static_cast<size_t>(INT_MAX))
    return -1;
  const int samples = opus_packet_get_nb_samples(packet, static_cast<opus_int32>(size), kOpusRate);
  if (samples <= 0 || samples > kMaxPacketSamples)
    return -1;
  return samples;
}

}  // namespace zembrio
