#include "wav/wavtags.h"

#include <taglib/infotag.h>

#include <string>

namespace zembrio {

namespace {

std::vector<uint8_t> BodyOf(const TWavChunk* chunk) {
  return chunk != nullptr ? chunk->Body : std::vector<uint8_t>{};
}

const TWavChunk* Id3ChunkOf(const TWavLayout& layout) {
  const TWavChunk* chunk = layout.Find("id3 ");
  return chunk != nullptr ? chunk : layout.Find("ID3 ");
}

// An empty value keeps what the source's chunk says.
void SetField(TagLib::RIFF::Info::Tag& tag, const char* id, const std::string& value) {
  if (!value.empty())
    tag.setFieldText(TagLib::ByteVector(id, 4), TagLib::String(value, TagLib::String::UTF8));
}

std::vector<uint8_t> RenderInfo(const std::vector<uint8_t>& source, const TFragmentTags& tags) {
  const TagLib::ByteVector data(reinterpret_cast<const char*>(source.data()),
                                static_cast<unsigned int>(source.size()));
  TagLib::RIFF::Info::Tag tag(data);
  SetField(tag, "INAM", tags.Title);
  SetField(tag, "IART", tags.Artist);
  SetField(tag, "IPRD", tags.Album);
  SetField(tag, "ICRD", tags.Date);
  SetField(tag, "IGNR", tags.Genre);
  if (tags.Track > 0) {
    tag.removeField("ITRK");  // the source's number is not the fragment's
    SetField(tag, "ITRK", std::to_string(tags.Track));
  }
  const TagLib::ByteVector rendered = tag.render();
  return WavChunkBytes("LIST", std::vector<uint8_t>(rendered.begin(), rendered.end()));
}

void Append(std::vector<uint8_t>& out, const std::vector<uint8_t>& bytes) {
  out.insert(out.end(), bytes.begin(), bytes.end());
}

}  // namespace

TWavTagSource::TWavTagSource(const TWavLayout& source)
    : info_(BodyOf(source.Find("LIST", "INFO"))),
      id3_(BodyOf(Id3ChunkOf(source))),
      id3Source_(TId3v2Source::FromTag(id3_)) {}

std::vector<uint8_t> TWavTagSource::Render(const TFragmentTags& tags) const {
  std::vector<uint8_t> out = RenderInfo(info_, tags);
  Append(out, WavChunkBytes("id3 ", id3Source_.Render(tags)));
  return out;
}

std::vector<uint8_t> TWavTagSource::SourceChunks() const {
  std::vector<uint8_t> out;
  if (!info_.empty())
    Append(out, WavChunkBytes("LIST", info_));
  if (!id3_.empty())
    Append(out, WavChunkBytes("id3 ", id3_));
  return out;
}

}  // namespace zembrio
