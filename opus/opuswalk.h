// The walk over an Ogg Opus source: its pages, checked in large blocks, split into the
// packets of the first logical stream. The walk reads the two headers, then gives the audio
// packets one by one with their place in the stream, counted from their TOC; it reads one
// packet ahead, so that the stream's last packet comes marked as such and the stream's
// length is known by then. The first packet of a page that holds whole packets only comes
// with the page, which a fragment may take as it is.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/fileio.h"
#include "opus/oggpage.h"
#include "opus/opushead.h"

namespace zembrio {

struct TOpusPacket {
  const uint8_t* Data = nullptr;  // valid until the next call of Next
  size_t Size = 0;
  int64_t Offset = 0;  // decoded samples before it, the pre-skip included
  int32_t Samples = 0;
  bool Last = false;  // the stream's last packet: PlayedSamples() is known
  // On the first packet of a page that holds this packet and PagePackets - 1 whole ones
  // after it, and nothing else: the page (valid until the next call of Next) and the
  // decoded samples up to the end of its last packet.
  const TOggPage* Page = nullptr;
  int PagePackets = 0;
  int64_t PageEnd = 0;
  int64_t End() const { return Offset + Samples; }
};

enum class TOpusWalkResult { Packet, End, Damaged };

class TOpusWalk {
 public:
  explicit TOpusWalk(TInputFile& input);
  ~TOpusWalk();
  TOpusWalk(const TOpusWalk&) = delete;
  TOpusWalk& operator=(const TOpusWalk&) = delete;

  // Reads up to the first audio packet. False when the file holds no Ogg Opus stream that
  // can be copied; Problem() says why.
  bool ReadHeaders();
  const std::string& Problem() const { return problem_; }
  const TOpusHead& Head() const { return head_; }
  // The comment header as it came, "OpusTags" included.
  const std::vector<uint8_t>& TagsPacket() const { return tags_; }
  uint32_t Serial() const { return serial_; }
  // True when the file's last page belongs to a stream that started after this one: a
  // chain of links, of which the walk reads only the first.
  bool ChainedFile() const;

  // The next audio packet. Damaged when a packet is not Opus or pages are missing (a hole
  // in the page sequence): positions after it could not be trusted.
  TOpusWalkResult Next(TOpusPacket& packet);
  // Where the damage lies: the byte reached in the source.
  int64_t DamagedAt() const { return damagedAt_; }

  // The stream's length as it plays (the pre-skip dropped, the end trimmed by the last
  // granule). Final once the last packet was handed out; until then, what was read so far.
  int64_t PlayedSamples() const;
  // After the end: another stream follows in the file (a chain of links).
  bool ChainFollows() const { return chainFollows_; }
  // Bytes of the file read so far.
  int64_t Position() const { return reader_.Position(); }

 private:
  // A packet in the reader's buffer or, when it spans pages or its page is about to go, in
  // a buffer of the walk's.
  struct TRawPacket {
    const uint8_t* Data = nullptr;
    size_t Size = 0;
    int32_t Samples = -1;     // when its page was measured; -1: not yet counted
    int64_t Granule = -1;     // of its page when it is the last packet that ends there
    bool Eos = false;         // the last packet of the stream's last page
    int64_t PageNumber = -1;  // the reader's page that holds it; -1 when the walk holds it
    // The first packet of a page of whole packets: the page, its packets and their samples
    // (-1 when one of them is no Opus packet).
    bool OpensPage = false;
    TOggPage Page;
    int PagePackets = 0;
    int64_t PageSamples = -1;
  };

  // The next packet of the stream into ahead_; false at the stream's end.
  bool ReadPacket(bool& hole);
  bool ReadPage(bool& hole);
  // Starts splitting a page of the stream into packets.
  void TakePage(const TOggPage& page, bool& hole);
  // Counts the whole packets of the page in hand and their samples.
  void MeasurePage();
  // Moves the packet handed out last into the walk's buffer: its page is about to go.
  void KeepCurrent();
  // Reads on after the stream's end to learn whether another stream begins.
  void LookForChain();

  TInputFile& input_;
  TOggPageReader reader_;
  int64_t pagesRead_ = 0;  // pages the reader gave, of any stream
  std::string problem_;
  TOpusHead head_;
  std::vector<uint8_t> tags_;
  uint32_t serial_ = 0;
  std::vector<uint32_t> openingSerials_;  // of the streams whose first pages open the file
  bool openingDone_ = false;
  bool streamFound_ = false;
  bool streamEnded_ = false;  // the stream's EOS page was read
  bool chainFollows_ = false;
  // The stream's page being split into packets.
  TOggPage page_;
  int64_t pageNumber_ = -1;
  int segment_ = 0;    // its next lacing value
  size_t bodyAt_ = 0;  // where its next packet starts in its body
  bool pageWhole_ = false;
  std::vector<int32_t> packetSamples_;  // of the page's packets, when it was measured
  size_t pagePacketsOut_ = 0;           // packets of the page read so far
  int pagePackets_ = 0;
  int64_t pageSamples_ = -1;
  int64_t lastSequence_ = -1;
  std::vector<uint8_t> partial_;  // a packet that goes on onto the next page
  bool partialOpen_ = false;
  // The packet read ahead and the one handed out last.
  TRawPacket ahead_;
  std::vector<uint8_t> aheadStore_;
  bool haveAhead_ = false;
  TRawPacket current_;
  std::vector<uint8_t> currentStore_;
  int64_t offset_ = 0;         // decoded samples of the packets handed out
  int64_t startGranule_ = -1;  // the stream's first sample, from its first granule
  int64_t endGranule_ = -1;    // the latest granule of a page whose packets were handed out
  bool ended_ = false;
  int64_t damagedAt_ = -1;
};

}  // namespace zembrio
