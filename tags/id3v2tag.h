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

// The largest source tag that fragments take over, its compressed frames counted as they
// inflate. Each fragment parses and renders its own copy, which takes several times the
// tag's size for a moment: a larger tag (a cover picture of tens of megabytes, a crafted
// compressed frame) would set the cut's memory. The fragments then get their fields alone.
constexpr int64_t kSourceTagLimit = int64_t{6} << 20;

class TId3v2Source {
 public:
  // Reads the ID3v2 tag at the start of the source, and nothing else of it; a source
  // without one gives fragments a tag of their fields alone, and so does a tag over the
  // limits above (TooLarge() then says so). Throws std::system_error when the source
  // cannot be read.
  explicit TId3v2Source(const std::string& sourcePath);
  // A whole ID3v2 tag held elsewhere than at an MPEG file's start (a WAV file's `id3 `
  // chunk); empty: fragments get a tag of their fields alone.
  static TId3v2Source FromTag(std::vector<uint8_t> tag);

  // A whole ID3v2.4 tag, text in UTF-8, for one fragment.
  std::vector<uint8_t> Render(const TFragmentTags& tags) const;
  // The source has a tag that fragments do not take over: it is too large.
  bool TooLarge() const { return tooLarge_; }

 private:
  TId3v2Source() = default;

  std::vector<uint8_t> sourceTag_;  // rendered by TagLib as version 2.4; empty: none
  bool tooLarge_ = false;
};

}  // namespace zembrio
