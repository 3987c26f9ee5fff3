// The ID3v2 tag that begins each MPEG fragment: the source's own tag, read once when the
// cut starts, with the fragment's fields put in and the frames that describe the whole
// source's length or layout taken out. TagLib reads and renders it; the rendered bytes are
// written ahead of the fragment's frames, in the same pass.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tags/fragmenttags.h"

namespace zembrio {

class TId3v2Source {
 public:
  // Reads the ID3v2 tag of the source; a source without one gives fragments a tag of
  // their fields alone.
  explicit TId3v2Source(const std::string& sourcePath);
  // A whole ID3v2 tag held elsewhere than at an MPEG file's start (a WAV file's `id3 `
  // chunk); empty: fragments get a tag of their fields alone.
  static TId3v2Source FromTag(std::vector<uint8_t> tag);

  // A whole ID3v2.4 tag, text in UTF-8, for one fragment.
  std::vector<uint8_t> Render(const TFragmentTags& tags) const;

 private:
  TId3v2Source() = default;

  std::vector<uint8_t> sourceTag_;  // rendered by TagLib as version 2.4; empty: none
};

}  // namespace zembrio
