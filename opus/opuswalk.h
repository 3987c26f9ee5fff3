// The walk over an Ogg Opus source: pages read through the program's buffered reader and
// handed to libogg, which puts the packets of the first logical stream back together. The
// walk reads the two headers, then gives the audio packets one by one with their place in
// the stream, counted from their TOC; it reads one packet ahead, so that the stream's last
// packet comes marked as such and the stream's length is known by then.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/fileio.h"
#include "opus/opushead.h"

namespace zembrio {

struct TOpusPacket {
  const uint8_t* Data = nullptr;  // valid until the next call of Next
  size_t Size = 0;
  int64_t Offset = 0;  // decoded samples before it, the pre-skip included
  int32_t Samples = 0;
  bool Last = false;  // the stream's last packet: PlayedSamples() is known
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
  int64_t Position() const { return input_.Position(); }

 private:
  struct TOggState;

  // The next packet of the stream into packet_; false at the stream's end.
  bool ReadPacket(bool& hole);
  bool ReadPage();
  // Reads on after the stream's end to learn whether another stream begins.
  void LookForChain();
  // Takes the packet libogg gives as the one read ahead.
  bool TakeAhead();

  TInputFile& input_;
  std::unique_ptr<TOggState> ogg_;
  std::string problem_;
  TOpusHead head_;
  std::vector<uint8_t> tags_;
  uint32_t serial_ = 0;
  bool streamFound_ = false;
  bool streamEnded_ = false;  // the stream's EOS page was read
  bool fileEnded_ = false;
  bool chainFollows_ = false;
  // The packet read ahead and the one handed out last.
  std::vector<uint8_t> ahead_;
  bool haveAhead_ = false;
  std::vector<uint8_t> current_;
  int64_t aheadGranule_ = -1;  // the granule of the page the packet read ahead ends
  bool aheadEos_ = false;
  int64_t offset_ = 0;         // decoded samples of the packets handed out
  int64_t startGranule_ = -1;  // the stream's first sample, from its first granule
  int64_t endGranule_ = -1;    // the latest granule of a page whose packets were handed out
  bool ended_ = false;
  int64_t damagedAt_ = -1;
};

}  // namespace zembrio
