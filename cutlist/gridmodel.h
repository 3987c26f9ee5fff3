// The toolkit-free rules of the cut point grid: the zero point, the row texts and the
// fragment durations. The Qt grid and the CLI's dry run both show these texts.
#pragma once

#include <array>
#include <cstdint>
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

// The grid's fixed layout: captions (row 0) and initial column widths in pixels, indexed by
// the column numbers ColStart, ColName, ColDuration and ColStatus.
inline constexpr std::array<const char*, 4> kGridCaptions = {" Début", " Fichier", " Durée",
                                                             " Statut"};
inline constexpr std::array<int, 4> kGridColumnWidths = {108, 167, 114, 176};
inline constexpr const char* kLastFragmentText = "(---> fin)";

// Row height for a window font of the given height (its sign is ignored): |height| x 1.3,
// rounded half to even, plus 3 pixels.
int GridRowHeight(int fontHeight);

// Whether the cell may be edited: the start time on every data row but the zero row (row 1),
// and the name on every row.
bool IsCellEditable(int column, int row);

// Enabled state of the cut page's actions for the selected grid row (row 1 = cut point 0);
// rowCount counts the caption row too.
struct TGridActionStates {
  bool Add = false;
  bool Delete = false;
  bool LinkToPrevious = false;
  bool LinkToNext = false;
  bool ClearList = false;
  bool Import = false;
};
TGridActionStates GridActionStates(bool idle, int selectedRow, int rowCount);

// Fill colour of a data cell: rows of written fragments are light, skipped ones darker.
struct TRgb {
  uint8_t Red, Green, Blue;
  bool operator==(const TRgb&) const = default;
};
inline constexpr TRgb kNamedRowColour{240, 240, 240};
inline constexpr TRgb kSkippedRowColour{208, 208, 208};
TRgb RowColour(const std::string& nameCellText);

// Cell edits. Any edit makes the cut point an ordinary one (IsNew cleared). A start time that
// does not read as a valid time leaves the previous time; a run of digits too long for 32
// bits throws TConversionError. Names are stored exactly as typed.
void ApplyStartCellText(TCutPoint& point, const std::string& text);
void ApplyNameCellText(TCutPoint& point, const std::string& text);

// The "Ajouter" action: drops unedited new rows, restores the zero point, then inserts a new
// cut point after the one shown on selectedRow (the last one when that row is gone). Returns
// the grid row of the new cut point, to be selected.
int AddRowAfter(TCPList& list, int selectedRow);

}  // namespace zembrio
