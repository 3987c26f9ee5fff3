#include "opus/opuswalk.h"

#include <ogg/ogg.h>

#include <algorithm>
#include <cstring>

namespace zembrio {

namespace {

// What is handed to libogg at a time: a few pages.
constexpr long kReadChunk = 1 << 16;

bool PageOpensOpus(const ogg_page& page) {
  return ogg_page_bos(&page) != 0 && page.body_len >= 8 &&
         std::memcmp(page.body, "OpusHead", 8) == 0;
}

}  // namespace

struct TOpusWalk::TOggState {
  ogg_sync_state Sync{};
  ogg_stream_state Stream{};
  bool StreamOpen = false;
  TOggState() { ogg_sync_init(&Sync); }
  ~TOggState() {
    if (StreamOpen)
      ogg_stream_clear(&Stream);
    ogg_sync_clear(&Sync);
  }
  TOggState(const TOggState&) = delete;
  TOggState& operator=(const TOggState&) = delete;
};

TOpusWalk::TOpusWalk(TInputFile& input) : input_(input), ogg_(std::make_unique<TOggState>()) {}

TOpusWalk::~TOpusWalk() = default;

// Pages of other streams (a picture stream beside the sound, garbage between pages) are
// passed over; libogg resynchronises on its own.
bool TOpusWalk::ReadPage() {
  ogg_page page;
  for (;;) {
    const int result = ogg_sync_pageout(&ogg_->Sync, &page);
    if (result < 0)
      continue;
    if (result == 0) {
      if (fileEnded_)
        return false;
      char* buffer = ogg_sync_buffer(&ogg_->Sync, kReadChunk);
      if (buffer == nullptr)
        return false;
      const size_t read = input_.Read(buffer, static_cast<size_t>(kReadChunk));
      ogg_sync_wrote(&ogg_->Sync, static_cast<long>(read));
      fileEnded_ = read == 0;
      continue;
    }
    if (streamEnded_) {
      // Only a new stream's first page can tell that a chain goes on.
      if (ogg_page_bos(&page) != 0) {
        chainFollows_ = true;
        return false;
      }
      continue;
    }
    if (!streamFound_ && PageOpensOpus(page)) {
      serial_ = static_cast<uint32_t>(ogg_page_serialno(&page));
      ogg_stream_init(&ogg_->Stream, ogg_page_serialno(&page));
      ogg_->StreamOpen = true;
      streamFound_ = true;
    }
    if (!streamFound_ || static_cast<uint32_t>(ogg_page_serialno(&page)) != serial_)
      continue;
    ogg_stream_pagein(&ogg_->Stream, &page);
    if (ogg_page_eos(&page) != 0)
      streamEnded_ = true;
    return true;
  }
}

bool TOpusWalk::ReadPacket(bool& hole) {
  ogg_packet packet;
  for (;;) {
    if (ogg_->StreamOpen) {
      const int result = ogg_stream_packetout(&ogg_->Stream, &packet);
      if (result < 0) {
        hole = true;
        return false;
      }
      if (result == 1) {
        ahead_.assign(packet.packet, packet.packet + packet.bytes);
        aheadGranule_ = packet.granulepos;
        aheadEos_ = packet.e_o_s != 0;
        return true;
      }
      if (streamEnded_)
        return false;
    }
    if (!ReadPage())
      return false;
  }
}

void TOpusWalk::LookForChain() {
  if (!streamEnded_)
    return;
  while (ReadPage()) {
  }
}

bool TOpusWalk::ReadHeaders() {
  bool hole = false;
  if (!ReadPacket(hole) || !streamFound_) {
    problem_ = "aucun flux Ogg Opus lisible";
    return false;
  }
  const auto head = ParseOpusHead(ahead_.data(), ahead_.size());
  if (!head) {
    problem_ = "en-tête OpusHead invalide";
    return false;
  }
  head_ = *head;
  if (!ReadPacket(hole) || !IsOpusTagsPacket(ahead_.data(), ahead_.size())) {
    problem_ = "en-tête OpusTags absent";
    return false;
  }
  tags_ = ahead_;
  haveAhead_ = ReadPacket(hole);
  if (hole)
    damagedAt_ = input_.Position();
  return true;
}

TOpusWalkResult TOpusWalk::Next(TOpusPacket& packet) {
  if (ended_)
    return TOpusWalkResult::End;
  if (!haveAhead_) {
    if (damagedAt_ >= 0)
      return TOpusWalkResult::Damaged;
    ended_ = true;
    LookForChain();
    return TOpusWalkResult::End;
  }
  current_.swap(ahead_);
  const int64_t granule = aheadGranule_;
  const bool eos = aheadEos_;
  const int32_t samples = OpusPacketSamples(current_.data(), current_.size());
  if (samples < 0) {
    haveAhead_ = false;
    damagedAt_ = input_.Position();
    return TOpusWalkResult::Damaged;
  }
  packet.Data = current_.data();
  packet.Size = current_.size();
  packet.Offset = offset_;
  packet.Samples = samples;
  offset_ += samples;
  if (granule >= 0) {
    // A first granule above the samples before it says the stream starts later than at
    // sample 0 (a stream cut out of a longer one); below them it says nothing usable.
    if (startGranule_ < 0)
      startGranule_ = granule >= offset_ ? granule - offset_ : 0;
    endGranule_ = granule;
  }
  bool hole = false;
  haveAhead_ = !eos && ReadPacket(hole);
  if (hole)
    damagedAt_ = input_.Position();
  packet.Last = !haveAhead_ && !hole;
  return TOpusWalkResult::Packet;
}

int64_t TOpusWalk::PlayedSamples() const {
  int64_t decoded = offset_;
  if (endGranule_ >= 0)
    decoded = std::clamp<int64_t>(endGranule_ - std::max<int64_t>(startGranule_, 0), 0, offset_);
  return std::max<int64_t>(0, decoded - head_.PreSkip);
}

}  // namespace zembrio
