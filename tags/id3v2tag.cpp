#include "tags/id3v2tag.h"

#include <taglib/id3v2extendedheader.h>
#include <taglib/id3v2frame.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/id3v2header.h>
#include <taglib/id3v2synchdata.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tbytevectorstream.h>
#include <taglib/textidentificationframe.h>

#include <zlib.h>

#include <array>
#include <memory>
#include <utility>

#include "core/fileio.h"

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

// How many bytes a zlib stream inflates to, counted up to limit + 1 in a small buffer: a
// crafted frame of a few kilobytes may claim gigabytes. -1 when the stream is not zlib's.
int64_t InflatedSize(const char* data, size_t size, int64_t limit) {
  z_stream stream{};
  if (inflateInit(&stream) != Z_OK)
    return -1;
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
  stream.avail_in = static_cast<uInt>(size);
  std::array<Bytef, 65536> out{};
  int64_t total = 0;
  int result = Z_OK;
  while (result == Z_OK && total <= limit) {
    stream.next_out = out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    result = inflate(&stream, Z_NO_FLUSH);
    total += static_cast<int64_t>(out.size() - stream.avail_out);
    if (result == Z_BUF_ERROR && stream.avail_in == 0)
      break;  // cut short: TagLib inflates what there is
  }
  inflateEnd(&stream);
  return result == Z_OK || result == Z_STREAM_END || result == Z_BUF_ERROR ? total : -1;
}

// TagLib's reading of a frame header, which it keeps for frames: only a frame class may
// name it. Never made; its functions are static.
class TFrameHeaders : public TagLib::ID3v2::Frame {
 public:
  static unsigned int Size(unsigned int version) { return Header::size(version); }
  // The frame's size after its header, and whether its data is compressed.
  static unsigned int Read(const TagLib::ByteVector& data, unsigned int version, bool& compressed) {
    const Header header(data, version);
    compressed = header.compression();
    return header.frameSize();
  }
};

// True when the tag, its compressed frames counted as they inflate, holds kSourceTagLimit
// bytes at most; TagLib inflates those frames whole when it parses the tag. Frame headers are read
// by TagLib; a frame whose data will not inflate counts as too large, to be safe.
bool CompressedFramesFit(const TagLib::ByteVector& tag) {
  const TagLib::ID3v2::Header header(tag.mid(0, TagLib::ID3v2::Header::size()));
  const unsigned int version = header.majorVersion();
  if (version < 3)
    return true;  // frames of version 2.2 have no compression flag
  TagLib::ByteVector frames = tag.mid(TagLib::ID3v2::Header::size(), header.tagSize());
  if (version < 4 && header.unsynchronisation())
    frames = TagLib::ID3v2::SynchData::decode(frames);
  unsigned int pos = 0;
  if (header.extendedHeader()) {
    TagLib::ID3v2::ExtendedHeader extended;
    extended.setData(frames);
    pos = extended.size();
  }
  const unsigned int headerSize = TFrameHeaders::Size(version);
  int64_t room = kSourceTagLimit - static_cast<int64_t>(tag.size());
  while (pos + headerSize <= frames.size() && frames[pos] != 0) {
    bool compressed = false;
    const unsigned int size = TFrameHeaders::Read(frames.mid(pos, headerSize), version, compressed);
    if (size == 0 || size > frames.size() - pos - headerSize)
      break;  // where TagLib stops reading too
    if (compressed && size > 4) {
      // After the frame header, 4 bytes of inflated length, then the zlib stream.
      const unsigned int start = pos + headerSize + 4;
      const int64_t inflated = InflatedSize(frames.data() + start, size - 4, room);
      if (inflated < 0 || inflated > room)
        return false;
      room -= inflated;
    }
    pos += headerSize + size;
  }
  return true;
}

// The leading ID3v2 tag's bytes, header, frames and footer; empty without one. tooLarge is
// set for a tag over the limits.
TagLib::ByteVector ReadLeadingTag(const std::string& sourcePath, bool& tooLarge) {
  TInputFile file(sourcePath, 4096);
  std::array<char, 10> head{};
  if (file.Read(head.data(), head.size()) < head.size() ||
      std::string_view(head.data(), 3) != "ID3")
    return {};
  const TagLib::ID3v2::Header header(TagLib::ByteVector(head.data(), head.size()));
  const int64_t size = header.completeTagSize();
  if (size > kSourceTagLimit) {
    tooLarge = true;
    return {};
  }
  TagLib::ByteVector tag(static_cast<unsigned int>(size), 0);
  std::copy(head.begin(), head.end(), tag.begin());
  const size_t rest = static_cast<size_t>(size) - head.size();
  if (file.Read(tag.data() + head.size(), rest) < rest)
    return {};  // a tag cut short by the end of the file is no tag
  if (!CompressedFramesFit(tag)) {
    tooLarge = true;
    return {};
  }
  return tag;
}

}  // namespace

TId3v2Source::TId3v2Source(const std::string& sourcePath) {
  TagLib::ByteVector data = ReadLeadingTag(sourcePath, tooLarge_);
  if (data.isEmpty())
    return;
  TagLib::ByteVectorStream stream(data);
  TagLib::MPEG::File file(&stream, TagLib::ID3v2::FrameFactory::instance(), false);
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
