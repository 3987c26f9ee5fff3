#include "cut/fragmentplan.h"

#include <algorithm>

#include "core/timevalue.h"
#include "mpeg/xingheader.h"

namespace zembrio {

namespace {

// The decoder's overlap-add needs the granule before the first exact sample: a fragment
// starts at the frame holding the sample this many samples earlier.
constexpr int64_t kWarmUpSamples = 576;
// And it needs to decode this many samples past a stretch's last one to finish it.
constexpr int64_t kFinishSamples = 1152;
// A fragment's first frames take at most 511 bytes from the frames before them, which even
// the smallest frames hold within a dozen: far from the next cut point the reservoir rests.
constexpr int64_t kReservoirLeadFrames = 64;

// Rounds towards minus infinity: a stretch may start within the first granule.
int64_t FloorDiv(int64_t a, int64_t b) {
  return a >= 0 ? a / b : -((-a + b - 1) / b);
}

}  // namespace

uint32_t SourceId(const std::string& path, int64_t size) {
  uint32_t hash = 2166136261u;
  const auto mix = [&hash](uint8_t byte) { hash = (hash ^ byte) * 16777619u; };
  for (char c : path)
    mix(static_cast<uint8_t>(c));
  for (int shift = 0; shift < 64; shift += 8)
    mix(static_cast<uint8_t>(static_cast<uint64_t>(size) >> shift));
  return hash;
}

TFragmentPlanner::TFragmentPlanner(const TCPList& list, const TMpegCutOptions& options)
    : list_(list), options_(options), primeFragments_(options.XINGHEADER) {}

void TFragmentPlanner::Start(int32_t sampleRate, int32_t layer, const std::optional<TLameTag>& lame,
                             uint32_t sourceId) {
  SetStream(sampleRate, layer);
  lame_ = lame;
  sourceId_ = sourceId;
  // Known from the probe or never: a stream found only further on cuts at frames.
  exact_ = SharesFrames() && options_.ADJUSTSTART == kStartExact;
  next_ = 0;
  targetOf_ = -1;
}

bool TFragmentPlanner::SharesFrames() const {
  return primeFragments_ && layer_ == kLayerIII;
}

int64_t TFragmentPlanner::SourceDelay() const {
  return lame_ ? lame_->Delay : kDefaultEncoderDelay;
}

// With header frames a fragment plays from the first sample after the encoder delay, as a
// gapless player plays the source: every mode reads the point's time on that timeline.
// Without them, the frames as they are.
int64_t TFragmentPlanner::TargetOf(const TCutPoint& point) const {
  const int64_t sample = PositionAt(point, sampleRate_);
  return SharesFrames() ? sample + SourceDelay() : sample;
}

// Asked for at every frame, twice: the sample is worked out once per cut point.
int64_t TFragmentPlanner::NextTarget() const {
  if (targetOf_ != next_) {
    target_ = TargetOf(list_[next_]);
    targetOf_ = next_;
  }
  return target_;
}

bool TFragmentPlanner::StartsAt(int64_t target, int64_t start, int64_t end) const {
  if (SharesFrames()) {  // the encoder delay never plays: the first frame starts after it
    start = std::max(start, SourceDelay());
    end = std::max(end, SourceDelay());
  }
  int32_t mode = options_.ADJUSTSTART;
  if (mode == kStartExact && !exact_)  // nowhere to write the trim: the nearest frame
    mode = kStartNearest;
  switch (mode) {
    case kStartExact:
      return target < end;
    case kStartPrevious:
      return target <= end;
    case kStartNearest:
      return target <= start + (end - start) / 2;
    case kStartNext:
      return target <= start;
    default:
      return false;
  }
}

// A point at or past the end of the stream starts nothing at its last frame: that frame
// ends the fragment before it.
bool TFragmentPlanner::FrameStartsNext(int64_t start, int64_t end, bool lastFrame,
                                       int64_t endSample) const {
  if (lastFrame && NextTarget() >= StreamEnd(endSample))
    return false;
  return StartsAt(NextTarget(), start, end);
}

// In exact mode the following point must also start at the same sample: nothing lies
// between them.
bool TFragmentPlanner::StartsEmpty(int64_t start, int64_t end) const {
  if (next_ + 1 >= list_.Count())
    return false;
  const int64_t following = TargetOf(list_[next_ + 1]);
  if (!StartsAt(following, start, end))
    return false;
  return !exact_ || following <= NextTarget();
}

int64_t TFragmentPlanner::StreamEnd(int64_t endSample) const {
  if (!SharesFrames())
    return endSample;
  return endSample - (lame_ ? lame_->Padding : 0);
}

int64_t TFragmentPlanner::StretchStart(const TCutPoint& point, int64_t frameStart) const {
  if (exact_)
    return TargetOf(point);
  // The encoder delay is no part of any fragment's stretch.
  return std::max(frameStart, SourceDelay());
}

int64_t TFragmentPlanner::ShownStart(int64_t stretchStart, int64_t frameStart) const {
  return SharesFrames() ? stretchStart - SourceDelay() : frameStart;
}

int64_t TFragmentPlanner::OwnStart(const TCutPoint& point, int64_t stretchStart) const {
  const int64_t target = TargetOf(point);
  return SharesFrames() ? std::max(stretchStart, target) : target;
}

// The frames of a stream all hold as many samples, and the count goes on over frame errors.
bool TFragmentPlanner::KeepsFrameBefore(int64_t endSample, int64_t perFrame) const {
  return SharesFrames() && HasNext() && StartsAt(NextTarget(), endSample, endSample + perFrame);
}

bool TFragmentPlanner::ReservoirWanted(int64_t endSample, int64_t perFrame) const {
  return SharesFrames() && HasNext() && NextTarget() - endSample < kReservoirLeadFrames * perFrame;
}

bool TFragmentPlanner::WantsWarmUpFrame(int64_t start, int64_t startFrame, int64_t perFrame) const {
  return SharesFrames() && FloorDiv(start - kWarmUpSamples, perFrame) < startFrame;
}

int64_t TFragmentPlanner::ClosingUntil(int64_t end, int64_t perFrame) const {
  return (end + kFinishSamples + perFrame - 1) / perFrame;
}

// The delay trims what comes before the stretch (the source's encoder delay, a priming and
// a warm-up frame), the padding what comes after it: the source's padding, or the frames
// that finish it. A fragment cut short ends where it ends.
TFragmentTrim TFragmentPlanner::TrimOf(const TFragmentSpan& span, const TWrittenFrames& written,
                                       int64_t perFrame, bool endsStream) const {
  TFragmentTrim trim;
  int64_t delay = span.Start - span.FirstFrame * perFrame;
  if (written.Primed)  // the priming frame plays silence
    delay += perFrame;
  int64_t padding = 0;
  if (span.End >= 0) {
    padding = std::max<int64_t>(0, (span.FirstFrame + written.Audio) * perFrame - span.End);
  } else if (endsStream && lame_) {
    padding = lame_->Padding;
  }
  trim.Delay = static_cast<int32_t>(std::clamp<int64_t>(delay, 0, kMaxDelayOrPadding));
  trim.Padding = static_cast<int32_t>(std::clamp<int64_t>(padding, 0, kMaxDelayOrPadding));
  if (SharesFrames())
    trim.Mark = MarkOf(span, written.Audio);
  return trim;
}

// Where the fragment's frames lie in the source, for a join of consecutive fragments.
TFragmentMark TFragmentPlanner::MarkOf(const TFragmentSpan& span, int64_t audioFrames) const {
  TFragmentMark mark;
  mark.Source = sourceId_;
  mark.FirstFrame = span.FirstFrame;
  mark.Leading = static_cast<int32_t>(span.StartFrame - span.FirstFrame);
  if (span.EndFrame >= 0) {
    mark.Trailing =
        static_cast<int32_t>(std::max<int64_t>(0, span.FirstFrame + audioFrames - span.EndFrame));
  }
  return mark;
}

bool TFragmentPlanner::TakesEndTag(bool last) const {
  const int32_t rule = options_.ID3V1TAG;
  return rule == kTagInEveryFragment || (rule == kTagInLastFragment && last);
}

}  // namespace zembrio
