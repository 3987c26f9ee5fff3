// The cut list: an ordered, owning list of cut points, each the start of one fragment
// with its output name (empty: the stretch is passed over) and its report lines.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/timevalue.h"

namespace zembrio {

struct TCutPoint : TTimeValue {
  bool IsNew = false;
  std::string Name;
  std::vector<std::string> Report;
  // The track as the list gives it, for the fragment's tag: raw text, before the mask and
  // the replacement list. An empty title means the name is the title.
  std::string Title;
  std::string Artist;

  bool IsSkipped() const { return Name.empty(); }
};

// What the track list says of the whole disc; every fragment's tag carries it.
struct TAlbumFields {
  std::string Album;
  std::string AlbumArtist;
  std::string Date;
  std::string Genre;
};

class TCPList {
 public:
  TAlbumFields Album;

  int Count() const { return static_cast<int>(items_.size()); }
  // The cut point at index, or nullptr when index is out of range.
  TCutPoint* Item(int index) const;
  TCutPoint& operator[](int index) const { return *items_[index]; }
  TCutPoint& Add(std::unique_ptr<TCutPoint> point);
  TCutPoint& Add();  // appends a new zero cut point
  TCutPoint& Insert(int index, std::unique_ptr<TCutPoint> point);
  void Delete(int index);
  // The album fields go with the points: a cleared list describes no disc.
  void Clear() {
    items_.clear();
    Album = {};
  }
  int IndexOf(const TCutPoint* point) const;  // -1 when absent
  void Exchange(int a, int b);

  void PurgeNew();
  void SortByTime();
  void LinkToPrevious(int index);
  void LinkToNext(int index);
  TCutPoint& InsertNewAfter(int index);

 private:
  std::vector<std::unique_ptr<TCutPoint>> items_;
};

}  // namespace zembrio
