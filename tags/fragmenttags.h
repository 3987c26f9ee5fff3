// What the tag of one fragment says: the track's fields from the cut list and its place
// among the fragments written. Both the ID3v2 tags of MPEG fragments and the Vorbis
// comments of Ogg fragments are made from it.
#pragma once

#include <string>

#include "cutlist/cutpoint.h"

namespace zembrio {

struct TFragmentTags {
  std::string Title;
  std::string Artist;
  std::string Album;
  std::string AlbumArtist;
  std::string Date;
  std::string Genre;
  int Track = 0;       // 1 for the first fragment written
  int TrackTotal = 0;  // how many fragments are written
};

// How many fragments of the list are written: its named cut points.
int WrittenFragmentCount(const TCPList& list);

// The place of cut point index among the written fragments: 1 for the first named point.
int FragmentNumber(const TCPList& list, int index);

// The tags of the fragment of cut point index, the track-th of total written ones. A point
// without a title (a typed one) is titled by its name; one without an artist takes the
// album artist.
TFragmentTags FragmentTagsOf(const TCPList& list, int index, int track, int total);

}  // namespace zembrio
