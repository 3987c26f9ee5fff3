#include "wav/wavstats.h"

#include <optional>

#include "wav/wavfile.h"
#include "wav/wavreport.h"

namespace zembrio {

TRunOutcome WavStatistics(TRunContext& ctx, const std::string& path) {
  IRunFeedback& feedback = ctx.Feedback;
  ctx.State.AbortRequested = false;
  const TClock::time_point start = TClock::now();
  feedback.SetWaitCursor(true);
  feedback.ShowStateText("Stats");
  feedback.SetIdle(false);
  std::optional<TWavFile> source;
  std::string error;
  try {
    source.emplace(path);
  } catch (const std::exception& e) {
    error = e.what();
  }
  feedback.SetProgress(1.0);
  feedback.SetIdle(true);
  feedback.SetWaitCursor(false);
  if (!source) {
    feedback.ShowMessage(error);
    feedback.ShowMessage("Opération avortée.");
    feedback.ShowReady();
    return RunFailed;
  }
  TWavReportInput input;
  input.Cut = false;
  input.Source = &*source;
  input.Elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(TClock::now() - start);
  feedback.ShowReport(BuildWavReport(input));
  feedback.ShowReady();
  return RunEndOfData;
}

}  // namespace zembrio
