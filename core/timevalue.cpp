#include "core/timevalue.h"

#include <limits>

#include "core/settings.h"

namespace zembrio {

namespace {

constexpr int32_t kMsPerSecond = 1000;

// The formatter proper, in 64 bits so that sample positions of any length can be shown.
std::string FormatTimeWide(int64_t seconds, int64_t ms, int64_t frames, int32_t fractionUnit,
                           bool showHours, std::string_view hSuffix, std::string_view mSuffix,
                           std::string_view sSuffix, std::string_view msSuffix,
                           std::string_view fSuffix) {
  std::string text;
  if (showHours) {
    text += std::to_string(seconds / 3600);
    text += hSuffix;
    text += ZeroPad(seconds % 3600 / 60, 2);
  } else {
    text += ZeroPad(seconds / 60, 2);
  }
  text += mSuffix;
  text += ZeroPad(seconds % 60, 2);
  text += sSuffix;
  if (fractionUnit == 1) {
    text += ZeroPad(frames, 2);
    text += fSuffix;
  } else {
    text += ZeroPad(ms, 3);
    text += msSuffix;
  }
  return text;
}

std::string FormatTimeWideWithSettings(int64_t seconds, int64_t ms, int64_t frames) {
  const TSettings& s = Settings();
  return FormatTimeWide(seconds, ms, frames, s.TIME_TYPE, s.TIME_SHOWH, s.TIME_H, s.TIME_M,
                        s.TIME_S, s.TIME_MS, s.TIME_F);
}

// The digits of a typed time, collected one run at a time.
class TDigitRun {
 public:
  bool Empty() const { return digits_.empty(); }
  void Add(char digit) { digits_ += digit; }
  // The value of the run; throws when it does not fit a signed 32-bit number.
  int32_t Take() {
    int64_t value = 0;
    for (char c : digits_) {
      value = value * 10 + (c - '0');
      if (value > std::numeric_limits<int32_t>::max()) {
        throw TConversionError("« " + digits_ + " » n'est pas un nombre entier valide");
      }
    }
    digits_.clear();
    return static_cast<int32_t>(value);
  }

 private:
  std::string digits_;
};

// Reads the units of a typed time as each number's ending character decides.
class TTimeParser {
 public:
  TTimeParser(std::string_view text, bool framesMode, bool hoursMode)
      : text_(text), framesMode_(framesMode), hoursMode_(hoursMode) {}

  TParsedTime Run() {
    TDigitRun run;
    for (char ch : text_) {
      if (ch >= '0' && ch <= '9') {
        run.Add(ch);
      } else if (!run.Empty()) {
        Apply(run.Take(), ch);
      }
    }
    if (!run.Empty()) {
      Apply(run.Take(), '\0');
    }
    if (seconds_ > std::numeric_limits<int32_t>::max()) {
      throw TConversionError("« " + std::string(text_) +
                             " » n'est pas un temps valide : la durée est trop grande");
    }
    TParsedTime result = parsed_;
    result.Seconds = static_cast<int32_t>(seconds_);
    return result;
  }

 private:
  void Apply(int32_t number, char ch) {
    if ((ch == 'h' || (ch == ':' && hoursMode_)) && !hoursTaken_) {
      seconds_ += int64_t{number} * 3600;
      hoursTaken_ = true;
    } else if ((ch == ':' || ch == 'm') && !minutesTaken_) {
      seconds_ += int64_t{number} * 60;
      minutesTaken_ = true;
    } else if ((ch == ':' || ch == 's') && !secondsTaken_) {
      seconds_ += number;
      secondsTaken_ = true;
    } else if (ch == 'f') {
      parsed_.Frames = number;
    } else if (ch == 'm') {
      parsed_.Ms = number;
    } else if (framesMode_) {
      parsed_.Frames = number;
    } else {
      parsed_.Ms = number;
    }
  }

  std::string_view text_;
  bool framesMode_;
  bool hoursMode_;
  bool hoursTaken_ = false;
  bool minutesTaken_ = false;
  bool secondsTaken_ = false;
  int64_t seconds_ = 0;  // at most three numbers below 2^31, each times at most 3600
  TParsedTime parsed_;
};

}  // namespace

bool SetFrames(TTimeValue& value, int32_t seconds, int32_t frames) {
  if (seconds < 0 || frames < 0 || frames >= kCdFramesPerSecond) {
    return false;
  }
  value.Kind = TTimeKind::tkCdFrames;
  value.Seconds = seconds;
  value.Frames = frames;
  value.Milliseconds = frames * kMsPerSecond / kCdFramesPerSecond;
  return true;
}

bool SetMilliseconds(TTimeValue& value, int32_t seconds, int32_t ms) {
  if (seconds < 0 || ms < 0 || ms >= kMsPerSecond) {
    return false;
  }
  value.Kind = TTimeKind::tkMilliseconds;
  value.Seconds = seconds;
  value.Milliseconds = ms;
  value.Frames = ms * kCdFramesPerSecond / kMsPerSecond;
  return true;
}

void AssignTime(TTimeValue& target, const TTimeValue& source) {
  target = source;
}

int64_t PositionAt(const TTimeValue& value, int32_t rate) {
  const int64_t wideRate = rate;
  const int64_t fraction = value.Kind == TTimeKind::tkCdFrames
                               ? value.Frames * wideRate / kCdFramesPerSecond
                               : value.Milliseconds * wideRate / kMsPerSecond;
  return fraction + value.Seconds * wideRate;
}

TParsedTime ParseTime(std::string_view text, bool framesMode, bool hoursMode) {
  return TTimeParser(text, framesMode, hoursMode).Run();
}

bool ApplyParsedTime(TTimeValue& value, const TParsedTime& parsed) {
  if (parsed.Frames >= 0) {
    return SetFrames(value, parsed.Seconds, parsed.Frames);
  }
  if (parsed.Ms >= 0) {
    return SetMilliseconds(value, parsed.Seconds, parsed.Ms);
  }
  return SetFrames(value, parsed.Seconds, 0);
}

std::string FormatTimeWith(int32_t seconds, int32_t ms, int32_t frames, int32_t fractionUnit,
                           bool showHours, std::string_view hSuffix, std::string_view mSuffix,
                           std::string_view sSuffix, std::string_view msSuffix,
                           std::string_view fSuffix) {
  return FormatTimeWide(seconds, ms, frames, fractionUnit, showHours, hSuffix, mSuffix, sSuffix,
                        msSuffix, fSuffix);
}

std::string FormatTime(int32_t seconds, int32_t ms, int32_t frames) {
  return FormatTimeWideWithSettings(seconds, ms, frames);
}

std::string FormatCutPoint(const TTimeValue& point) {
  return FormatTime(point.Seconds, point.Milliseconds, point.Frames);
}

std::string FormatPosition(int32_t rate, int64_t position) {
  if (rate <= 0) {
    return FormatTime(0, 0, 0);
  }
  const int64_t rest = position % rate;
  // rest * 1000 stays far inside 64 bits: rest is below a 32-bit rate.
  return FormatTimeWideWithSettings(position / rate, rest * kMsPerSecond / rate,
                                    rest * kCdFramesPerSecond / rate);
}

std::string ZeroPad(int64_t number, int width) {
  std::string digits = std::to_string(number);
  // A sign stays in front of the padding zeros.
  const size_t signLength = number < 0 ? 1 : 0;
  if (width > 0 && digits.size() < static_cast<size_t>(width)) {
    digits.insert(signLength, static_cast<size_t>(width) - digits.size(), '0');
  }
  return digits;
}

}  // namespace zembrio
