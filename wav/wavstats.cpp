#include "wav/wavstats.h"

#include <optional>

#include "cut/sourcewalkrun.h"
#include "cut/statsreport.h"
#include "wav/wavfile.h"
#include "wav/wavreport.h"

namespace zembrio {

namespace {

// The header and the chunks are read at once: the run has no walk to show.
class TWavStatsRun : public TSourceWalkRun {
 public:
  TWavStatsRun(TRunContext& ctx, const std::string& path)
      : TSourceWalkRun(ctx, kStatsStateText), path_(path) {}

 private:
  void Prepare() override { source_.emplace(path_); }
  void Walk() override { outcome_ = RunEndOfData; }
  void StopWalk() override { feedback_.SetProgress(Progress()); }
  double Progress() const override { return 1.0; }
  std::string ShownPosition() const override;
  std::vector<std::string> MakeReport() override;

  const std::string path_;
  std::optional<TWavFile> source_;
};

std::string TWavStatsRun::ShownPosition() const {
  if (!source_)
    return PositionText(0, 0);
  return PositionText(static_cast<int32_t>(source_->Format().SampleRate), source_->Samples());
}

std::vector<std::string> TWavStatsRun::MakeReport() {
  TWavReportInput input;
  input.Cut = false;
  input.Source = &*source_;
  input.Elapsed = elapsed_;
  return BuildWavReport(input);
}

}  // namespace

TRunOutcome WavStatistics(TRunContext& ctx, const std::string& path) {
  return TWavStatsRun(ctx, path).Run();
}

}  // namespace zembrio
