#include "app/sourceformat.h"

#include "app/formats.h"
#include "core/platform.h"
#include "cut/overwrite.h"

namespace zembrio {

namespace {

// A source no format takes: why, in the program's words.
std::string RefusalOf(const std::string& path) {
  std::string refusal = SourceRefusal(path);
  if (refusal.empty())
    refusal = ExtractFileName(path) + " : " + SourceKindName(DetectSourceKind(path)) +
              " n'est pas pris en charge.";
  return refusal;
}

// The message for a join input that does not fit the others.
std::string MixedJoinRefusal(const std::string& first, TSourceKind firstKind,
                             const std::string& other, TSourceKind otherKind) {
  return "Fichiers de formats différents : " + ExtractFileName(other) + " est " +
         SourceKindName(otherKind) + ", " + ExtractFileName(first) + " est " +
         SourceKindName(firstKind) + ". Rien n'est joint.";
}

bool IsOgg(TSourceKind kind) {
  return kind == TSourceKind::OggVorbis || kind == TSourceKind::OggOpus;
}

}  // namespace

std::unique_ptr<TSoundDecoder> TSourceFormat::OpenDecoder(const std::string& path) const {
  return OpenSoundDecoderOfKind(path, Kind());
}

TSourceInfo TSourceFormat::Probe(const std::string& path) const {
  const std::unique_ptr<TSoundDecoder> decoder = OpenDecoder(path);
  const TPcmFormat format = decoder->Format();
  return {format.SampleRate, format.Channels, decoder->TotalSamples()};
}

const TSourceFormat* SourceFormatOf(TSourceKind kind) {
  switch (kind) {
    case TSourceKind::Mpeg:
      return &MpegFormat();
    case TSourceKind::OggVorbis:
      return &OggVorbisFormat();
    case TSourceKind::OggOpus:
      return &OggOpusFormat();
    case TSourceKind::Flac:
      return FlacFormat();
    case TSourceKind::Wav:
      return WavFormat();
    case TSourceKind::Unknown:
      break;
  }
  return nullptr;
}

const TSourceFormat* SourceFormatOf(const std::string& path) {
  return SourceFormatOf(DetectSourceKind(path));
}

TRunOutcome CutSource(TRunContext& ctx, TCPList& list, const std::string& sourcePath,
                      const std::string& outputDir, bool batchMode) {
  if (list.Count() < 2) {
    ctx.Feedback.ShowMessage("Spécifiez des points de coupe !!!");
    return RunFailed;
  }
  const TSourceFormat* format = SourceFormatOf(sourcePath);
  if (format == nullptr) {
    ctx.Feedback.ShowMessage(RefusalOf(sourcePath));
    return RunFailed;
  }
  ctx.Feedback.ClearRowStatuses();
  // A name written by an earlier cut is the overwrite question's, not a duplicate of this run.
  StartOutputRun(ctx.State);
  return format->Cut(ctx, list, TCutJob{sourcePath, outputDir, batchMode});
}

TRunOutcome SourceStatistics(TRunContext& ctx, TCPList& list, const TStatsJob& job) {
  const TSourceFormat* format = SourceFormatOf(job.SourcePath);
  if (format == nullptr) {
    ctx.Feedback.ShowMessage(RefusalOf(job.SourcePath));
    return RunFailed;
  }
  return format->Statistics(ctx, list, job);
}

TJoinChoice ChooseJoinMode(const std::vector<std::string>& inputs,
                           const std::string& highlightedSource, bool rawAsked) {
  TJoinChoice choice;
  if (rawAsked || inputs.empty()) {
    choice.Mode = TJoinMode::jmRaw;
    return choice;
  }
  const TSourceKind firstKind = DetectSourceKind(inputs.front());
  for (const std::string& input : inputs) {
    const TSourceKind kind = DetectSourceKind(input);
    const TSourceFormat* format = SourceFormatOf(kind);
    if (format == nullptr && !IsOgg(kind)) {
      choice.Refused = true;
      choice.Refusal = RefusalOf(input);
      return choice;
    }
    // A chain of Vorbis and Opus links is a file no player takes whole.
    if (kind != firstKind) {
      choice.Refused = true;
      choice.Refusal = MixedJoinRefusal(inputs.front(), firstKind, input, kind);
      return choice;
    }
  }
  if (IsOgg(firstKind)) {
    choice.Mode = TJoinMode::jmRaw;
  } else if (firstKind == TSourceKind::Mpeg && IsOgg(DetectSourceKind(highlightedSource))) {
    choice.Mode = TJoinMode::jmRaw;
  } else {
    choice.Mode = SourceFormatOf(firstKind)->JoinMode();
  }
  return choice;
}

TJoinOutcome JoinSources(TRunContext& ctx, TJoinList& list, IJoinView& view,
                         const std::string& outputName, const std::string& highlightedSource,
                         bool rawAsked) {
  std::vector<std::string> inputs;
  for (const TJoinItem& item : list)
    inputs.push_back(JoinItemPath(item));
  const TJoinChoice choice = ChooseJoinMode(inputs, highlightedSource, rawAsked);
  if (choice.Refused) {
    ctx.Feedback.ShowMessage(choice.Refusal);
    return TJoinOutcome::Refused;
  }
  return RunJoin(ctx, list, view, outputName, choice.Mode, JoinOptionsFromSettings());
}

}  // namespace zembrio
