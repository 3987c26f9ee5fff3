// What a run over the frames of an MPEG source does around its walk, for the cut and the
// statistics alike: the source refused or probed, the corrupt stretches counted, the
// position shown, the closing message and the report. The walk itself is the derived run's.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "cut/mpegcutoptions.h"
#include "cut/sourcewalkrun.h"
#include "cut/stretchcounter.h"
#include "cutlist/cutpoint.h"
#include "mpeg/mpgfile.h"

namespace zembrio {

// The walk keeps its last step's HeaderResult as the run's outcome: a walk that read the
// source to its end is a run that reached it.
static_assert(static_cast<int32_t>(EndOfData) == static_cast<int32_t>(RunEndOfData));

class TMpegWalkRun : public TCutListRun {
 public:
  TMpegWalkRun(TRunContext& ctx, TCPList& list, const TMpegRun& run, const TMpegCutOptions& options)
      : TCutListRun(ctx, list, run.Cut ? kCutStateText : kStatsStateText),
        run_(run),
        options_(options) {}

 protected:
  // Stops whatever walks beside this one; the walk ended, maybe early.
  virtual void StopHelpers() {}
  // Where the line of a corrupt stretch goes: the report's error lines.
  virtual void RecordStretch(const std::string& line) { errorLines_.push_back(line); }
  // Lets go of what refers to the source, which goes next.
  virtual void ReleaseWalk() {}

  double Progress() const override { return source_->Progress(); }
  std::string ShownPosition() const override;
  std::vector<std::string> MakeReport() override;

  // The source checked, then opened and probed; skipVbrHeader: the walk starts after the
  // first frame's VBR header.
  void OpenSource(bool skipVbrHeader);
  // Reads the progress clock now and then; true once an abort was asked for.
  bool Interrupted();
  // After a step on the source: the stretch it passed over is recorded.
  void RecordStretchOf(int32_t result) {
    if (stretches_.Passed(*source_))
      RecordStretch(stretches_.Count(*source_, result == EndOfData));
  }
  bool Finished() const { return outcome_ == Ok || outcome_ == EndOfData; }

  const TMpegRun& run_;
  const TMpegCutOptions options_;
  std::unique_ptr<TMPGFile> source_;
  bool firstFrameFound_ = false;  // by the probe: the stream is known
  TStretchCounter stretches_;
  std::vector<std::string> errorLines_;

 private:
  void StopWalk() final;
  void ShowFinishedMessage() final;
  void ReleaseSource() final;

  // The clock is read every so many headers, not at every one: a walk passes tens of
  // thousands of frames in the display's period.
  static constexpr int kFramesPerClockRead = 64;
  int framesToClock_ = 1;
};

}  // namespace zembrio
