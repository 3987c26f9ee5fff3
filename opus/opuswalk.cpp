#include "opus/opuswalk.h"

#include <algorithm>
#include <cstring>

namespace zembrio {

namespace {

bool PageOpensOpus(const TOggPage& page) {
  return page.First() && page.BodySize >= 8 && std::memcmp(page.Body(), "OpusHead", 8) == 0;
}

}  // namespace

TOpusWalk::TOpusWalk(TInputFile& input) : input_(input), reader_(input) {}

TOpusWalk::~TOpusWalk() = default;

// Pages of other streams (a picture stream beside the sound) are passed over.
bool TOpusWalk::ReadPage(bool& hole) {
  TOggPage page;
  for (;;) {
    // The reader keeps only the page it gave last in place.
    if (current_.PageNumber >= 0 && current_.PageNumber != pagesRead_)
      KeepCurrent();
    if (!reader_.Next(page))
      return false;
    ++pagesRead_;
    if (streamEnded_) {
      // Only a new stream's first page can tell that a chain goes on.
      if (page.First()) {
        chainFollows_ = true;
        return false;
      }
      continue;
    }
    if (!openingDone_) {
      if (page.First())
        openingSerials_.push_back(page.Serial());
      else
        openingDone_ = true;
    }
    if (!streamFound_ && PageOpensOpus(page)) {
      serial_ = page.Serial();
      streamFound_ = true;
    }
    if (!streamFound_ || page.Serial() != serial_)
      continue;
    TakePage(page, hole);
    return true;
  }
}

// A page missing from the sequence, or a packet whose rest never came, loses packets:
// positions after it could not be trusted.
void TOpusWalk::TakePage(const TOggPage& page, bool& hole) {
  if (lastSequence_ >= 0 && page.Sequence() != static_cast<uint32_t>(lastSequence_ + 1))
    hole = true;
  if (partialOpen_ && !page.Continued())
    hole = true;
  if (hole)
    damagedAt_ = page.Position;
  lastSequence_ = page.Sequence();
  page_ = page;
  pageNumber_ = pagesRead_;
  segment_ = 0;
  bodyAt_ = 0;
  pagePacketsOut_ = 0;
  if (page.Last())
    streamEnded_ = true;
  // The rest of a packet whose start is not in the stream (its first page) is passed over.
  if (page.Continued() && !partialOpen_) {
    while (segment_ < page.Segments()) {
      const uint8_t lacing = page.Lacing()[segment_++];
      bodyAt_ += lacing;
      if (lacing < 255)
        break;
    }
  }
  MeasurePage();
}

void TOpusWalk::MeasurePage() {
  const int segments = page_.Segments();
  pageWhole_ = !page_.Continued() && segments > 0 && page_.Lacing()[segments - 1] < 255;
  pagePackets_ = 0;
  pageSamples_ = 0;
  packetSamples_.clear();
  if (!pageWhole_)
    return;
  size_t start = 0;
  size_t size = 0;
  for (int i = 0; i < segments; ++i) {
    size += page_.Lacing()[i];
    if (page_.Lacing()[i] == 255)
      continue;
    const int32_t samples = OpusPacketSamples(page_.Body() + start, size);
    packetSamples_.push_back(samples);
    if (samples < 0) {
      pageSamples_ = -1;
      return;
    }
    pageSamples_ += samples;
    ++pagePackets_;
    start += size;
    size = 0;
  }
}

void TOpusWalk::KeepCurrent() {
  currentStore_.assign(current_.Data, current_.Data + current_.Size);
  current_.Data = currentStore_.data();
  current_.PageNumber = -1;
  current_.OpensPage = false;
}

bool TOpusWalk::ReadPacket(bool& hole) {
  for (;;) {
    const int segments = pageNumber_ >= 0 ? page_.Segments() : 0;
    if (segment_ < segments) {
      const bool opensPage = segment_ == 0 && pageWhole_;
      const uint8_t* data = page_.Body() + bodyAt_;
      size_t size = 0;
      bool ended = false;
      while (segment_ < segments && !ended) {
        const uint8_t lacing = page_.Lacing()[segment_++];
        size += lacing;
        ended = lacing < 255;
      }
      bodyAt_ += size;
      if (partialOpen_ || !ended) {
        partial_.insert(partial_.end(), data, data + size);
        partialOpen_ = !ended;
        if (!ended)
          continue;
        aheadStore_.swap(partial_);
        partial_.clear();
        ahead_.Data = aheadStore_.data();
        ahead_.Size = aheadStore_.size();
        ahead_.PageNumber = -1;
      } else {
        ahead_.Data = data;
        ahead_.Size = size;
        ahead_.PageNumber = pageNumber_;
      }
      // As libogg gives packets: the page's granule on the last packet that ends on it.
      bool endsLater = false;
      for (int i = segment_; i < segments && !endsLater; ++i)
        endsLater = page_.Lacing()[i] < 255;
      ahead_.Granule = endsLater ? -1 : page_.Granule();
      ahead_.Samples = pageWhole_ && pagePacketsOut_ < packetSamples_.size()
                           ? packetSamples_[pagePacketsOut_]
                           : -1;
      ++pagePacketsOut_;
      ahead_.Eos = page_.Last() && segment_ == segments;
      ahead_.OpensPage = opensPage;
      ahead_.Page = page_;
      ahead_.PagePackets = pagePackets_;
      ahead_.PageSamples = pageSamples_;
      return true;
    }
    if (streamEnded_ || !ReadPage(hole) || hole)
      return false;
  }
}

void TOpusWalk::LookForChain() {
  if (!streamEnded_)
    return;
  bool hole = false;
  while (ReadPage(hole)) {
  }
}

bool TOpusWalk::ChainedFile() const {
  const std::optional<uint32_t> last = LastOggPageSerial(input_.Path());
  return last &&
         std::find(openingSerials_.begin(), openingSerials_.end(), *last) == openingSerials_.end();
}

bool TOpusWalk::ReadHeaders() {
  bool hole = false;
  if (!ReadPacket(hole) || !streamFound_) {
    problem_ = "aucun flux Ogg Opus lisible";
    return false;
  }
  const auto head = ParseOpusHead(ahead_.Data, ahead_.Size);
  if (!head) {
    problem_ = "en-tête OpusHead invalide";
    return false;
  }
  head_ = *head;
  if (!ReadPacket(hole) || !IsOpusTagsPacket(ahead_.Data, ahead_.Size)) {
    problem_ = "en-tête OpusTags absent";
    return false;
  }
  tags_.assign(ahead_.Data, ahead_.Data + ahead_.Size);
  haveAhead_ = ReadPacket(hole);
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
  std::swap(current_, ahead_);
  currentStore_.swap(aheadStore_);
  const int32_t samples =
      current_.Samples >= 0 ? current_.Samples : OpusPacketSamples(current_.Data, current_.Size);
  if (samples < 0) {
    haveAhead_ = false;
    damagedAt_ = current_.PageNumber >= 0 ? current_.Page.Position : reader_.Position();
    return TOpusWalkResult::Damaged;
  }
  packet.Offset = offset_;
  packet.Samples = samples;
  packet.PageEnd = offset_ + current_.PageSamples;
  offset_ += samples;
  if (current_.Granule >= 0) {
    // A first granule above the samples before it says the stream starts later than at
    // sample 0 (a stream cut out of a longer one); below them it says nothing usable.
    if (startGranule_ < 0)
      startGranule_ = current_.Granule >= offset_ ? current_.Granule - offset_ : 0;
    endGranule_ = current_.Granule;
  }
  bool hole = false;
  haveAhead_ = !current_.Eos && ReadPacket(hole);
  packet.Last = !haveAhead_ && !hole;
  // Read only now: reading ahead may have moved the packet out of the reader's buffer.
  packet.Data = current_.Data;
  packet.Size = current_.Size;
  const bool page = current_.OpensPage && current_.PageSamples >= 0;
  packet.Page = page ? &current_.Page : nullptr;
  packet.PagePackets = page ? current_.PagePackets : 0;
  return TOpusWalkResult::Packet;
}

int64_t TOpusWalk::PlayedSamples() const {
  int64_t decoded = offset_;
  if (endGranule_ >= 0)
    decoded = std::clamp<int64_t>(endGranule_ - std::max<int64_t>(startGranule_, 0), 0, offset_);
  return std::max<int64_t>(0, decoded - head_.PreSkip);
}

}  // namespace zembrio
