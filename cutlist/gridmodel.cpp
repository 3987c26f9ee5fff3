#include "cutlist/gridmodel.h"

#include <algorithm>
#include <cstdlib>

#include "core/settings.h"

namespace zembrio {

namespace {

bool StartsAtZero(const TCutPoint& point) {
  return point.Seconds == 0 && point.Milliseconds == 0 && point.Frames == 0;
}

bool UsesCdFrames() {
  return Settings().TIME_TYPE == 1;
}

// later - earlier in whole seconds and one fraction unit, borrowing a second when the
// fraction difference is negative.
std::string DurationBetween(const TCutPoint& earlier, const TCutPoint& later) {
  int32_t seconds = later.Seconds - earlier.Seconds;
  if (UsesCdFrames()) {
    int32_t frames = later.Frames - earlier.Frames;
    if (frames < 0) {
      frames += kCdFramesPerSecond;
      --seconds;
    }
    return FormatTime(seconds, frames * 1000 / kCdFramesPerSecond, frames);
  }
  int32_t ms = later.Milliseconds - earlier.Milliseconds;
  if (ms < 0) {
    ms += 1000;
    --seconds;
  }
  return FormatTime(seconds, ms, ms * kCdFramesPerSecond / 1000);
}

}  // namespace

void EnsureZeroPoint(TCPList& list) {
  if (list.Count() > 0 && StartsAtZero(list[0])) {
    return;
  }
  auto zero = std::make_unique<TCutPoint>();
  SetFrames(*zero, 0, 0);
  list.Insert(0, std::move(zero));
}

std::string FragmentDurationText(const TCPList& list, int index) {
  const TCutPoint* next = list.Item(index + 1);
  if (next == nullptr) {
    return kLastFragmentText;
  }
  return DurationBetween(list[index], *next);
}

std::vector<TGridRowText> GridRowTexts(TCPList& list) {
  EnsureZeroPoint(list);
  std::vector<TGridRowText> rows;
  rows.reserve(list.Count());
  for (int i = 0; i < list.Count(); ++i) {
    const TCutPoint& point = list[i];
    rows.push_back({point.IsNew ? std::string() : FormatCutPoint(point), point.Name,
                    FragmentDurationText(list, i)});
  }
  return rows;
}

int GridRowHeight(int fontHeight) {
  // Integer arithmetic so that the halves round to even whatever the floating point does.
  const int64_t tenths = static_cast<int64_t>(std::abs(static_cast<int64_t>(fontHeight))) * 13;
  int64_t whole = tenths / 10;
  const int64_t rest = tenths % 10;
  if (rest > 5 || (rest == 5 && whole % 2 != 0)) {
    ++whole;
  }
  return static_cast<int>(whole) + 3;
}

bool IsCellEditable(int column, int row) {
  const TSettings& settings = Settings();
  if (row < 1) {
    return false;
  }
  return (column == settings.ColStart && row != 1) || column == settings.ColName;
}

TGridActionStates GridActionStates(bool idle, int selectedRow, int rowCount) {
  TGridActionStates states;
  states.Add = idle;
  states.ClearList = idle;
  states.Import = idle;
  states.Delete = idle && selectedRow > 1;
  states.LinkToPrevious = idle && selectedRow > 1;
  states.LinkToNext = idle && selectedRow >= 1 && selectedRow <= rowCount - 2;
  return states;
}

TRgb RowColour(const std::string& nameCellText) {
  return nameCellText.empty() ? kSkippedRowColour : kNamedRowColour;
}

void ApplyStartCellText(TCutPoint& point, const std::string& text) {
  point.IsNew = false;
  ApplyParsedTime(point, ParseTime(text, UsesCdFrames(), Settings().TIME_SHOWH));
}

void ApplyNameCellText(TCutPoint& point, const std::string& text) {
  point.IsNew = false;
  point.Name = text;
}

int AddRowAfter(TCPList& list, int selectedRow) {
  list.PurgeNew();
  EnsureZeroPoint(list);
  const int index = std::clamp(selectedRow - 1, 0, list.Count() - 1);
  list.InsertNewAfter(index);
  return index + 2;
}

}  // namespace zembrio
