#include "cutlist/cutlisthistory.h"

#include <algorithm>
#include <memory>
#include <utility>

namespace zembrio {

namespace {

bool SamePoint(const TCutPoint& a, const TCutPoint& b) {
  return a.Kind == b.Kind && a.Seconds == b.Seconds && a.Milliseconds == b.Milliseconds &&
         a.Frames == b.Frames && a.Name == b.Name && a.Title == b.Title && a.Artist == b.Artist;
}

bool SameAlbum(const TAlbumFields& a, const TAlbumFields& b) {
  return a.Album == b.Album && a.AlbumArtist == b.AlbumArtist && a.Date == b.Date &&
         a.Genre == b.Genre;
}

}  // namespace

TCutListState CaptureCutList(const TCPList& list) {
  TCutListState state;
  state.Album = list.Album;
  for (int index = 0; index < list.Count(); ++index) {
    if (!list[index].IsNew)
      state.Points.push_back(list[index]);
  }
  // The grid shows the list in time order whatever order it is held in: putting it in
  // order is no change of the user's.
  std::stable_sort(state.Points.begin(), state.Points.end(),
                   [](const TCutPoint& a, const TCutPoint& b) {
                     return PositionAt(a, 1000) < PositionAt(b, 1000);
                   });
  return state;
}

void RestoreCutList(TCPList& list, const TCutListState& state) {
  list.Clear();
  for (const TCutPoint& point : state.Points)
    list.Add(std::make_unique<TCutPoint>(point));
  list.Album = state.Album;
}

bool SameCutList(const TCutListState& a, const TCutListState& b) {
  return SameAlbum(a.Album, b.Album) &&
         std::equal(a.Points.begin(), a.Points.end(), b.Points.begin(), b.Points.end(), SamePoint);
}

void TCutListHistory::Reset(const TCPList& list) {
  undo_.clear();
  redo_.clear();
  current_ = CaptureCutList(list);
}

bool TCutListHistory::Record(const TCPList& list) {
  TCutListState now = CaptureCutList(list);
  if (SameCutList(now, current_))
    return false;
  undo_.push_back(std::exchange(current_, std::move(now)));
  if (undo_.size() > depth_)
    undo_.pop_front();
  redo_.clear();
  return true;
}

bool TCutListHistory::Undo(TCPList& list) {
  // A change not yet recorded (a tag still being typed) is the step that goes first.
  Record(list);
  if (undo_.empty())
    return false;
  redo_.push_back(std::exchange(current_, std::move(undo_.back())));
  undo_.pop_back();
  RestoreCutList(list, current_);
  return true;
}

bool TCutListHistory::Redo(TCPList& list) {
  if (redo_.empty())
    return false;
  undo_.push_back(std::exchange(current_, std::move(redo_.back())));
  redo_.pop_back();
  RestoreCutList(list, current_);
  return true;
}

}  // namespace zembrio
