// The undo and redo history of the cut list: snapshots of its cut points and album fields,
// taken whenever the list has settled after a change. Cut reports and rows not yet given a
// time are no part of a snapshot, so a cut or a blank row never makes a step.
#pragma once

#include <cstddef>
#include <deque>
#include <vector>

#include "cutlist/cutpoint.h"

namespace zembrio {

// The user's part of a cut list, its points in time order.
struct TCutListState {
  std::vector<TCutPoint> Points;
  TAlbumFields Album;
};

TCutListState CaptureCutList(const TCPList& list);
// Makes list hold exactly the state's points and album fields.
void RestoreCutList(TCPList& list, const TCutListState& state);
// Whether two states differ in anything the user set: times, names, titles, artists, album.
bool SameCutList(const TCutListState& a, const TCutListState& b);

class TCutListHistory {
 public:
  static constexpr size_t kDefaultDepth = 200;

  explicit TCutListHistory(size_t depth = kDefaultDepth) : depth_(depth) {}

  // Forgets every step: the list as it is becomes the starting point.
  void Reset(const TCPList& list);
  // Records a step when the list differs from what was last recorded; a new step drops
  // what could be redone. Returns whether a step was made.
  bool Record(const TCPList& list);
  // Takes the list as it is without making a step (after a change the user cannot undo).
  void Resync(const TCPList& list) { current_ = CaptureCutList(list); }

  bool CanUndo() const { return !undo_.empty(); }
  bool CanRedo() const { return !redo_.empty(); }
  size_t UndoCount() const { return undo_.size(); }
  // Puts the list back as it was one step earlier (later); false when there is none.
  bool Undo(TCPList& list);
  bool Redo(TCPList& list);

 private:
  size_t depth_;
  TCutListState current_;
  std::deque<TCutListState> undo_;
  std::deque<TCutListState> redo_;
};

}  // namespace zembrio
