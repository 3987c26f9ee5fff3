#include "cut/runfeedback.h"

#include <time.h>

#include <algorithm>
#include <cmath>

namespace zembrio {

namespace {

constexpr auto kProgressPeriod = std::chrono::milliseconds(50);

// The refresh rule asks the time on every frame of a walk. The coarse monotonic clock
// answers without reading a hardware counter, several times faster, and its grain (a few
// milliseconds) is far below the period; it counts from the steady clock's origin.
TClock::time_point ProgressClockNow() {
  timespec now{};
  if (::clock_gettime(CLOCK_MONOTONIC_COARSE, &now) != 0)
    return TClock::now();
  return TClock::time_point(std::chrono::duration_cast<TClock::duration>(
      std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec)));
}

}  // namespace

int64_t RoundHalfToEven(double value) {
  const double lower = std::floor(value);
  const double diff = value - lower;
  if (diff < 0.5)
    return static_cast<int64_t>(lower);
  if (diff > 0.5)
    return static_cast<int64_t>(lower) + 1;
  const auto low = static_cast<int64_t>(lower);
  return low % 2 == 0 ? low : low + 1;
}

int ProgressBarPosition(double fraction) {
  const double clamped = std::clamp(fraction, 0.0, 1.0);
  return static_cast<int>(clamped * kProgressBarMax);
}

std::string ProgressTitle(double fraction) {
  const double clamped = std::clamp(fraction, 0.0, 1.0);
  return std::to_string(RoundHalfToEven(clamped * 100)) + "% " + kApplicationTitle;
}

std::string ReportErrorText(const std::string& text) {
  // A sentence that already ends in "." or "!" keeps its own ending; one that stops on a
  // letter or a digit gets its period.
  if (!text.empty() && static_cast<unsigned char>(text.back()) > '.')
    return text + ".";
  return text;
}

bool ProgressDue(TRunState& state, bool forced) {
  const TClock::time_point now = ProgressClockNow();
  if (!forced && now - state.LastProgressUpdate <= kProgressPeriod)
    return false;
  state.LastProgressUpdate = now;
  return true;
}

}  // namespace zembrio
