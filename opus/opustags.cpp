#include "opus/opustags.h"

#include <taglib/tbytevector.h>
#include <taglib/xiphcomment.h>

#include <array>
#include <cstring>
#include <memory>

#include "opus/opushead.h"
#include "tags/vorbiscomments.h"

namespace zembrio {

namespace {

constexpr size_t kMagicSize = 8;  // "OpusTags"

constexpr std::array<const char*, 3> kSourceOnlyFields = {
    "R128_TRACK_GAIN", "REPLAYGAIN_TRACK_GAIN", "REPLAYGAIN_TRACK_PEAK"};

// The comments after the magic; an empty set when the packet is no comment header.
std::unique_ptr<TagLib::Ogg::XiphComment> ParseComments(const std::vector<uint8_t>& packet) {
  if (!IsOpusTagsPacket(packet.data(), packet.size()))
    return std::make_unique<TagLib::Ogg::XiphComment>();
  const TagLib::ByteVector body(reinterpret_cast<const char*>(packet.data()) + kMagicSize,
                                static_cast<unsigned int>(packet.size() - kMagicSize));
  return std::make_unique<TagLib::Ogg::XiphComment>(body);
}

}  // namespace

std::vector<uint8_t> FragmentOpusTags(const std::vector<uint8_t>& sourceTags,
                                      const TFragmentTags* tags) {
  const auto comments = ParseComments(sourceTags);
  for (const char* name : kSourceOnlyFields)
    comments->removeFields(name);
  if (tags != nullptr) {
    for (const auto& [name, value] : VorbisCommentFields(*tags))
      comments->addField(name, TagLib::String(value, TagLib::String::UTF8), true);
  }
  // Opus comment headers end without Vorbis's framing bit.
  const TagLib::ByteVector body = comments->render(false);
  std::vector<uint8_t> packet(kMagicSize + body.size());
  std::memcpy(packet.data(), "OpusTags", kMagicSize);
  std::memcpy(packet.data() + kMagicSize, body.data(), body.size());
  return packet;
}

std::map<std::string, std::vector<std::string>> OpusTagsFields(const std::vector<uint8_t>& packet) {
  std::map<std::string, std::vector<std::string>> fields;
  if (!IsOpusTagsPacket(packet.data(), packet.size()))
    return fields;
  const auto comments = ParseComments(packet);
  for (const auto& [name, values] : comments->fieldListMap()) {
    std::vector<std::string>& out = fields[name.upper().to8Bit(true)];
    for (const TagLib::String& value : values)
      out.push_back(value.to8Bit(true));
  }
  return fields;
}

}  // namespace zembrio
