// Joining: every listed file copied in order into one output, frame by frame through
// TMPGFile, or byte for byte.
#pragma once

#include <string>
#include <vector>

#include "cut/runfeedback.h"

namespace zembrio {

enum class TJoinMode { jmFrames, jmRaw };

// One row of the join list.
struct TJoinItem {
  std::string Name;    // "Nom": file name
  std::string Folder;  // "Chemin": folder with a trailing "/"
  std::string Status = "-";
  bool Selected = false;
};

using TJoinList = std::vector<TJoinItem>;

// Where the join list shows rows (the window's LVJoin; the CLI prints them).
class IJoinView {
 public:
  virtual ~IJoinView() = default;
  virtual void RowChanged(int index) = 0;  // status or selection of a row changed
};

std::string JoinItemPath(const TJoinItem& item);
void ResetJoinStatuses(TJoinList& list);

enum class TJoinOutcome { Finished, Refused, Failed, Aborted };

// Runs the whole join with its checks, question, progress, statuses and closing steps.
TJoinOutcome RunJoin(TRunContext& ctx, TJoinList& list, IJoinView& view,
                     const std::string& outputName, TJoinMode mode);

}  // namespace zembrio
