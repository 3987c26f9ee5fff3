#include "tags/fragmenttags.h"

#include "core/textutil.h"

namespace zembrio {

int WrittenFragmentCount(const TCPList& list) {
  int count = 0;
  for (int i = 0; i < list.Count(); ++i) {
    if (!list[i].IsSkipped())
      ++count;
  }
  return count;
}

int FragmentNumber(const TCPList& list, int index) {
  int number = 0;
  for (int i = 0; i <= index && i < list.Count(); ++i) {
    if (!list[i].IsSkipped())
      ++number;
  }
  return number;
}

TFragmentTags FragmentTagsOf(const TCPList& list, int index, int track, int total) {
  const TCutPoint& point = list[index];
  TFragmentTags tags;
  // A track list may carry any byte; a tag holds one line of text.
  const auto clean = [](const std::string& text) { return ReplaceControlCharacters(text); };
  tags.Title = clean(point.Title.empty() ? point.Name : point.Title);
  tags.Artist = clean(point.Artist.empty() ? list.Album.AlbumArtist : point.Artist);
  tags.Album = clean(list.Album.Album);
  tags.AlbumArtist = clean(list.Album.AlbumArtist);
  tags.Date = clean(list.Album.Date);
  tags.Genre = clean(list.Album.Genre);
  tags.Track = track;
  tags.TrackTotal = total;
  return tags;
}

}  // namespace zembrio
