#include "cut/fragmentplan.h"

#include <gtest/gtest.h>

#include "core/timevalue.h"
#include "mpeg/xingheader.h"

namespace zembrio::test {
namespace {

constexpr int32_t kRate = 44100;
constexpr int64_t kPerFrame = 1152;
constexpr int32_t kLayerII = 2;  // the header's layer code

// Layer III at 44100 Hz, frames of 1152 samples: frame n holds samples n*1152..(n+1)*1152.
class FragmentPlanTest : public ::testing::Test {
 protected:
  void AddPoint(int seconds, int ms) {
    TCutPoint& point = list_.Add();
    SetMilliseconds(point, seconds, ms);
  }
  // A cut with the given options; lame: the source's header frame says delay and padding.
  TFragmentPlanner& Plan(const TMpegCutOptions& options, std::optional<TLameTag> lame = {},
                         int32_t layer = kLayerIII) {
    plan_.emplace(list_, options);
    plan_->Start(kRate, layer, lame, 7);
    return *plan_;
  }
  static TMpegCutOptions Options(int32_t adjust, bool headerFrames) {
    TMpegCutOptions options;
    options.ADJUSTSTART = adjust;
    options.XINGHEADER = headerFrames;
    return options;
  }
  static bool StartsAtFrame(const TFragmentPlanner& plan, int64_t frame) {
    return plan.StartsAt(plan.NextTarget(), frame * kPerFrame, (frame + 1) * kPerFrame);
  }
  // The first frame that starts the next cut point.
  static int64_t FirstFrameOf(const TFragmentPlanner& plan) {
    int64_t frame = 0;
    while (!StartsAtFrame(plan, frame))
      ++frame;
    return frame;
  }

