// The tag chunks of a WAV output: LIST/INFO and `id3 `, rendered by TagLib from the
// source's own chunks with the fragment's fields put in, or the source's chunks as they are.
#pragma once

#include <cstdint>
#include <vector>

#include "tags/fragmenttags.h"
#include "tags/id3v2tag.h"
#include "wav/wavformat.h"

namespace zembrio {

class TWavTagSource {
 public:
  explicit TWavTagSource(const TWavLayout& source);

  // A LIST/INFO chunk (INAM, IART, IPRD, ICRD, IGNR, ITRK) and an `id3 ` chunk with the
  // fields of the MPEG fragments' tag; the source's other fields stay.
  std::vector<uint8_t> Render(const TFragmentTags& tags) const;
  // The source's LIST/INFO and `id3 ` chunks, byte for byte.
  std::vector<uint8_t> SourceChunks() const;

 private:
  std::vector<uint8_t> info_;  // the source's LIST/INFO body ("INFO" first); empty: none
  std::vector<uint8_t> id3_;   // the source's `id3 ` body; empty: none
  TId3v2Source id3Source_;
};

}  // namespace zembrio
