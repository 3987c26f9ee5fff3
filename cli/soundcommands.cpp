#include "cli/soundcommands.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <ostream>

#include "core/settings.h"
#include "core/timevalue.h"
#include "sound/envelope.h"
#include "sound/pauses.h"
#include "sound/proposals.h"

namespace zembrio::cli {
namespace {

// Runs work on a thread of its own while the terminal shows its progress and passes a
// Ctrl-C on to it.
template <typename Work>
auto WithProgress(TRunContext& ctx, Work work) {
  TSoundProgress progress;
  ctx.State.AbortRequested = false;
  ctx.Feedback.SetIdle(false);
  auto running = std::async(std::launch::async, [&] { return work(&progress); });
  while (running.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
    ctx.Feedback.ProcessPendingEvents();
    if (ctx.State.AbortRequested)
      progress.AbortRequested = true;
    ctx.Feedback.SetProgress(progress.Fraction.load());
  }
  ctx.Feedback.SetIdle(true);
  ctx.Feedback.ShowReady();
  return running.get();
}

bool AllDigits(const std::string& text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

double ParseNumber(const std::string& option, const std::string& text, const std::string& hint) {
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (text.empty() || end == text.c_str() || !(std::string(end) == "" || std::string(end) == "dB"))
    throw TUsageError(option + " attend " + hint + ", pas « " + text + " »");
  return value;
}

int32_t Milliseconds(const TTimeValue& value) {
  return static_cast<int32_t>(std::min<int64_t>(PositionAt(value, 1000), INT32_MAX));
}

TPauseOptions PauseOptionsFor(const TCliOptions& options) {
  TPauseOptions pause = PauseOptionsFromSettings();
  if (options.Threshold) {
    pause.ThresholdDb = ParseNumber("--threshold", *options.Threshold, "un niveau en dB (ex. -48)");
    if (pause.ThresholdDb >= 0 || pause.ThresholdDb < TEnvelope::kFloorDb)
      throw TUsageError("--threshold attend un niveau entre -120 et 0 dB");
  }
  if (options.MinLength)
    pause.MinLengthMs = Milliseconds(ParseOptionTime("--min-length", *options.MinLength));
  if (options.Position) {
    pause.Position = ParseNumber("--position", *options.Position, "une part de 0 à 1");
    if (pause.Position < 0 || pause.Position > 1)
      throw TUsageError("--position attend une part de 0 (début de la pause) à 1 (fin)");
  }
  return pause;
}

int32_t PartsFor(const std::string& text) {
  constexpr int32_t kMostParts = 10000;
  if (!AllDigits(text) || text.size() > 5 || std::atoi(text.c_str()) < 1 ||
      std::atoi(text.c_str()) > kMostParts)
    throw TUsageError("--parts attend un nombre de parties de 1 à 10000, pas « " + text + " »");
  return std::atoi(text.c_str());
}

std::string Decibels(double db) {
  char text[16];
  std::snprintf(text, sizeof text, "%.1f", db);
  return text;
}

}  // namespace

TTimeValue ParseOptionTime(const std::string& option, const std::string& text) {
  TTimeValue value;
  if (text.size() > 2 && text.compare(text.size() - 2, 2, "ms") == 0 &&
      AllDigits(text.substr(0, text.size() - 2)) && text.size() <= 11) {
    const int64_t ms = std::atoll(text.c_str());
    if (SetMilliseconds(value, static_cast<int32_t>(ms / 1000), static_cast<int32_t>(ms % 1000)))
      return value;
  }
  try {
    if (ApplyParsedTime(value, ParseTime(text, Settings().TIME_TYPE == 1, Settings().TIME_SHOWH)))
      return value;
  } catch (const TConversionError&) {
  }
  throw TUsageError(option + ": temps invalide « " + text + " » (ex. 90s, 1m30s, 500ms)");
}

bool WantsProposedPoints(const TCliOptions& options) {
  return options.Command == TCommand::Silence || options.Silence || options.Every || options.Parts;
}

bool ProposeCutList(const TCliOptions& options, const std::string& source, TCPList& list,
                    TRunContext& ctx) {
  if (options.Every || options.Parts) {
    const TSourceLength length = MeasureSource(source);
    std::vector<int64_t> starts;
    if (options.Parts) {
      starts = SplitParts(length.TotalSamples, PartsFor(*options.Parts));
    } else {
      const int64_t every =
          PositionAt(ParseOptionTime("--every", *options.Every), length.SampleRate);
      if (every <= 0)
        throw TUsageError("--every attend une durée plus longue que 0");
      starts = SplitEvery(length.TotalSamples, every);
    }
    FillProposedCutList(list, starts, length.SampleRate);
    return true;
  }
  const TPauseOptions pause = PauseOptionsFor(options);
  const TPauseResult found = WithProgress(
      ctx, [&](TSoundProgress* progress) { return DetectPauses(source, pause, progress); });
  if (found.Status == TSoundStatus::Aborted)
    return false;
  FillProposedCutList(list, CutSamples(found.Pauses), found.SampleRate);
  return true;
}

TExitCode RunLevels(const TCliOptions& options, const std::string& source, TRunContext& ctx,
                    std::ostream& out) {
  int32_t stepMs = kDefaultEnvelopeStepMs;
  if (options.Step) {
    stepMs = Milliseconds(ParseOptionTime("--step", *options.Step));
    if (stepMs < 1)
      throw TUsageError("--step attend au moins 1 ms");
  }
  const TEnvelopeResult result = WithProgress(
      ctx, [&](TSoundProgress* progress) { return ComputeEnvelope(source, stepMs, progress); });
  if (result.Status == TSoundStatus::Aborted)
    return TExitCode::Aborted;
  const TEnvelope& envelope = result.Envelope;
  for (int64_t i = 0; i < envelope.Count(); ++i) {
    const TLevel level = envelope.At(i);
    out << FormatPosition(envelope.SampleRate(), envelope.StepStart(i)) << '\t'
        << Decibels(level.PeakDb) << '\t' << Decibels(level.RmsDb) << '\n';
  }
  return TExitCode::Finished;
}

}  // namespace zembrio::cli
