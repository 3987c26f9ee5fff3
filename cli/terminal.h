// The terminal face of the engines: reports to standard output, messages to standard error,
// a progress line on standard error when it is a terminal, questions answered by the
// --overwrite policy or typed at the terminal, and Ctrl-C / SIGTERM as the abort request.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "cli/options.h"
#include "cut/runfeedback.h"
#include "join/join.h"

namespace zembrio::cli {

// Installs the handlers: the first SIGINT or SIGTERM asks the running operation to stop;
// a second one ends the program at once.
void InstallInterruptHandlers();
bool InterruptRequested();

class TTerminal : public IRunFeedback, public IRunQuestions, public IJoinView {
 public:
  TTerminal(TRunState& state, TOverwritePolicy policy, bool quiet, std::ostream& out,
            std::ostream& err);

  // IRunFeedback
  void SetIdle(bool idle) override;
  void ShowReady() override;
  void SetProgress(double fraction) override;
  void ShowStateText(const std::string& text) override;
  void ShowInfoText(const std::string& text) override;
  void ProcessPendingEvents() override;
  void ShowMessage(const std::string& text) override;
  void ReportError(const std::string& text) override;
  void SetWaitCursor(bool) override {}
  void SetRowStatus(int row, const std::string& status) override;
  void ClearRowStatuses() override { rowStatus_.clear(); }
  void SelectRow(int) override {}
  void RefreshGrid() override {}
  void ShowReport(const std::vector<std::string>& lines) override;

  // IRunQuestions
  TOverwriteAnswer AskOverwrite(const std::string& message,
                                const std::string& proposedName) override;
  bool AskYesNo(const std::string& text) override;
  std::optional<std::string> AskSaveFileName(const std::string& folder,
                                             const std::string& proposedName) override;

  // IJoinView: the statuses of the join rows go to standard error.
  void RowChanged(int index) override;
  void ShowJoinRows(const TJoinList* rows) { joinRows_ = rows; }

  // The batch script name that AskSaveFileName answers (--batch).
  void SetBatchFile(const std::string& path) { batchFile_ = path; }
  // True when a question was answered "no" by the --overwrite never policy.
  bool RefusedByPolicy() const { return refusedByPolicy_; }
  const std::vector<std::string>& RowStatuses() const { return rowStatus_; }

 private:
  void DrawProgressLine();
  void ClearProgressLine();
  std::string AskLine(const std::string& prompt);

  TRunState& state_;
  TOverwritePolicy policy_;
  bool quiet_;
  std::ostream& out_;
  std::ostream& err_;
  bool progressOnTerminal_;
  bool progressShown_ = false;
  double progress_ = 0;
  std::string infoText_;
  std::vector<std::string> rowStatus_;
  const TJoinList* joinRows_ = nullptr;
  std::optional<std::string> batchFile_;
  bool refusedByPolicy_ = false;
};

}  // namespace zembrio::cli
