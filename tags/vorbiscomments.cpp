#include "tags/vorbiscomments.h"

#include <taglib/vorbisfile.h>
#include <taglib/xiphcomment.h>

#include <stdexcept>

namespace zembrio {

std::vector<std::pair<std::string, std::string>> VorbisCommentFields(const TFragmentTags& tags) {
  std::vector<std::pair<std::string, std::string>> fields;
  const auto add = [&fields](const char* name, const std::string& value) {
    if (!value.empty())
      fields.emplace_back(name, value);
  };
  add("TITLE", tags.Title);
  add("ARTIST", tags.Artist);
  add("ALBUM", tags.Album);
  add("ALBUMARTIST", tags.AlbumArtist);
  if (tags.Track > 0) {
    add("TRACKNUMBER", std::to_string(tags.Track));
    add("TRACKTOTAL", std::to_string(tags.TrackTotal));
  }
  add("DATE", tags.Date);
  add("GENRE", tags.Genre);
  return fields;
}

void WriteVorbisComments(const std::string& path, const TFragmentTags& tags) {
  TagLib::Ogg::Vorbis::File file(path.c_str(), false);
  if (!file.isValid() || file.tag() == nullptr)
    throw std::runtime_error(path + " : fichier Ogg Vorbis illisible, commentaires non écrits");
  TagLib::Ogg::XiphComment& comments = *file.tag();
  for (const auto& [name, value] : VorbisCommentFields(tags))
    comments.addField(name, TagLib::String(value, TagLib::String::UTF8), true);
  if (!file.save())
    throw std::runtime_error(path + " : commentaires Vorbis non écrits");
}

}  // namespace zembrio
