// The toolkit-free rules of the cut point grid: the zero point, the row texts and the
// fragment durations. The Qt grid and the CLI's dry run both show these texts.
#pragma once

#include <string>
#include <vector>

#include "cutlist/cutpoint.h"

namespace zembrio {

struct TGridRowText {
  std::string Start;     // " Début": FormatCutPoint, empty while IsNew
  std::string Name;      // " Fichier"
  std::string Duration;  // " Durée": fragment length, "(---> fin)" on the last row
};

// Inserts the unnamed zero cut point at index 0 when the list is empty or does not start
// at 0 s (step 1 of every grid refresh).
void EnsureZeroPoint(TCPList& list);
// Length of fragment index (up to the next cut point) in the configured unit, formatted.
std::string FragmentDurationText(const TCPList& list, int index);
// Texts of every data row, after EnsureZeroPoint.
std::vector<TGridRowText> GridRowTexts(TCPList& list);

}  // namespace zembrio
