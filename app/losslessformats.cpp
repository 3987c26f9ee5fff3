// FLAC and WAV: sample-exact tracks written by the program's own engines. ADJUSTSTART has no
// say here: a track starts at its point's own sample.
#include "app/formats.h"
#include "core/settings.h"
#include "flac/flaccut.h"
#include "flac/flacstats.h"
#include "wav/wavcut.h"
#include "wav/wavstats.h"

namespace zembrio {

namespace {

class TFlacFormat final : public TSourceFormat {
 public:
  TSourceKind Kind() const override { return TSourceKind::Flac; }

  TRunOutcome Cut(TRunContext& ctx, TCPList& list, const TCutJob& job) const override {
    TFlacCutRun run{job.SourcePath, job.OutputDir};
    run.Tags = Settings().ID3V2TAG != 0;
    return CutFlac(ctx, list, run);
  }

  TRunOutcome Statistics(TRunContext& ctx, TCPList&, const TStatsJob& job) const override {
    return FlacStatistics(ctx, job.SourcePath);
  }

  TJoinMode JoinMode() const override { return TJoinMode::jmFlac; }
};

class TWavFormat final : public TSourceFormat {
 public:
  TSourceKind Kind() const override { return TSourceKind::Wav; }

  TRunOutcome Cut(TRunContext& ctx, TCPList& list, const TCutJob& job) const override {
    TWavCutRun run;
    run.SourcePath = job.SourcePath;
    run.OutputDir = job.OutputDir;
    run.Tags = Settings().ID3V2TAG == 1;
    return CutWav(ctx, list, run);
  }

  TRunOutcome Statistics(TRunContext& ctx, TCPList&, const TStatsJob& job) const override {
    return WavStatistics(ctx, job.SourcePath);
  }

  TJoinMode JoinMode() const override { return TJoinMode::jmWav; }
};

}  // namespace

const TSourceFormat* FlacFormat() {
  static const TFlacFormat format;
  return &format;
}

const TSourceFormat* WavFormat() {
  static const TWavFormat format;
  return &format;
}

}  // namespace zembrio
