// The Opus page and packet walk over any bytes: either the input as a file, or the input
// read as packets and granules put into well-formed pages (so that the walk's own checks,
// not the page CRC, meet the odd values), with one byte of the result changed. Every page
// the reader gives is rewritten as a fragment's copy is, and must keep a CRC that holds.
#include <endian.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzzinput.h"
#include "opus/oggpage.h"
#include "opus/opustags.h"
#include "opus/opuswalk.h"
#include "opus/opuswriter.h"

using namespace zembrio;

namespace {

// A stream of the packets the input describes: a length byte, then the bytes, each packet
// ending at a granule taken from the next two bytes.
void WritePaged(const uint8_t* data, size_t size, const std::string& path) {
  if (size < 4) {
    // Too short to describe a stream: the bytes as they are, so that the walk never reads
    // the file an earlier input left.
    fuzz::WriteBytes(path, data, size);
    return;
  }
  const std::vector<uint8_t> head = {'O',     'p',     'u',  's',  'H', 'e', 'a', 'd', 1, data[0],
                                     data[1], data[2], 0x80, 0xBB, 0,   0,   0,   0,   0};
  size_t at = 4;
  const size_t tagLength = std::min<size_t>(data[3], size - at);
  // Sized first, then filled: GCC 12 warns falsely about an insert after a short list.
  std::vector<uint8_t> tags(8 + tagLength);
  std::memcpy(tags.data(), "OpusTags", 8);
  std::copy(data + at, data + at + tagLength, tags.begin() + 8);
  at += tagLength;
  TOpusFragmentWriter writer(1, head, tags);
  writer.Open(path);
  int64_t granule = 0;
  while (at + 3 <= size) {
    const size_t length = std::min<size_t>(data[at], size - at - 3);
    granule += data[at + 1] | (data[at + 2] << 8);
    at += 3;
    const bool last = at + length >= size;
    writer.AddPacket(data + at, length, granule, last);
    at += length;
  }
  writer.Finish();
}

// Each page rewritten with fields taken from its own bytes; the page given before it is
// still in place.
void RewritePages(const std::string& path) {
  TInputFile input(path);
  TOggPageReader reader(input);
  TOggPage page;
  TOggPage before;
  std::vector<uint8_t> copy;
  while (reader.Next(page)) {
    fuzz::Check(page.Size() <= kOggMaxPage, "a page is no larger than a page can be");
    if (before.Bytes != nullptr) {
      copy.assign(before.Bytes, before.Bytes + before.Size());
      uint32_t stored = 0;
      std::memcpy(&stored, copy.data() + 22, 4);
      fuzz::Check(OggPageCrc(copy.data(), copy.size()) == le32toh(stored),
                  "the page given before stays in place");
    }
    copy.assign(page.Bytes, page.Bytes + page.Size());
    const TOggPageFields fields{static_cast<uint8_t>(page.Bytes[page.Size() - 1] & 7),
                                page.Granule() ^ static_cast<int64_t>(page.Size()),
                                page.Sequence() * 31u, page.Serial() + 1};
    RewriteOggHeader(copy.data(), page.HeaderSize, page.BodySize, fields);
    uint32_t stored = 0;
    std::memcpy(&stored, copy.data() + 22, 4);
    fuzz::Check(OggPageCrc(copy.data(), copy.size()) == le32toh(stored),
                "a rewritten page's CRC holds");
    before = page;
  }
}

void Walk(const std::string& path) {
  TInputFile input(path);
  TOpusWalk walk(input);
  if (!walk.ReadHeaders())
    return;
  FragmentOpusTags(walk.TagsPacket(), nullptr);
  TOpusPacket packet;
  int64_t end = 0;
  bool last = false;
  while (walk.Next(packet) == TOpusWalkResult::Packet) {
    fuzz::Check(!last, "nothing follows the last packet");
    fuzz::Check(packet.Offset == end, "packets follow each other");
    fuzz::Check(packet.Samples > 0 && packet.Samples <= 5760, "a packet lasts up to 120 ms");
    end = packet.End();
    last = packet.Last;
  }
  fuzz::Check(walk.PlayedSamples() >= 0 && walk.PlayedSamples() <= end,
              "the stream plays no more than its packets hold");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0)
    return 0;
  const std::string path = fuzz::Scratch().File("walk.opus");
  if ((data[0] & 1) == 0) {
    fuzz::WriteBytes(path, data + 1, size - 1);
  } else {
    WritePaged(data + 1, size - 1, path);
    if (size > 8) {
      std::vector<uint8_t> bytes;
      {
        TInputFile input(path);
        bytes.resize(static_cast<size_t>(input.Size()));
        bytes.resize(input.Read(bytes.data(), bytes.size()));
      }
      if (!bytes.empty()) {
        bytes[(data[size - 1] * 131u + data[size - 2]) % bytes.size()] ^= data[size - 3];
        fuzz::WriteBytes(path, bytes.data(), bytes.size());
      }
    }
  }
  Walk(path);
  RewritePages(path);
  return 0;
}
