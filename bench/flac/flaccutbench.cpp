// Cuts a FLAC source at the points of a CUE sheet into a folder, as the command line's cut
// would, overwriting what is there:  zembrio_flac_bench SOURCE CUE DEST
#include <cstdio>
#include <optional>

#include "core/settings.h"
#include "flac/flaccut.h"
#include "import/cuesheet.h"

using namespace zembrio;

namespace {

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
    std::fprintf(stderr, "usage: zembrio_flac_bench SOURCE CUE DEST\n");
    return 2;
  }
  TCPList list;
  if (!ImportCueSheet(list, argv[2], argv[1])) {
    std::fprintf(stderr, "cannot read %s\n", argv[2]);
    return 2;
  }
  TRunState state;
  TQuietFeedback feedback(state);
  TOverwriteAll questions;
  TRunContext ctx{state, feedback, questions};
  TFlacCutRun run{argv[1], argv[3]};
  return CutFlac(ctx, list, run) == RunEndOfData ? 0 : 1;
}
