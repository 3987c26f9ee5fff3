// The Vorbis comments of an Ogg fragment that the cutter has written: the fragment's
// fields replace the comments of the same name, the source's other comments stay.
#pragma once

#include <string>
#include <vector>

#include "tags/fragmenttags.h"

namespace zembrio {

// Rewrites the fragment's comment header; throws std::runtime_error naming the file when
// TagLib cannot read or save it.
void WriteVorbisComments(const std::string& path, const TFragmentTags& tags);

// The same as "NAME=value" pairs, in the order written, empty fields left out.
std::vector<std::pair<std::string, std::string>> VorbisCommentFields(const TFragmentTags& tags);

}  // namespace zembrio
