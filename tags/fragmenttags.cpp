#include "tags/fragmenttags.h"

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
  tags.Title = point.Title.empty() ? point.Name : point.Title;
  tags.Artist = point.Artist.empty() ? list.Album.AlbumArtist : point.Artist;
  tags.Album = list.Album.Album;
  tags.AlbumArtist = list.Album.AlbumArtist;
  tags.Date = list.Album.Date;
  tags.Genre = list.Album.Genre;
  tags.Track = track;
  tags.TrackTotal = total;
  return tags;
}

}  // namespace zembrio
