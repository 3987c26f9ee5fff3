// The track list a FLAC album image carries inside: a CUESHEET metadata block (track
// starts in samples) or a CUESHEET comment holding the text of a CUE sheet, as rippers
// write them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zembrio {

struct TEmbeddedCueTrack {
  uint32_t Number = 0;       // the track's number on the disc
  uint64_t StartSample = 0;  // its INDEX 01: the track's offset plus the index's
  // Its INDEX 00 (the pregap's start), when the block gives one.
  std::optional<uint64_t> PregapSample;
};

struct TEmbeddedCueSheet {
  uint32_t SampleRate = 0;
  uint64_t TotalSamples = 0;  // 0: unknown
  std::string CueText;        // the CUESHEET comment; empty when there is none
  // The CUESHEET block's tracks in stored order, without the lead-out; empty without one.
  std::vector<TEmbeddedCueTrack> Tracks;
  std::vector<std::string> Comments;  // every "NAME=value" comment of the source
};

// What path holds of an embedded track list; nullopt when it is no FLAC stream or holds
// neither a CUESHEET block with tracks nor a CUESHEET comment. Throws std::system_error
// when the file cannot be read.
std::optional<TEmbeddedCueSheet> ReadEmbeddedCueSheet(const std::string& path);

// The value of the first comment named name (ASCII letters compared without case); empty
// when there is none.
std::string CommentValue(const std::vector<std::string>& comments, std::string_view name);

}  // namespace zembrio
