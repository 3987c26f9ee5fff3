// Time values of cut points: whole seconds plus a fraction held both as milliseconds and
// as CD frames (75 per second), their display text and the parser of typed times.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace zembrio {

enum class TTimeKind : uint8_t { tkMilliseconds = 0, tkCdFrames = 1 };

struct TTimeValue {
  TTimeKind Kind = TTimeKind::tkMilliseconds;
  int32_t Seconds = 0;
  int32_t Milliseconds = 0;
  int32_t Frames = 0;
};

constexpr int32_t kCdFramesPerSecond = 75;

bool SetFrames(TTimeValue& value, int32_t seconds, int32_t frames);
bool SetMilliseconds(TTimeValue& value, int32_t seconds, int32_t ms);
void AssignTime(TTimeValue& target, const TTimeValue& source);

// The time as a count of units at rate units per second (a sample index), in 64 bits.
int64_t PositionAt(const TTimeValue& value, int32_t rate);

struct TParsedTime {
  int32_t Seconds = 0;
  int32_t Frames = -1;  // -1: the text gave none
  int32_t Ms = -1;      // -1: the text gave none
};

// Raised when a run of digits does not fit a signed 32-bit number.
class TConversionError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

TParsedTime ParseTime(std::string_view text, bool framesMode, bool hoursMode);
// Sets value from a parsed time; false (value unchanged) when the time is out of range.
bool ApplyParsedTime(TTimeValue& value, const TParsedTime& parsed);

std::string FormatTimeWith(int32_t seconds, int32_t ms, int32_t frames, int32_t fractionUnit,
                           bool showHours, std::string_view hSuffix, std::string_view mSuffix,
                           std::string_view sSuffix, std::string_view msSuffix,
                           std::string_view fSuffix);
// FormatTimeWith with the current display settings of Settings().
std::string FormatTime(int32_t seconds, int32_t ms, int32_t frames);
std::string FormatCutPoint(const TTimeValue& point);
std::string FormatPosition(int32_t rate, int64_t position);
std::string ZeroPad(int64_t number, int width);

}  // namespace zembrio