  TCPList list_;
  std::optional<TFragmentPlanner> plan_;
};

// 1.000 s = sample 44100 lies in frame 38 (43776..44928, middle 44352); 1.280 s = sample
// 56448 is the boundary of frames 48 and 49. Without header frames "exacte" has nowhere to
// write its trim and cuts as the nearest frame does.
TEST_F(FragmentPlanTest, EachAdjustModeChoosesItsFrameWithoutHeaderFrames) {
  struct Case {
    int32_t adjust;
    int ms;
    int64_t frame;
  };
  const Case cases[] = {{kStartPrevious, 0, 38},   {kStartNearest, 0, 38},
                        {kStartNext, 0, 39},       {kStartExact, 0, 38},
                        {kStartPrevious, 280, 48}, {kStartNearest, 280, 49},
                        {kStartNext, 280, 49},     {kStartExact, 280, 49}};
  for (const Case& c : cases) {
    SCOPED_TRACE("ADJUSTSTART " + std::to_string(c.adjust) + ", ms " + std::to_string(c.ms));
    list_.Clear();
    AddPoint(1, c.ms);
    const TFragmentPlanner& plan = Plan(Options(c.adjust, false));
    EXPECT_FALSE(plan.SharesFrames());
    EXPECT_FALSE(plan.Exact());
    EXPECT_EQ(FirstFrameOf(plan), c.frame);
  }
}

// With header frames the point is read on the timeline that plays, after the encoder delay.
TEST_F(FragmentPlanTest, HeaderFramesMoveTheTargetByTheSourceDelay) {
  AddPoint(1, 0);
  TLameTag lame;
  lame.Delay = 1105;
  lame.Padding = 300;
  const TFragmentPlanner& plan = Plan(Options(kStartExact, true), lame);
  ASSERT_TRUE(plan.SharesFrames());
  ASSERT_TRUE(plan.Exact());
  EXPECT_EQ(plan.NextTarget(), 44100 + 1105);
  EXPECT_EQ(FirstFrameOf(plan), (44100 + 1105) / kPerFrame);
  EXPECT_EQ(plan.StretchStart(list_[0], 39 * kPerFrame), 44100 + 1105);
  EXPECT_EQ(plan.ShownStart(44100 + 1105, 39 * kPerFrame), 44100);
  EXPECT_EQ(plan.StreamEnd(100 * kPerFrame), 100 * kPerFrame - 300);
  // Without a LAME extension the usual decoder delay stands in.
  EXPECT_EQ(Plan(Options(kStartExact, true)).NextTarget(), 44100 + kDefaultEncoderDelay);
  // Layer II streams have no header frame to trim with: frames as they are.
  const TFragmentPlanner& layerII = Plan(Options(kStartExact, true), lame, kLayerII);
  EXPECT_FALSE(layerII.SharesFrames());
  EXPECT_EQ(layerII.NextTarget(), 44100);
}

TEST_F(FragmentPlanTest, PointsSharingAStartLeaveAnEmptyFragment) {
  AddPoint(1, 0);
  AddPoint(1, 0);
  AddPoint(1, 10);
  TFragmentPlanner& frames = Plan(Options(kStartNearest, false));
  EXPECT_TRUE(frames.StartsEmpty(38 * kPerFrame, 39 * kPerFrame));
  frames.Advance();  // 1.010 s is sample 44541: frame 38 too, past its middle
  EXPECT_FALSE(frames.StartsEmpty(38 * kPerFrame, 39 * kPerFrame));

  // In exact mode only the same sample makes an empty fragment.
  TFragmentPlanner& exact = Plan(Options(kStartExact, true));
  const int64_t frame = exact.NextTarget() / kPerFrame;
  EXPECT_TRUE(exact.StartsEmpty(frame * kPerFrame, (frame + 1) * kPerFrame));
  exact.Advance();
  EXPECT_FALSE(exact.StartsEmpty(frame * kPerFrame, (frame + 1) * kPerFrame));
  exact.Advance();
  EXPECT_FALSE(exact.StartsEmpty(frame * kPerFrame, (frame + 1) * kPerFrame));  // the last
}

// A point at or past the stream's end starts nothing at the last frame.
TEST_F(FragmentPlanTest, TheLastFrameStartsNoPointAtOrPastTheEnd) {
  AddPoint(1, 0);
  const TFragmentPlanner& plan = Plan(Options(kStartPrevious, false));
  EXPECT_TRUE(plan.FrameStartsNext(38 * kPerFrame, 39 * kPerFrame, false, 39 * kPerFrame));
  EXPECT_TRUE(plan.FrameStartsNext(38 * kPerFrame, 39 * kPerFrame, true, 39 * kPerFrame));
  EXPECT_FALSE(plan.FrameStartsNext(37 * kPerFrame, 44100, true, 44100));
}

// The trim covers the frames before the stretch (a priming frame plays silence) and after
// its end; the mark says how many frames the neighbours share.
TEST_F(FragmentPlanTest, TrimAndMarkOfAFragmentBetweenTwoOthers) {
  AddPoint(1, 0);
  TLameTag lame;
  lame.Delay = 576;
  lame.Padding = 1000;
  const TFragmentPlanner& plan = Plan(Options(kStartExact, true), lame);
  TFragmentSpan span;
  span.FirstFrame = 37;  // a warm-up frame before the stretch's frame
  span.StartFrame = 38;
  span.Start = 44100 + 576;
  span.End = 90000;
  span.EndFrame = 78;
  const TFragmentTrim trim = plan.TrimOf(span, {43, true}, kPerFrame, false);
  EXPECT_EQ(trim.Delay, 44676 - 37 * 1152 + 1152);
  EXPECT_EQ(trim.Padding, (37 + 43) * 1152 - 90000);
  ASSERT_TRUE(trim.Mark);
  EXPECT_EQ(trim.Mark->Source, 7u);
  EXPECT_EQ(trim.Mark->FirstFrame, 37);
  EXPECT_EQ(trim.Mark->Leading, 1);
  EXPECT_EQ(trim.Mark->Trailing, 37 + 43 - 78);

  // The last fragment of a finished walk ends with the source's padding; cut short, with
  // none.
  span.End = -1;
  span.EndFrame = -1;
  EXPECT_EQ(plan.TrimOf(span, {43, true}, kPerFrame, true).Padding, 1000);
  EXPECT_EQ(plan.TrimOf(span, {43, true}, kPerFrame, false).Padding, 0);
  EXPECT_EQ(plan.TrimOf(span, {43, true}, kPerFrame, true).Mark->Trailing, 0);
  // Values beyond the header's 12 bits are clamped.
  span.Start = 100000;
  span.FirstFrame = 0;
  EXPECT_EQ(plan.TrimOf(span, {43, false}, kPerFrame, true).Delay, kMaxDelayOrPadding);
}

TEST_F(FragmentPlanTest, FramesKeptAndClosingAroundACutPoint) {
  AddPoint(1, 0);  // target 44100 + 576 = 44676: frame 38
  const TFragmentPlanner& plan = Plan(Options(kStartExact, true));
  EXPECT_TRUE(plan.KeepsFrameBefore(38 * kPerFrame, kPerFrame));  // the frame before 38
  EXPECT_FALSE(plan.KeepsFrameBefore(36 * kPerFrame, kPerFrame));
  EXPECT_TRUE(plan.ReservoirWanted(0, kPerFrame));  // within 64 frames
  EXPECT_FALSE(plan.ReservoirWanted(-64 * kPerFrame + 44676, kPerFrame));
  // A stretch starting less than a granule into its frame wants the frame before.
  EXPECT_TRUE(plan.WantsWarmUpFrame(38 * kPerFrame + 575, 38, kPerFrame));
  EXPECT_FALSE(plan.WantsWarmUpFrame(38 * kPerFrame + 576, 38, kPerFrame));
  EXPECT_TRUE(plan.WantsWarmUpFrame(100, 0, kPerFrame));
  // A stretch ending at sample 44676 is finished by the frames up to 44676 + 1152.
  EXPECT_EQ(plan.ClosingUntil(44676, kPerFrame), (44676 + 1152 + 1151) / 1152);

  const TFragmentPlanner& frames = Plan(Options(kStartExact, false));
  EXPECT_FALSE(frames.KeepsFrameBefore(38 * kPerFrame, kPerFrame));
  EXPECT_FALSE(frames.ReservoirWanted(0, kPerFrame));
  EXPECT_FALSE(frames.WantsWarmUpFrame(100, 0, kPerFrame));
}

TEST_F(FragmentPlanTest, TheEndTagGoesWhereID3V1TAGSays) {
  for (const int32_t rule : {0, kTagInLastFragment, kTagInEveryFragment}) {
    TMpegCutOptions options;
    options.ID3V1TAG = rule;
    const TFragmentPlanner& plan = Plan(options);
    EXPECT_EQ(plan.TakesEndTag(true), rule != 0);
    EXPECT_EQ(plan.TakesEndTag(false), rule == kTagInEveryFragment);
  }
}

}  // namespace
}  // namespace zembrio::test
