// Where each fragment of an MPEG cut starts and ends, in frames of the walk and samples of
// the stream: which frame starts the next cut point, which fragments last nothing, how many
// samples each fragment's header frame says to trim, and the mark that lets a join of
// consecutive fragments leave their shared frames out. No files: the walk hands over the
// frames' sample ranges.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "cut/fragmentoutput.h"
#include "cut/mpegcutoptions.h"
#include "cutlist/cutpoint.h"
#include "mpeg/xingheader.h"

namespace zembrio {

// Where a fragment lies in the source, in frames of the walk and samples of the stream (the
// encoder delay included).
struct TFragmentSpan {
  int64_t FirstFrame = 0;  // its first audio frame (after a priming frame)
  int64_t StartFrame = 0;  // the frame holding its stretch's first sample
  int64_t Start = 0;       // its stretch's first sample
  int64_t End = -1;        // the sample after its last; -1: the source's end
  int64_t EndFrame = -1;   // the frame holding End
};

// What a fragment's output holds once its frames are written.
struct TWrittenFrames {
  int64_t Audio = 0;    // audio frames, the priming frame left out
  bool Primed = false;  // a priming frame went first
};

// The same for every fragment of one cut of one source (FNV-1a of its name and size): a join
// leaves shared frames out only between fragments of the same source.
uint32_t SourceId(const std::string& path, int64_t size);

class TFragmentPlanner {
 public:
  // The cut's fragments start at the points of list, in order.
  TFragmentPlanner(const TCPList& list, const TMpegCutOptions& options);

  // Once the source is probed: its stream as far as known, what its own header frame says
  // (its LAME extension's delay and padding) and its identity for the marks.
  void Start(int32_t sampleRate, int32_t layer, const std::optional<TLameTag>& lame,
             uint32_t sourceId);
  // The reference stream as the walk knows it now (a source whose first frame was not found
  // by the probe learns it at its first frame).
  void SetStream(int32_t sampleRate, int32_t layer) {
    sampleRate_ = sampleRate;
    layer_ = layer;
  }

  // Header frames before Layer III frames: neighbouring fragments share frames and the
  // header frames say what to trim.
  bool SharesFrames() const;
  // Every fragment goes through the reservoir and starts with a priming frame.
  bool PrimesFragments() const { return primeFragments_; }
  bool Exact() const { return exact_; }

  // The index of the next cut point to start; list.Count() when none is left.
  int Next() const { return next_; }
  bool HasNext() const { return next_ < list_.Count(); }
  void Advance() { ++next_; }

  // The sample of a cut point on the timeline the frames are chosen on: with header frames,
  // the one that plays at the point's time, after the source's encoder delay.
  int64_t TargetOf(const TCutPoint& point) const;
  int64_t NextTarget() const;
  // Whether a cut point whose sample is target starts at the frame of samples start..end.
  bool StartsAt(int64_t target, int64_t start, int64_t end) const;
  // Whether the frame of samples start..end starts the next cut point; lastFrame: it is the
  // last frame of the audio data, and endSample the stream's end so far.
  bool FrameStartsNext(int64_t start, int64_t end, bool lastFrame, int64_t endSample) const;
  // The next cut point after the one starting at the frame start..end starts at the same
  // place: the fragment starting there lasts nothing.
  bool StartsEmpty(int64_t start, int64_t end) const;
  // The end of the stream's samples on the timeline of the targets, once the walk is over.
  int64_t StreamEnd(int64_t endSample) const;
  // The stream sample at which the stretch of point starts when frameStart starts it.
  int64_t StretchStart(const TCutPoint& point, int64_t frameStart) const;
  // The start of that stretch as it plays, for the report.
  int64_t ShownStart(int64_t stretchStart, int64_t frameStart) const;
  // Where a fragment's own samples start: its point, or with header frames the later of its
  // point and its stretch's start.
  int64_t OwnStart(const TCutPoint& point, int64_t stretchStart) const;

  // The frame of samples ending at endSample is kept whole: the next one starts a fragment.
  bool KeepsFrameBefore(int64_t endSample, int64_t perFrame) const;
  // The frames ending at endSample pass through the reservoir: the next cut point is near.
  bool ReservoirWanted(int64_t endSample, int64_t perFrame) const;
  // A fragment whose stretch starts less than a granule into its frame begins one frame
  // earlier, with that frame in its priming frame.
  bool WantsWarmUpFrame(int64_t start, int64_t startFrame, int64_t perFrame) const;
  // A fragment whose stretch ends at end takes the frames before this one.
  int64_t ClosingUntil(int64_t end, int64_t perFrame) const;

  // What a fragment's header frame says to trim, and with shared frames its mark.
  // endsStream: the fragment runs to the end of a walk that ended with the audio data.
  TFragmentTrim TrimOf(const TFragmentSpan& span, const TWrittenFrames& written, int64_t perFrame,
                       bool endsStream) const;
  // Whether the fragment ends with the source's ID3v1 tag, when the source has one.
  bool TakesEndTag(bool last) const;

 private:
  int64_t SourceDelay() const;
  TFragmentMark MarkOf(const TFragmentSpan& span, int64_t audioFrames) const;

  const TCPList& list_;
  const TMpegCutOptions options_;
  bool primeFragments_ = false;
  bool exact_ = false;  // ADJUSTSTART "exacte" with somewhere to write the trim
  int32_t sampleRate_ = 0;
  int32_t layer_ = 0;
  std::optional<TLameTag> lame_;
  uint32_t sourceId_ = 0;
  int next_ = 0;
  mutable int targetOf_ = -1;  // the cut point whose sample target_ holds
  mutable int64_t target_ = 0;
};

}  // namespace zembrio
