// What a run over the frames of an MPEG source does around its walk, for the cut and the
// statistics alike: the source refused or probed, the progress shown, the corrupt stretches
// counted, the closing messages and the report. The walk itself is the derived run's.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "cut/mpegcutoptions.h"
#include "cut/runfeedback.h"
#include "cut/splitter.h"
#include "cut/stretchcounter.h"
#include "cutlist/cutpoint.h"
#include "mpeg/mpgfile.h"

namespace zembrio {

class TMpegWalkRun {
 public:
  TMpegWalkRun(TRunContext& ctx, TCPList& list, const TMpegRun& run, const TMpegCutOptions& options)
      : ctx_(ctx), feedback_(ctx.Feedback), list_(list), run_(run), options_(options) {}
  virtual ~TMpegWalkRun() = default;
  TMpegWalkRun(const TMpegWalkRun&) = delete;
  TMpegWalkRun& operator=(const TMpegWalkRun&) = delete;

  // Runs the walk with all its closing steps, messages and report.
  TRunOutcome Run();

 protected:
  // Opens and probes the source: refused (TRunError) when it holds nothing to walk.
  virtual void Prepare() = 0;
  virtual void Walk() = 0;
  // After the walk, the source closed.
  virtual void Conclude() {}
  // Stops whatever walks beside this one; the walk ended, maybe early.
  virtual void StopHelpers() {}
  // The share of the source walked, for the progress shown.
  virtual double Progress() const { return source_->Progress(); }
  // Where the line of a corrupt stretch goes: the report's error lines.
  virtual void RecordStretch(const std::string& line) { errorLines_.push_back(line); }
  // The report of a finished run.
  virtual std::vector<std::string> MakeReport();
  // After the message of a run that failed.
  virtual void OnFailure() {}
  // Lets go of what refers to the source, which goes next.
  virtual void ReleaseWalk() {}

  // The source checked, then opened and probed; skipVbrHeader: the walk starts after the
  // first frame's VBR header.
  void OpenSource(bool skipVbrHeader);
  // Reads the progress clock now and then; true once an abort was asked for.
  bool Interrupted();
  void ShowProgress(bool forced);
  // After a step on the source: the stretch it passed over is recorded.
  void RecordStretchOf(int32_t result) {
    if (stretches_.Passed(*source_))
      RecordStretch(stretches_.Count(*source_, result == EndOfData));
  }
  bool Finished() const { return outcome_ == Ok || outcome_ == EndOfData; }

  TRunContext& ctx_;
  IRunFeedback& feedback_;
  TCPList& list_;
  const TMpegRun& run_;
  const TMpegCutOptions options_;
  int32_t outcome_ = RunFailed;  // a HeaderResult while walking, or RunFailed / RunAborted
  std::unique_ptr<TMPGFile> source_;
  bool firstFrameFound_ = false;  // by the probe: the stream is known
  TStretchCounter stretches_;
  std::vector<std::string> errorLines_;

 private:
  void Begin();
  void ShowOutcomeMessage();

  TClock::time_point startTime_{};
  std::chrono::milliseconds elapsed_{0};
  // The clock is read every so many headers, not at every one: a walk passes tens of
  // thousands of frames in the display's period.
  static constexpr int kFramesPerClockRead = 64;
  int framesToClock_ = 1;
};

}  // namespace zembrio
