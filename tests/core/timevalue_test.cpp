#include "core/timevalue.h"

#include <gtest/gtest.h>

#include "core/settings.h"

namespace zembrio {
namespace {

TTimeValue Frames(int32_t seconds, int32_t frames) {
  TTimeValue value;
  EXPECT_TRUE(SetFrames(value, seconds, frames));
  return value;
}

TTimeValue Millis(int32_t seconds, int32_t ms) {
  TTimeValue value;
  EXPECT_TRUE(SetMilliseconds(value, seconds, ms));
  return value;
}

void ExpectSame(const TTimeValue& a, const TTimeValue& b) {
  EXPECT_EQ(a.Kind, b.Kind);
  EXPECT_EQ(a.Seconds, b.Seconds);
  EXPECT_EQ(a.Milliseconds, b.Milliseconds);
  EXPECT_EQ(a.Frames, b.Frames);
}

std::string Default(int32_t seconds, int32_t ms, int32_t frames, int32_t unit, bool hours) {
  return FormatTimeWith(seconds, ms, frames, unit, hours, "h ", "m ", "s ", "ms", "f");
}

TEST(TimeSetters, DeriveTheOtherFractionByTruncation) {
  const TTimeValue f = Frames(10, 74);
  EXPECT_EQ(f.Kind, TTimeKind::tkCdFrames);
  EXPECT_EQ(f.Milliseconds, 986);
  EXPECT_EQ(Frames(0, 1).Milliseconds, 13);

  const TTimeValue m = Millis(0, 999);
  EXPECT_EQ(m.Kind, TTimeKind::tkMilliseconds);
  EXPECT_EQ(m.Frames, 74);
  EXPECT_EQ(Millis(0, 13).Frames, 0);
}

TEST(TimeSetters, OutOfRangeChangesNothing) {
  const TTimeValue before = Frames(7, 3);
  TTimeValue value = before;
  EXPECT_FALSE(SetFrames(value, 10, 75));
  EXPECT_FALSE(SetFrames(value, -1, 0));
  EXPECT_FALSE(SetFrames(value, 1, -1));
  EXPECT_FALSE(SetMilliseconds(value, 0, 1000));
  EXPECT_FALSE(SetMilliseconds(value, -1, 0));
  EXPECT_FALSE(SetMilliseconds(value, 0, -1));
  ExpectSame(value, before);
}

TEST(PositionAt, UsesTheFractionNamedByKind) {
  EXPECT_EQ(PositionAt(Frames(2, 37), 44100), 109956);
  EXPECT_EQ(PositionAt(Millis(2, 500), 44100), 110250);
  // The same value set as frames: 37 frames are 493 ms, yet the frames are what counts.
  TTimeValue mixed = Frames(2, 37);
  EXPECT_EQ(mixed.Milliseconds, 493);
  EXPECT_NE(PositionAt(mixed, 44100), 88200 + 493 * 44100 / 1000);
}

TEST(PositionAt, StaysExactBeyondThirtyTwoBits) {
  // 13 hours at 48 kHz is past 2^31 samples.
  EXPECT_EQ(PositionAt(Frames(13 * 3600, 0), 48000), int64_t{13} * 3600 * 48000);
  EXPECT_EQ(PositionAt(Millis(INT32_MAX, 999), 192000),
            int64_t{INT32_MAX} * 192000 + 999LL * 192000 / 1000);
}

TEST(FormatTimeWith, BuildsMinutesSecondsAndFraction) {
  EXPECT_EQ(Default(3725, 0, 40, 1, false), "62m 05s 40f");
  EXPECT_EQ(Default(3725, 0, 40, 1, true), "1h 02m 05s 40f");
  EXPECT_EQ(Default(3725, 7, 0, 0, false), "62m 05s 007ms");
  EXPECT_EQ(Default(6000, 0, 0, 1, false), "100m 00s 00f");
  EXPECT_EQ(Default(300, 0, 0, 1, true), "0h 05m 00s 00f");
  EXPECT_EQ(FormatTimeWith(61, 5, 0, 0, true, "", ":", ".", "", ""), "001:01.005");
}

// The display settings at their defaults for one test, and restored after it.
class DisplaySettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = Settings();
    TSettings& s = Settings();
    s.TIME_TYPE = 1;
    s.TIME_SHOWH = false;
    s.TIME_H = "h ";
    s.TIME_M = "m ";
    s.TIME_S = "s ";
    s.TIME_MS = "ms";
    s.TIME_F = "f";
  }
  void TearDown() override { Settings() = saved_; }

 private:
  TSettings saved_;
};

TEST_F(DisplaySettingsTest, FormatTimeFollowsTheSettings) {
  TSettings& s = Settings();
  s.TIME_TYPE = 0;
  s.TIME_SHOWH = true;
  s.TIME_H = ":";
  s.TIME_M = ":";
  s.TIME_S = ".";
  s.TIME_MS = "";
  // A cut point set in frames still shows the configured unit.
  EXPECT_EQ(FormatCutPoint(Frames(3725, 40)), "1:02:05.533");
  EXPECT_EQ(FormatPosition(44100, 44100 * 65 + 22050), "0:01:05.500");
}

