// Ogg Opus: cut by the program's own packet copy, joined byte for byte into a chain.
#include "app/formats.h"
#include "core/settings.h"
#include "opus/opuscut.h"

namespace zembrio {

namespace {

class TOggOpusFormat final : public TSourceFormat {
 public:
  TSourceKind Kind() const override { return TSourceKind::OggOpus; }

  TRunOutcome Cut(TRunContext& ctx, TCPList& list, const TCutJob& job) const override {
    TOpusCutRun run{job.SourcePath, job.OutputDir};
    run.Tags = Settings().ID3V2TAG != 0;
    return CutOpus(ctx, list, run);
  }

  TRunOutcome Statistics(TRunContext& ctx, TCPList&, const TStatsJob&) const override {
    ctx.Feedback.ShowMessage("Statistiques indisponibles pour les fichiers ogg !");
    return RunFailed;
  }

  TJoinMode JoinMode() const override { return TJoinMode::jmRaw; }
};

}  // namespace

const TSourceFormat& OggOpusFormat() {
  static const TOggOpusFormat format;
  return format;
}

}  // namespace zembrio
