#include "tags/id3v2tag.h"

#include <taglib/id3v2framefactory.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tbytevectorstream.h>
#include <taglib/textidentificationframe.h>

#include <memory>
#include <utility>

namespace zembrio {

namespace {

// Frames that hold the whole source's length, or times and places inside it: a fragment
// would claim them wrongly.
constexpr const char* kSourceLayoutFrames[] = {"TLEN", "MLLT", "SEEK", "ASPI",
                                               "POSS", "ETCO", "SYTC", "SYLT"};

TagLib::String Utf8(const std::string& text) {
  return TagLib::String(text, TagLib::String::UTF8);
}

// An empty value keeps what the source's tag says.
void SetText(TagLib::ID3v2::Tag& tag, const char* id, const std::string& value) {
  if (value.empty())
    return;
  tag.removeFrames(id);
  auto frame = std::make_unique<TagLib::ID3v2::TextIdentificationFrame>(TagLib::ByteVector(id),
                                                                        TagLib::String::UTF8);
  frame->setText(Utf8(value));
  tag.addFrame(frame.release());  // the tag owns its frames
}

void PutFields(TagLib::ID3v2::Tag& tag, const TFragmentTags& tags) {
  for (const char* id : kSourceLayoutFrames)
    tag.removeFrames(id);
  SetText(tag, "TIT2", tags.Title);
  SetText(tag, "TPE1", tags.Artist);
  SetText(tag, "TALB", tags.Album);
  SetText(tag, "TPE2", tags.AlbumArtist);
  SetText(tag, "TDRC", tags.Date);
  SetText(tag, "TCON", tags.Genre);
  if (tags.Track > 0) {
    tag.removeFrames("TRCK");  // the source's number is not the fragment's
    SetText(tag, "TRCK", std::to_string(tags.Track) + "/" + std::to_string(tags.TrackTotal));
  }
}

std::vector<uint8_t> Bytes(const TagLib::ByteVector& data) {
  return std::vector<uint8_t>(data.begin(), data.end());
}

}  // namespace

TId3v2Source::TId3v2Source(const std::string& sourcePath) {
  TagLib::MPEG::File file(sourcePath.c_str(), false);
  if (file.isValid() && file.hasID3v2Tag())
    sourceTag_ = Bytes(file.ID3v2Tag()->render());
}

TId3v2Source TId3v2Source::FromTag(std::vector<uint8_t> tag) {
  TId3v2Source source;
  source.sourceTag_ = std::move(tag);
  return source;
}

std::vector<uint8_t> TId3v2Source::Render(const TFragmentTags& tags) const {
  if (sourceTag_.empty()) {
    TagLib::ID3v2::Tag tag;
    PutFields(tag, tags);
    return Bytes(tag.render());
  }
  // Each fragment edits its own copy of the source's tag, parsed again from memory.
  TagLib::ByteVector data(reinterpret_cast<const char*>(sourceTag_.data()),
                          static_cast<unsigned int>(sourceTag_.size()));
  TagLib::ByteVectorStream stream(data);
  TagLib::MPEG::File file(&stream, TagLib::ID3v2::FrameFactory::instance(), false);
  TagLib::ID3v2::Tag& tag = *file.ID3v2Tag(true);
  PutFields(tag, tags);
  return Bytes(tag.render());
}

}  // namespace zembrio