TEST_F(DisplaySettingsTest, FormatPositionSplitsSamplesIntoTimeAndFraction) {
  EXPECT_EQ(FormatPosition(44100, 44100 * 65 + 22050), "01m 05s 37f");
  EXPECT_EQ(FormatPosition(48000, int64_t{48000} * 50000), "833m 20s 00f");
  // Seconds beyond 32 bits still show.
  EXPECT_EQ(FormatPosition(1, int64_t{1} << 40), std::to_string((int64_t{1} << 40) / 60) + "m " +
                                                     std::to_string((int64_t{1} << 40) % 60) +
                                                     "s 00f");
  EXPECT_EQ(FormatPosition(0, 12345), "00m 00s 00f");
  EXPECT_EQ(FormatPosition(-8, 12345), "00m 00s 00f");
}

TEST(ZeroPad, PadsToWidthOnly) {
  EXPECT_EQ(ZeroPad(7, 3), "007");
  EXPECT_EQ(ZeroPad(1234, 2), "1234");
  EXPECT_EQ(ZeroPad(0, 0), "0");
  EXPECT_EQ(ZeroPad(-5, 3), "-05");
}

void ExpectParsed(std::string_view text, bool framesMode, bool hoursMode, int32_t seconds,
                  int32_t frames, int32_t ms) {
  SCOPED_TRACE(text);
  const TParsedTime parsed = ParseTime(text, framesMode, hoursMode);
  EXPECT_EQ(parsed.Seconds, seconds);
  EXPECT_EQ(parsed.Frames, frames);
  EXPECT_EQ(parsed.Ms, ms);
}

TEST(ParseTime, ReadsEachNumberByTheCharacterThatEndsIt) {
  ExpectParsed("", true, false, 0, -1, -1);
  ExpectParsed("no digits here", true, false, 0, -1, -1);
  ExpectParsed("03m 05s 07f", true, false, 185, 7, -1);
  ExpectParsed("03m 05s 123ms", false, false, 185, -1, 123);
  ExpectParsed("03:25:00", true, false, 205, 0, -1);
  ExpectParsed("1:30", true, false, 60, 30, -1);
  ExpectParsed("1:30", false, false, 60, -1, 30);
  ExpectParsed("1:02:03", true, true, 3720, 3, -1);
  ExpectParsed("1h 2m 3s 4f 5", false, false, 3723, 4, 5);
  // Letters are case-sensitive and a later fraction overwrites an earlier one.
  ExpectParsed("2H", true, false, 0, 2, -1);
  ExpectParsed("5f 6f", true, false, 0, 6, -1);
  ExpectParsed("-7", true, false, 0, 7, -1);
  // A second "h" finds hours taken and falls through to the fraction.
  ExpectParsed("1h 2h", true, false, 3600, 2, -1);
}

TEST(ParseTime, ReadsBackTheDefaultDisplayText) {
  for (int32_t seconds : {0, 59, 185, 3725, 86399, 400000}) {
    for (int32_t fraction : {0, 7, 74}) {
      for (bool hours : {false, true}) {
        const TParsedTime f = ParseTime(Default(seconds, 0, fraction, 1, hours), true, hours);
        EXPECT_EQ(f.Seconds, seconds);
        EXPECT_EQ(f.Frames, fraction);
        const TParsedTime m = ParseTime(Default(seconds, fraction * 13, 0, 0, hours), false, hours);
        EXPECT_EQ(m.Seconds, seconds);
        EXPECT_EQ(m.Ms, fraction * 13);
      }
    }
  }
}

TEST(ParseTime, RejectsNumbersBeyondThirtyTwoBits) {
  EXPECT_EQ(ParseTime("2147483647", false, false).Ms, 2147483647);
  EXPECT_EQ(ParseTime("00000000000000000009s", false, false).Seconds, 9);
  try {
    ParseTime("3m 99999999999s", false, false);
    FAIL() << "no error";
  } catch (const TConversionError& error) {
    EXPECT_STREQ(error.what(), "« 99999999999 » n'est pas un nombre entier valide");
  }
  // Each number fits, the sum of the units does not.
  EXPECT_THROW(ParseTime("999999h", false, false), TConversionError);
  EXPECT_EQ(ParseTime("596523h", false, false).Seconds, 596523 * 3600);
}

TEST(ApplyParsedTime, PicksTheSetterByTheFractionGiven) {
  TTimeValue value;
  ApplyParsedTime(value, ParseTime("", true, false));
  ExpectSame(value, Frames(0, 0));

  ApplyParsedTime(value, ParseTime("01:05:250", false, false));
  ExpectSame(value, Millis(65, 250));

  // 90 frames is out of range: the value stays.
  ApplyParsedTime(value, ParseTime("90", true, false));
  ExpectSame(value, Millis(65, 250));
}

}  // namespace
}  // namespace zembrio
