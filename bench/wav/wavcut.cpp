// Cuts a WAV file into equal tracks through the WAV cutter, with no window and no
// questions: the engine alone, for the benchmark.
//
//   zembrio_bench_wavcut SOURCE DEST TRACKS
#include <cstdio>
#include <cstdlib>
#include <string>

#include "cut/runfeedback.h"
#include "wav/wavcut.h"
#include "wav/wavfile.h"

namespace {

using namespace zembrio;

class TQuietFeedback : public IRunFeedback {
 public:
  explicit TQuietFeedback(TRunState& state) : state_(state) {}
  void SetIdle(bool idle) override { state_.Idle = idle; }
  void ShowReady() override {}
  void SetProgress(double) override {}
  void ShowStateText(const std::string&) override {}
  void ShowInfoText(const std::string&) override {}
  void ProcessPendingEvents() override {}
  void ShowMessage(const std::string& text) override { std::fprintf(stderr, "%s\n", text.c_str()); }
  void ReportError(const std::string& text) override { ShowMessage(text); }
  void SetWaitCursor(bool) override {}
  void SetRowStatus(int, const std::string&) override {}
  void ClearRowStatuses() override {}
  void SelectRow(int) override {}
  void RefreshGrid() override {}
  void ShowReport(const std::vector<std::string>&) override {}

 private:
  TRunState& state_;
};

class TOverwriteAll : public IRunQuestions {
 public:
  TOverwriteAnswer AskOverwrite(const std::string&, const std::string& name) override {
    return {TOverwriteChoice::OverwriteAll, name};
  }
  bool AskYesNo(const std::string&) override { return true; }
  std::optional<std::string> AskSaveFileName(const std::string&, const std::string&) override {
    return std::nullopt;
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s SOURCE DEST TRACKS\n", argv[0]);
    return 2;
  }
  const int tracks = std::atoi(argv[3]);
  const TWavFile source(argv[1]);
  const int64_t seconds = source.Samples() / source.Format().SampleRate;
  TCPList list;
  for (int i = 0; i < tracks; ++i) {
    TCutPoint& point = list.Add();
    SetMilliseconds(point, static_cast<int32_t>(seconds * i / tracks), 0);
    point.Name = "track" + std::to_string(i + 1);
  }
  TRunState state;
  TQuietFeedback feedback(state);
  TOverwriteAll questions;
  TRunContext ctx{state, feedback, questions};
  TWavCutRun run;
  run.SourcePath = argv[1];
  run.OutputDir = argv[2];
  return CutWav(ctx, list, run) == RunEndOfData ? 0 : 1;
}
