// MPEG audio: the program's own frame walk cuts, analyses and joins it.
#include "app/formats.h"

namespace zembrio {

namespace {

class TMpegFormat final : public TSourceFormat {
 public:
  TSourceKind Kind() const override { return TSourceKind::Mpeg; }

  TRunOutcome Cut(TRunContext& ctx, TCPList& list, const TCutJob& job) const override {
    TMpegRun run;
    run.Cut = true;
    run.SourcePath = job.SourcePath;
    run.OutputDir = job.OutputDir;
    return ProcessMPEG(ctx, list, run);
  }

  TRunOutcome Statistics(TRunContext& ctx, TCPList& list, const TStatsJob& job) const override {
    TMpegRun run;
    run.Cut = false;
    run.Detail = job.Detail;
    run.SourcePath = job.SourcePath;
    run.DetailPath = job.DetailPath;
    return ProcessMPEG(ctx, list, run);
  }

  bool HasStatisticsDetail() const override { return true; }
  TJoinMode JoinMode() const override { return TJoinMode::jmFrames; }
};

}  // namespace

const TSourceFormat& MpegFormat() {
  static const TMpegFormat format;
  return format;
}

}  // namespace zembrio
