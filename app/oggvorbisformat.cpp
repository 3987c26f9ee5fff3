// Ogg Vorbis: cut by the external cutter vcut, joined byte for byte into a chain.
#include "app/formats.h"
#include "core/settings.h"
#include "cut/oggcut.h"

namespace zembrio {

namespace {

class TOggVorbisFormat final : public TSourceFormat {
 public:
  TSourceKind Kind() const override { return TSourceKind::OggVorbis; }

  TRunOutcome Cut(TRunContext& ctx, TCPList& list, const TCutJob& job) const override {
    TOggRun run;
    run.SourcePath = job.SourcePath;
    run.OutputDir = job.OutputDir;
    run.CutterPath = Settings().VCUTEXE;
    run.BatchMode = job.BatchMode;
    run.Tags = Settings().ID3V2TAG == 1;
    const TOggResult result = CutOgg(ctx, list, run);
    if (result.Aborted)
      return RunAborted;
    if (!result.Ran || result.Failed || result.AnyStepFailed)
      return RunFailed;
    return RunEndOfData;
  }

  TRunOutcome Statistics(TRunContext& ctx, TCPList&, const TStatsJob&) const override {
    ctx.Feedback.ShowMessage("Statistiques indisponibles pour les fichiers ogg !");
    return RunFailed;
  }

  TJoinMode JoinMode() const override { return TJoinMode::jmRaw; }
};

}  // namespace

const TSourceFormat& OggVorbisFormat() {
  static const TOggVorbisFormat format;
  return format;
}

}  // namespace zembrio
