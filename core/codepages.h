// The code pages a track list that is not UTF-8 may be read in (LISTCODEPAGE): the Windows
// code pages of the rippers and taggers that write such lists, and 0 for "detect".
#pragma once

#include <cstdint>
#include <span>

namespace zembrio {

constexpr int32_t kDetectCodePage = 0;
constexpr int32_t kDefaultListCodePage = 1252;

struct TCodePageChoice {
  int32_t Number;
  const char* Label;  // what the settings dialog shows
};

// Every value LISTCODEPAGE takes, detection first, then by number.
std::span<const TCodePageChoice> ListCodePageChoices();
bool IsListCodePage(int32_t number);

}  // namespace zembrio
