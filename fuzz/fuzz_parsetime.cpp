// Times as a user types them into the grid or a plain text list holds them: the parser
// either refuses a number too long for 32 bits or gives a time the grid can show and cut at.
#include "core/timevalue.h"
#include "fuzzinput.h"

using namespace zembrio;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0)
    return 0;
  const bool framesMode = (data[0] & 1) != 0;
  const bool hoursMode = (data[0] & 2) != 0;
  const std::string_view text = fuzz::AsText(data + 1, size - 1);
  TParsedTime parsed;
  try {
    parsed = ParseTime(text, framesMode, hoursMode);
  } catch (const TConversionError&) {
    return 0;
  }
  TTimeValue value;
  value.Kind = framesMode ? TTimeKind::tkCdFrames : TTimeKind::tkMilliseconds;
  ApplyParsedTime(value, parsed);
  fuzz::ResetSettings();
  Settings().TIME_SHOWH = hoursMode;
  Settings().TIME_TYPE = framesMode ? 1 : 0;
  (void)FormatCutPoint(value);
  (void)PositionAt(value, 44100);
  (void)PositionAt(value, 48000);
  return 0;
}
