// The comment header "OpusTags" of a fragment, read and rendered by TagLib.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "tags/fragmenttags.h"

namespace zembrio {

// The fragment's comment header: the source's vendor and comments, without those that
// measure the loudness of the whole source (R128_TRACK_GAIN, REPLAYGAIN_TRACK_GAIN and
// _PEAK: wrong for a part of it), and with the fragment's fields (when tags is given) in
// place of the comments of the same names. A source header TagLib cannot read gives the
// fragment's fields alone.
std::vector<uint8_t> FragmentOpusTags(const std::vector<uint8_t>& sourceTags,
                                      const TFragmentTags* tags);

// The comments of an OpusTags packet, names in capitals; empty when it cannot be read.
std::map<std::string, std::vector<std::string>> OpusTagsFields(const std::vector<uint8_t>& packet);

}  // namespace zembrio
