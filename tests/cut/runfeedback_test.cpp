#include "cut/runfeedback.h"

#include <gtest/gtest.h>

namespace zembrio {
namespace {

TEST(RunFeedbackRules, ProgressShowsPerMilleBarAndEvenRoundedPercent) {
  struct Case {
    double fraction;
    int bar;
    const char* title;
  };
  const Case cases[] = {{0.125, 125, "12% Zembrio"}, {0.375, 375, "38% Zembrio"},
                        {0.0625, 62, "6% Zembrio"},  {1.0, 1000, "100% Zembrio"},
                        {0.0, 0, "0% Zembrio"},      {0.9999, 999, "100% Zembrio"},
                        {0.005, 5, "0% Zembrio"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fraction);
    EXPECT_EQ(ProgressBarPosition(c.fraction), c.bar);
    EXPECT_EQ(ProgressTitle(c.fraction), c.title);
  }
}

TEST(RunFeedbackRules, ErrorTextGetsAPeriodAfterALetterOrDigit) {
  EXPECT_EQ(ReportErrorText("No such file or directory"), "No such file or directory.");
  EXPECT_EQ(ReportErrorText("code 42"), "code 42.");
  EXPECT_EQ(ReportErrorText("Source invalide."), "Source invalide.");
  EXPECT_EQ(ReportErrorText("Fichier source non écrasable!"), "Fichier source non écrasable!");
  EXPECT_EQ(ReportErrorText("une durée"), "une durée.");  // an accented letter is a letter
  EXPECT_EQ(ReportErrorText(""), "");
}

TEST(RunFeedbackRules, ProgressIsDueWhenForcedOrAfterThePeriod) {
  TRunState state;
  state.LastProgressUpdate = TClock::now() + std::chrono::hours(1);
  EXPECT_FALSE(ProgressDue(state, false));
  EXPECT_TRUE(ProgressDue(state, true));
  EXPECT_LE(state.LastProgressUpdate, TClock::now());

  state.LastProgressUpdate = TClock::now() - std::chrono::seconds(1);
  const TClock::time_point before = state.LastProgressUpdate;
  EXPECT_TRUE(ProgressDue(state, false));
  EXPECT_GT(state.LastProgressUpdate, before);
}

}  // namespace
}  // namespace zembrio
